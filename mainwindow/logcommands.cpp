// The log commands (save, clear) and the Help menu (the user guide, the
// about box).
#include <QUrl>

#include "dialogs/about.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/messages.h"

void TFormMain::XiButSaveLogClick() {
  // Proposed in the target folder, named after the effect, anew on every
  // call. The name ends in ".txt" as proposed: the dots of "Gauss blur..."
  // would pass for an extension, so the default one would not be added; a
  // "/" in the effect's name ("Flip (horiz/vert)") would name a folder.
  std::string name = "log(" + EffectName + ").txt";
  for (char& c : name)
    if (c == '/') c = '_';
  SaveDialog1.InitialDir = TargetDir;
  SaveDialog1.FileName = name;
  if (!SaveDialog1.Execute(this)) return;
  const std::string path = SaveDialog1.FileName;
  const QString shown = MemoLog->toPlainText();
  TStringList lines;
  lines.SetText(!shown.isEmpty() && shown == FShownLogText ? FShownLogBytes : shown.toStdString());
  // Each line of the memo is a line of the file, ended by a carriage return
  // and a line feed; an empty memo gives an empty file. The file replaces
  // an earlier one only once it is complete, through a link to the file it
  // names and with that file's mode and access list; a file the user may
  // not write stays, and so does whatever a link that another user planted
  // in a shared target folder points to.
  std::string text;
  for (int i = 0; i < lines.Count(); ++i) text += lines[i] + "\r\n";
  if (!SaveUserTextFile(path, text, nullptr)) ShowMessage("Cannot create file " + path);
}

void TFormMain::XiButClearLogClick() { MemoLog->clear(); }

void TFormMain::ItemContentClick() {
  // The guide beside the program, shown by the desktop's own viewer.
  const std::string path = ProgramFolder + "help/index.html";
  if (!FileExists(path)) {
    ShowMessage("The help file " + path + " is missing.");
    return;
  }
  const QByteArray url = "file://" + QUrl::toPercentEncoding(QByteArray::fromStdString(path), "/");
  if (!OpenUrl(url.toStdString())) ShowMessage("No program could be started to show the help file " + path + ".");
}

void TFormMain::ItemAboutClick() {
  TFormAbout about(this, *this);
  about.exec();
}

// The help is shown by the user's own viewer or browser, which may hold
// other pages too: it is not this program's to end.
void TFormMain::EndHelpViewer() {}
