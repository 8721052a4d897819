// What the tests of the windows, dialogs and controls share: a QtTest main
// that keeps the settings of the person running the tests out of reach, the
// messages the program shows collected instead of shown, jobs over small
// pictures in a temporary folder, and a hand for modal dialogs.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QSize>
#include <QStringList>
#include <QtTest>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/jobrecord.h"
#include "tests/support/testsupport.h"

class QComboBox;
class QListWidget;
class TEffectFrame;
class TFormMain;

// Points XDG_CONFIG_HOME at a fresh temporary folder while it lives, so that
// no test reads or writes a real user's settings.
class TTestSettingsFolder {
 public:
  TTestSettingsFolder();
  const std::string& Path() const { return FFolder.Path(); }
  std::string File(const std::string& name) const { return FFolder.File(name); }

 private:
  TempDir FFolder;
};

// The main of a QtTest program of the windows: the settings folder is set
// before anything can read it, then the application runs the tests.
#define WINDOW_TEST_MAIN(TestClass)       \
  int main(int argc, char** argv) {       \
    TTestSettingsFolder settings;         \
    QApplication application(argc, argv); \
    TestClass test;                       \
    return QTest::qExec(&test, argc, argv); \
  }

// The messages the program shows, collected instead of shown while the log
// lives.
class TMessageLog : public std::vector<std::string> {
 public:
  TMessageLog();
  ~TMessageLog();
  TMessageLog(const TMessageLog&) = delete;
  TMessageLog& operator=(const TMessageLog&) = delete;
};

// A job over pictures in a temporary folder, previewing the file at
// PreviewIndex (the first unless a test moves it).
struct TPictureJob {
  // A BMP picture for each size (seeds 1, 2, ...); an empty size adds a
  // file that is no picture.
  explicit TPictureJob(std::initializer_list<QSize> sizes = {});
  // Adds a BMP picture made by MakeTestBitmap; answers its path.
  std::string AddPicture(int width, int height, int seed = 0);
  // Adds a file with the extension that holds no picture.
  std::string AddBroken(const std::string& extension = ".bmp");
  void Add(const std::string& path);

  TempDir Folder;
  TJobRecord Job{Folder.Path()};
};

// Adds count BMP pictures pic0.bmp, pic1.bmp, ... of width x height (seeds
// 0, 1, ...) in the folder to the job's source files and sets FileCount.
void AddSourcePictures(TJobRecord& job, const TempDir& folder, int count, int width = 40, int height = 30);

// The main window as a scan and the target edit leave it: the source and
// target folders set, `files` pictures of the source folder in the list,
// step 2 ready and the commands updated.
void MakeWindowReady(TFormMain& window, const TempDir& source, const TempDir& target, int files);

// Runs the job's effect with the job's values over the picture alone, saved
// as a BMP source file, into a fresh target folder as 24-bit BMP, the
// effects' random generators as at start; the job's source list and target
// folder are replaced. Answers the picture the run wrote, or null when it
// wrote none.
std::unique_ptr<TBitmap> RunOnPicture(TJobRecord& job, const TBitmap& picture);

// Whether an effect dialog's preview is its source picture with `effect`
// applied (as the effect library does it).
bool PreviewIs(const TEffectFrame& dialog, const std::function<void(TBitmap&)>& effect);

// The texts of a list's or a combo box's items.
QStringList Items(const QListWidget* list);
QStringList Items(const QComboBox* box);

// Runs action on the modal dialog that exec() is about to show (to press a
// key or a button in it), once that dialog is the active window, however
// long the window system takes; when no modal dialog is up as the event
// loop next runs, nothing is done.
void WhenShown(const std::function<void(QWidget* dialog)>& action);

// One kind of the program's dialogs, made over a job with an owner window.
struct TDialogKind {
  const char* Name;
  std::function<std::unique_ptr<QDialog>(QWidget* owner, TJobRecord& job)> Make;
  bool EffectFrame;  // built on the effect dialog frame
};
// Every kind of dialog the program shows.
const std::vector<TDialogKind>& EveryDialog();

// Shows the window and makes it the active one; false when it never is.
bool ShowActive(QWidget& window);
// Sends a mouse event at `at` (a press or release of the left button, or a
// move) with the buttons held.
void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held = Qt::NoButton);
