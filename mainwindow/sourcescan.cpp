// Step 1: the folder dialog, the source command with its scan, and the
// seven source-type boxes.
#include <algorithm>

#include "engine/sourcescan.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/messages.h"
#include "platform/windows/waitcursor.h"

namespace {

// Reports a finished scan: the file count, the step labels and the
// commands that need source files.
void ShowScanResult(TFormMain& window) {
  const int count = window.FileCount;
  if (count > 0) {
    TFormMain::SetStepReady(window.Label1, true);
    TFormMain::SetStepReady(window.Label3, true);
    window.PreviewFile = window.SourceFiles[window.PreviewIndex];
    window.Panel1->setText(count == 1 ? QString("This folder contains 1 graphic file")
                                      : QString("This folder contains %1 graphics files").arg(count));
  } else {
    TFormMain::SetStepReady(window.Label1, false);
    TFormMain::SetStepReady(window.Label3, false);
    window.Panel1->setText("There are no graphics files in selected folder");
  }
  window.UpdateSourceCommands();
  window.UpdateStartAction();
}

// The lines of ListBox3, one per type box (SourceTypeBox gives the box of
// a line): the type's tag and the flag its box sets.
struct TSourceTypeLine {
  const char* Tag;
  bool TJobRecord::*Flag;
};
const TSourceTypeLine kSourceTypeLines[7] = {
    {"BMP", &TJobRecord::SourceBmp}, {"JPG", &TJobRecord::SourceJpg}, {"GIF", &TJobRecord::SourceGif},
    {"PNG", &TJobRecord::SourcePng}, {"EMF", &TJobRecord::SourceEmf}, {"WMF", &TJobRecord::SourceWmf},
    {"ICO", &TJobRecord::SourceIco}};

}  // namespace

QString TFormMain::SourceTypeText(int line, bool on) {
  return QString(kSourceTypeLines[line].Tag) + (on ? ": true" : ": false");
}

int BrowseForFolderCallback(TFolderDialog& dialog, int message, const std::string& argument,
                            const std::string&) {
  if (message == BFFM_INITIALIZED) {
    const std::string current = GetCurrentDir();
    if (!current.empty()) dialog.SetSelection(current);
  } else if (message == BFFM_SELCHANGED && !argument.empty()) {
    dialog.SetStatusText(argument);
  }
  return 0;
}

bool TFormMain::BrowseForFolder(std::string& folder, const std::string& title) {
  // The dialog opens on the current directory: the folder picked last in a
  // folder dialog (source or target), at first the one the program started
  // in. The folder picked becomes the current directory.
  const std::string chosen = SelectFolderDialog(this, title, GetCurrentDir(), BrowseForFolderCallback);
  if (chosen.empty()) return false;
  folder = IncludeTrailingPathDelimiter(chosen);
  SetCurrentDir(folder);
  return true;
}

void TFormMain::XiButSourceClick() {
  if (!BrowseForFolder(SourceDir, "Select a source directory")) return;
  TWaitCursor busy;
  XPEditSource->setText(PathText(SourceDir));
  SourceFiles.Clear();
  PreviewIndex = 0;
  ScanSourceFolder(SourceDir, IncludeSubfolders);
  FileCount = SourceFiles.Count();
  ShowScanResult(*this);
}

void TFormMain::ScanSourceFolder(const std::string& folder, bool includeSubfolders) {
  ::ScanSourceFolder(folder, includeSubfolders, SourceTypesOf(*this), SourceFiles);
}

void TFormMain::AddFolderFiles(const std::string& folder, TStringList& files) {
  ::AddFolderFiles(folder, SourceTypesOf(*this), files);
}

void TFormMain::SourceTypeClicked(int line) {
  const bool checked = SourceTypeBox(line)->GetChecked();
  ListBox3->item(line)->setText(SourceTypeText(line, checked));
  this->*kSourceTypeLines[line].Flag = checked;
}

void TFormMain::SourceTypesToControls() {
  for (int line = 0; line < 7; ++line) {
    const bool on = this->*kSourceTypeLines[line].Flag;
    SourceTypeBox(line)->SetChecked(on);
    ListBox3->item(line)->setText(SourceTypeText(line, on));
  }
}

void TFormMain::XPCheckBoxBMPClick() { SourceTypeClicked(0); }
void TFormMain::XPCheckBoxJPGClick() { SourceTypeClicked(1); }
void TFormMain::XPCheckBoxGIFClick() { SourceTypeClicked(2); }
void TFormMain::XPCheckBoxPNGClick() { SourceTypeClicked(3); }
void TFormMain::XPCheckBoxEMFClick() { SourceTypeClicked(4); }
void TFormMain::XPCheckBoxWMFClick() { SourceTypeClicked(5); }
void TFormMain::XPCheckBoxICOClick() { SourceTypeClicked(6); }

bool TFormMain::CheckPreviewFile() {
  const int count = std::min(int(FileCount), SourceFiles.Count());
  if (count <= 0) return false;
  if (PreviewIndex < 0 || PreviewIndex >= count) PreviewIndex = 0;
  PreviewFile = SourceFiles[PreviewIndex];
  if (FileExists(PreviewFile)) return true;
  ShowMessage(PreviewFile +
              " don't exists. Apparently it was removed or deleted. Please click the Source button to refresh the "
              "file list.");
  return false;
}
