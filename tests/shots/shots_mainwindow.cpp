// The main window: empty at first start, with a source folder scanned and a
// target set, during a run, and with the log of the run.
#include <QComboBox>
#include <QCoreApplication>
#include <cstdio>

#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/messages.h"
#include "shots.h"
#include "tests/support/testsupport.h"

namespace {

// Every effect offered, as on a first start.
void OfferEveryEffect(TFormMain& window) {
  window.VisibleEffectNames.Clear();
  for (const std::string& caption : AllEffectCaptions()) window.VisibleEffectNames.Add(caption);
}

}  // namespace

SHOTS(mainwindow) {
  // A message would wait for a click that never comes.
  SetMessageHandler([](const std::string& text) { std::fprintf(stderr, "mainwindow shots: %s\n", text.c_str()); });
  {
    TFormMain window;
    OfferEveryEffect(window);
    SaveShot(&window, "mainwindow_empty");
  }

  TempDir target;
  TFormMain window;
  OfferEveryEffect(window);
  SaveShot(&window, "mainwindow_started");
  // The user picks the gallery's folder and types a target.
  std::string folder = ExcludeTrailingPathDelimiter(ShotPictureFolder());
  CommonDialogHooks().SelectFolder = [&](QWidget*, const std::string&, const std::string&) { return folder; };
  window.XiButSourceClick();
  CommonDialogHooks().SelectFolder = nullptr;
  window.XPEditTarget->setText(QString::fromStdString(target.Path()));
  int gauss = window.ComboBox1->findText("Gauss blur...");
  window.ComboBox1->setCurrentIndex(gauss);
  emit window.ComboBox1->activated(gauss);
  SaveShot(&window, "mainwindow_scanned");

  // A shot halfway through the run, then the log at its end.
  window.OnFileTimed = [&](const std::string&, double, double, double) {
    if (window.ProgressBar->value() == 2) SaveShot(&window, "mainwindow_running");
  };
  window.ActionStartExecute();
  WaitForApplyEffectThread(false);
  window.OnFileTimed = nullptr;
  SaveShot(&window, "mainwindow_log");
  SetMessageHandler(nullptr);
}
