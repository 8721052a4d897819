// Step 2: the target folder, the four format buttons, the target summary
// and the format command.
#include "dialogs/formatdialogs.h"
#include "engine/targetsummary.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/userconfig.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/messages.h"

namespace {

// ListBox2 holds exactly the summary of the format.
void ShowTargetSummary(TFormMain& window, int format) {
  window.ListBox2->clear();
  for (const std::string& line : TargetSummaryLines(window, format))
    window.ListBox2->addItem(QString::fromStdString(line));
}

// The hint of the format command and of its button and menu item.
void SetFormatHint(TFormMain& window, const std::string& hint) {
  const QString text = QString::fromStdString(hint);
  window.ActionFormat->setToolTip(text);
  window.ActionFormat->setStatusTip(text);
  window.XiButFormat->setToolTip(text);
}

TXPRadioButton* FormatButton(const TFormMain& window, int format) {
  TXPRadioButton* const buttons[TargetFormatCount] = {window.XPRButBMP, window.XPRButJPG, window.XPRButGIF,
                                                       window.XPRButPNG};
  return format >= 0 && format < TargetFormatCount ? buttons[format] : nullptr;
}

// A leading "~/" (or a lone "~") stands for the home folder.
std::string ExpandHome(const std::string& path) {
  if (path != "~" && path.rfind("~/", 0) != 0) return path;
  const std::string home = HomeFolder();
  if (home.empty()) return path;
  return ExcludeTrailingPathDelimiter(home) + path.substr(1);
}

}  // namespace

void TFormMain::XiButTargetClick() {
  std::string folder;
  if (!BrowseForFolder(folder, "Select a target directory")) return;
  // The edit shows the folder; its change handler takes the bytes from
  // here, so a name that is not UTF-8 reaches TargetDir unchanged.
  FTargetShownBytes = folder;
  const QString shown = PathText(folder);
  if (XPEditTarget->text() != shown) XPEditTarget->setText(shown);
  else if (TargetDir != folder) XPEditTargetChange();  // no change event, yet other bytes
  if (FileCount > 0) ComboBox1->setFocus();
  else XiButSource->setFocus();
}

void TFormMain::XPEditTargetChange() {
  const QString text = XPEditTarget->text();
  std::string typed;
  if (!FTargetShownBytes.empty() && text == PathText(FTargetShownBytes)) typed = FTargetShownBytes;
  else if (!TargetDir.empty() && text == PathText(TargetDir)) typed = TargetDir;  // set by code at start
  else typed = TypedPath(text);
  const std::string folder = Trim(typed);
  if (folder.empty()) {
    TargetDir.clear();
    ActionStart->setEnabled(false);
    SetStepReady(Label4, false);
    SetStepReady(Label2, false);
    // No target: the way on is the target button, also from the edit itself.
    XiButTarget->setFocus();
    return;
  }
  TargetDir = IncludeTrailingPathDelimiter(ExpandHome(folder));
  SetStepReady(Label2, true);
  UpdateStartAction();
}

void TFormMain::XPRButBMPClick(QObject* sender) {
  auto* button = qobject_cast<TXPRadioButton*>(sender);
  if (!button) return;
  const std::string caption = button->Caption().toStdString();
  TargetExtension = "." + caption;
  SetFormatHint(*this, UpperCase(caption) + " tunning");
  const int format = TargetFormatOfCaption(caption);
  if (format < 0) return;
  TargetFormat = format;
  ShowTargetSummary(*this, format);
}

void TFormMain::SetTargetFormat(int index) {
  const TTargetFormat* format = FindTargetFormat(index);
  if (!format) return;  // the form's own state (BMP) stays
  TargetExtension = format->Extension;
  ShowTargetSummary(*this, index);
  SetFormatHint(*this, format->Hint);
  FormatButton(*this, index)->SetChecked(true);
}

void TFormMain::ActionFormatExecute() {
  if (!CheckPreviewFile()) return;
  int format = 0;
  while (format < TargetFormatCount && !FormatButton(*this, format)->Checked()) ++format;
  if (format == TargetFormatCount) return;
  std::unique_ptr<QDialog> dialog = MakeFormatDialog(format, this, *this);
  if (!dialog) return;
  if (dialog->exec() == QDialog::Accepted) ShowTargetSummary(*this, format);
}
