#include "tests/support/windowtest.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include "dialogs/about.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/effectframe.h"
#include "dialogs/effects.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/jpgoptions.h"
#include "dialogs/listeffects.h"
#include "dialogs/pattern.h"
#include "dialogs/pngoptions.h"
#include "dialogs/resize.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "effects/random.h"
#include "engine/recordingview.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/messages.h"

TTestSettingsFolder::TTestSettingsFolder() {
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(FFolder.Path()));
}

TMessageLog::TMessageLog() {
  SetMessageHandler([this](const std::string& text) { push_back(text); });
}

TMessageLog::~TMessageLog() { SetMessageHandler(nullptr); }

TPictureJob::TPictureJob(std::initializer_list<QSize> sizes) {
  int seed = 0;
  for (QSize size : sizes) {
    ++seed;
    if (size.isEmpty()) AddBroken();
    else AddPicture(size.width(), size.height(), seed);
  }
}

std::string TPictureJob::AddPicture(int width, int height, int seed) {
  const std::string number = std::to_string(Job.SourceFiles.Count());
  std::string path = Folder.File("p" + number + ".bmp");
  MakeTestBitmap(width, height, seed)->SaveToFile(path);
  Add(path);
  return path;
}

std::string TPictureJob::AddBroken(const std::string& extension) {
  const std::string number = std::to_string(Job.SourceFiles.Count());
  std::string path = Folder.File("p" + number + extension);
  WriteTextFile(path, "not a picture");
  Add(path);
  return path;
}

void TPictureJob::Add(const std::string& path) {
  Job.SourceFiles.Add(path);
  Job.FileCount = Job.SourceFiles.Count();
  if (Job.PreviewIndex >= 0 && Job.PreviewIndex < Job.FileCount) Job.PreviewFile = Job.SourceFiles[Job.PreviewIndex];
}

void AddSourcePictures(TJobRecord& job, const TempDir& folder, int count, int width, int height) {
  for (int i = 0; i < count; ++i) {
    std::string path = folder.File("pic" + std::to_string(i) + ".bmp");
    MakeTestBitmap(width, height, i)->SaveToFile(path);
    job.SourceFiles.Add(path);
  }
  job.FileCount = job.SourceFiles.Count();
}

void MakeWindowReady(TFormMain& window, const TempDir& source, const TempDir& target, int files) {
  window.SourceDir = source.Path();
  window.TargetDir = target.Path();
  AddSourcePictures(window, source, files);
  TFormMain::SetStepReady(window.Label2, true);
  window.UpdateSourceCommands();
  window.UpdateStartAction();
}

std::unique_ptr<TBitmap> RunOnPicture(TJobRecord& job, const TBitmap& picture) {
  TempDir source, target;
  TBitmap file;
  file.Assign(&picture);
  file.SaveToFile(source.File("preview.bmp"));
  job.SourceFiles.Clear();
  job.SourceFiles.Add(source.File("preview.bmp"));
  job.FileCount = 1;
  job.TargetDir = target.Path();
  job.TargetExtension = ".bmp";
  job.BmpPixelFormat = pf24bit;
  ResetEffectRandomGenerators();
  TRecordingRunView view(job);
  StartApplyEffectThread(view);
  WaitForApplyEffectThread(false);
  std::vector<std::string> written = FolderEntries(target.Path());
  if (written.size() != 1) return nullptr;
  auto output = std::make_unique<TBitmap>();
  output->LoadFromFile(target.File(written[0]));
  return output;
}

bool PreviewIs(const TEffectFrame& dialog, const std::function<void(TBitmap&)>& effect) {
  if (!dialog.Source() || !dialog.Result()) return false;
  TBitmap expected, shown;
  expected.Assign(dialog.Source());
  effect(expected);
  shown.Assign(dialog.Result());
  return SameColors(expected, shown);
}

QStringList Items(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  // As long as a busy machine's window system takes.
  return QTest::qWaitForWindowActive(&window, 60000);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void WhenShown(const std::function<void(QWidget* dialog)>& action) {
  // The dialog that exec() shows is up when its loop first runs; the window
  // system makes it active in its own time. A dialog that never becomes
  // active within the deadline still gets the action, so that no test waits
  // on its exec() for ever.
  QPointer<QWidget> before = QApplication::activeModalWidget();
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, before, action, deadline = QDeadlineTimer(60000)] {
    QWidget* dialog = QApplication::activeModalWidget();
    const bool shown = dialog && dialog != before && dialog->isVisible();
    if (shown && !dialog->isActiveWindow() && !deadline.hasExpired()) {
      poll->setInterval(5);
      return;
    }
    poll->stop();
    poll->deleteLater();
    if (shown) action(dialog);
  });
  poll->start(0);
}

template <class TDialog>
static TDialogKind Kind(const char* name, bool effectFrame) {
  return {name,
          [](QWidget* owner, TJobRecord& job) -> std::unique_ptr<QDialog> {
            return std::make_unique<TDialog>(owner, job);
          },
          effectFrame};
}

const std::vector<TDialogKind>& EveryDialog() {
  static const std::vector<TDialogKind> kinds = {
      Kind<TFormEffect>("TFormEffect", true),
      Kind<TFormTwoTrack>("TFormTwoTrack", true),
      Kind<TFormRGB>("TFormRGB", true),
      Kind<TFormFishEye>("TFormFishEye", true),
      Kind<TFormGroupEffect>("TFormGroupEffect", true),
      Kind<TFormPattern>("TFormPattern", true),
      Kind<TFormResize>("TFormResize", true),
      Kind<TFormSimpleEffect>("TFormSimpleEffect", true),
      Kind<TFormListEffects>("TFormListEffects", false),
      Kind<TJPGForm>("TJPGForm", false),
      Kind<TPNGForm>("TPNGForm", false),
      Kind<TFormGif>("TFormGif", false),
      Kind<TBMPForm>("TBMPForm", false),
      Kind<TFormAbout>("TFormAbout", false),
  };
  return kinds;
}
