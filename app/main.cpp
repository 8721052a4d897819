// Program entry: makes the application and the main window and runs the
// message loop until the main window closes.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <exception>

#include "engine/applythread.h"
#include "gif/gifimage.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/resources.h"
#include "platform/windows/appstyle.h"
#include "png/pngimage.h"

int main(int argc, char** argv) {
  // Before any thread starts: the memory of the runs.
  SetUpRunMemory();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Brightmill");
  // The windmill of the about box marks every window and the task bar entry.
  TResourceStream logo(HInstance, "ABOUT_LOGO", RT_RCDATA);
  QPixmap icon;
  icon.loadFromData(logo.Memory(), static_cast<uint>(logo.Size()), "GIF");
  QApplication::setWindowIcon(QIcon(icon));
  ApplyProgramStyle();
  // Pictures stored as GIF data are read through the GIF codec from the start.
  RegisterGifFormat();
  // So are pictures stored as PNG data, through the PNG codec.
  RegisterPngFormat();
  try {
    TFormMain window;
    window.show();
    application.exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, "Brightmill", QString::fromUtf8(error.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, "Brightmill", "Unknown error");
  }
  UnregisterGifFormat();
  UnregisterPngFormat();
  return 0;
}
