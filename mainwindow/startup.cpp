// The deferred start-up: once the window is up and the event loop runs,
// the job read at construction goes into the controls, the effect list is
// filled, the target format selected and the source folder scanned.
#include <QApplication>

#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/waitcursor.h"

void TFormMain::ApplySettingsToControls() {
  if (FStartedUp) return;
  FStartedUp = true;
  TWaitCursor busy;

  XPEditSource->setText(PathText(SourceDir));
  // The target edit's change handler normalises TargetDir and colours step 2.
  XPEditTarget->setText(PathText(TargetDir));

  SourceTypesToControls();
  XPCheckBox2->SetChecked(IncludeSubfolders);
  XPCheckBox3->SetChecked(SaveEnvironment);
  XPCheckBox4->SetChecked(LowerCaseNames);

  if (SourcePanelExpanded) ExpandSourceTypes();
  else CollapseSourceTypes();
  if (TargetPanelExpanded) ExpandTargetFormats();
  else CollapseTargetFormats();

  RefillEffectList(EffectIndex);

  SetTargetFormat(TargetFormat);
  if (ListBox2->count() == 0) {
    ListBox2->addItem("Target: BMP files");
    ListBox2->addItem(QString::fromStdString(BmpPixelFormatText));
  }
  if (!TargetDir.empty()) SetStepReady(Label2, true);

  if (!SourceDir.empty() && DirectoryExists(SourceDir)) {
    SourceFiles.Clear();
    ScanSourceFolder(SourceDir, IncludeSubfolders);
    FileCount = SourceFiles.Count();
    if (FileCount > 0) {
      SetStepReady(Label1, true);
      SetStepReady(Label3, true);
      PreviewIndex = 0;
      PreviewFile = SourceFiles[0];
      UpdateSourceCommands();
      UpdateStartAction();
      Panel1->setText(FileCount == 1 ? QString("This folder contains 1 graphic file")
                                     : QString("This folder contains %1 graphics files").arg(FileCount.load()));
    } else {
      Panel1->setText("There are no graphics files in selected folder");
    }
  }

  ShowEffectSettings(EffectName, ActionStart->isEnabled());
  FillAllEffectNames();
}

void TFormMain::RefillEffectList(int index) {
  // Code, not the user, fills the box: no handler runs.
  QSignalBlocker blocker(ComboBox1);
  ComboBox1->clear();
  for (int i = 0; i < VisibleEffectNames.Count(); ++i) ComboBox1->addItem(QString::fromStdString(VisibleEffectNames[i]));
  int count = ComboBox1->count();
  if (count == 0) {
    ComboBox1->setCurrentIndex(-1);
    EffectName.clear();
    return;
  }
  int selected = index >= 0 && index < count ? index : 0;
  ComboBox1->setCurrentIndex(selected);
  EffectName = VisibleEffectNames[selected];
}
