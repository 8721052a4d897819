// Step 4: Start, Stop, and closing the window.
#include <QCloseEvent>

#include "mainwindow/mainwindow.h"
#include "platform/windows/guard.h"
#include "platform/windows/messages.h"

void TFormMain::ActionStartExecute() {
  // One worker at a time: a Start accepted before the run shows itself as
  // running does nothing.
  if (ApplyEffectThread) return;
  if (!DirectoryExists(SourceDir)) {
    ShowMessage("Don't exist the directory: " + SourceDir + " Try select another.");
    SetStepReady(Label1, false);
    SetStepReady(Label3, false);
    SetStepReady(Label4, false);
    ComboBox1->setEnabled(false);
    ActionEffect->setEnabled(false);
    ActionFormat->setEnabled(false);
    ActionStart->setEnabled(false);
    Panel1->clear();
    XiButSource->setFocus();
    return;
  }
  if (!DirectoryExists(TargetDir) && !CreateDir(TargetDir)) {
    ShowMessage("Cannot create " + TargetDir + " directory.");
    SetStepReady(Label2, false);
    SetStepReady(Label4, false);
    ActionStart->setEnabled(false);
    XiButTarget->setFocus();
    return;
  }
  if (OpticalDiscCheck(TargetDir)) {
    ShowMessage("You select in the capacity of the Target directory CD-ROM. Please, select another disk.");
    return;
  }
  if (SameText(EffectName, "Resize...") && (ResizeWidth <= 0 || ResizeHeight <= 0)) {
    ShowMessage(
        "Please, define a new value for Width parameter, if it is 0 or less. Also define a new value for Height "
        "parameter, if it is 0 or less.");
    return;
  }
  StartTicks = GetTickCount();
  StartApplyEffectThread(*this);
}

void TFormMain::ActionStopExecute() {
  if (ApplyEffectThread) ApplyEffectThread->Terminate();
}

void TFormMain::FormCloseQuery(bool& canClose) {
  // A run in progress finishes its file and closes its log; its remaining
  // steps are served here until the worker has ended, so nothing of the run
  // is lost and the window never goes away under it.
  WaitForApplyEffectThread(true);
  SaveRegistryValues();
  // Settings that cannot be written leave by their exception: the window
  // stays open with them, so the user can free the folder, or untick "save
  // environment options", and close again.
  if (SaveEnvironment) SaveSettings();
  EndHelpViewer();
  canClose = true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  bool canClose = false;
  // A failure is shown, and the close does not happen.
  if (Guarded([&] { FormCloseQuery(canClose); }) && canClose) event->accept();
  else event->ignore();
}

void TFormMain::Exit1Click() { close(); }
