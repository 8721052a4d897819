// The main window's source and target steps after a scan, with each target
// format, the folder dialog and the about box.
#include <QApplication>
#include <QThread>

#include "dialogs/about.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "shots.h"
#include "tests/support/testsupport.h"

SHOTS(sourcetarget) {
  {
    TFormMain window;
    window.ApplySettingsToControls();
    CommonDialogHooks().SelectFolder = [](QWidget*, const std::string&, const std::string&) {
      return ExcludeTrailingPathDelimiter(ShotPictureFolder());
    };
    window.XiButSourceClick();
    CommonDialogHooks().SelectFolder = nullptr;
    window.XPEditTarget->setText("~/Pictures/converted");
    const struct {
      TXPRadioButton* Button;
      const char* Name;
    } formats[] = {{window.XPRButBMP, "bmp"}, {window.XPRButJPG, "jpg"}, {window.XPRButGIF, "gif"},
                   {window.XPRButPNG, "png"}};
    for (const auto& format : formats) {
      format.Button->SetChecked(true);
      window.XPRButBMPClick(format.Button);
      SaveShot(&window, std::string("sourcetarget_main_") + format.Name);
    }
    // No pictures in the chosen folder.
    TempDir empty;
    CommonDialogHooks().SelectFolder = [&empty](QWidget*, const std::string&, const std::string&) {
      return ExcludeTrailingPathDelimiter(empty.Path());
    };
    window.XiButSourceClick();
    CommonDialogHooks().SelectFolder = nullptr;
    SaveShot(&window, "sourcetarget_main_nopictures");
  }
  {
    // The folder dialog as the source command opens it, on the gallery's
    // folder, given a moment to read the folders.
    TFolderDialog dialog(nullptr, "Select a source directory", BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT,
                         BrowseForFolderCallback, ShotPictureFolder());
    dialog.show();
    for (int i = 0; i < 20; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
    SaveShot(&dialog, "sourcetarget_folderdialog");
  }
  TJobRecord job(ShotPictureFolder());
  TFormAbout about(nullptr, job);
  SaveShot(&about, "sourcetarget_about");
}
