// The window layer's shared helpers: the handler guard, the bitmap painter
// and the folder dialog.
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <stdexcept>

#include "platform/windows/bitmapview.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/guard.h"
#include "platform/windows/messages.h"
#include "tests/support/windowtest.h"

namespace {

// How long the file system model's thread may take over reading a few
// folders on a busy machine.
constexpr int kReadTime = 60000;

// Lets the event loop run until what was waiting in it, and what that set
// off at once, has been handled: each round ends with a timer of no delay
// started after everything queued before it, which fires after the timers
// of no delay started before it.
bool Settle(int rounds = 3) {
  for (int i = 0; i < rounds; ++i) {
    QTimer marker;
    marker.setSingleShot(true);
    QSignalSpy fired(&marker, &QTimer::timeout);
    marker.start(0);
    if (!fired.wait(kReadTime)) return false;
  }
  return true;
}

}  // namespace

class TestWindowSupport : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { SetMessageHandler(nullptr); }

  void guardShowsTheErrorAndGoesOn() {
    std::vector<std::string> shown;
    SetMessageHandler([&](const std::string& text) { shown.push_back(text); });
    int state = 1;
    QVERIFY(!Guarded([&] {
      state = 2;
      throw std::runtime_error("Out of memory");
    }));
    QVERIFY(!Guarded([] { throw 42; }));
    QVERIFY(Guarded([&] { state = 3; }));
    QCOMPARE(state, 3);
    QCOMPARE(shown, (std::vector<std::string>{"Out of memory", "Unknown error"}));
    // A message box that fails itself does not escape either.
    SetMessageHandler([](const std::string&) { throw std::runtime_error("no screen"); });
    QVERIFY(!Guarded([] { throw std::runtime_error("x"); }));
  }

  void painterDrawsTheBitmapsOwnColours() {
    for (TPixelFormat format : {pf24bit, pf8bit}) {
      TBitmap bitmap;
      bitmap.SetPixelFormat(format);
      bitmap.SetSize(3, 2);  // white
      bitmap.Canvas()->SetPixel(1, 1, clRed);
      QImage target(5, 4, QImage::Format_RGB32);
      target.fill(Qt::black);
      QPainter painter(&target);
      PaintBitmap(painter, 1, 1, bitmap);
      painter.end();
      QCOMPARE(target.pixelColor(0, 0), QColor(Qt::black));
      QCOMPARE(target.pixelColor(1, 1), QColor(Qt::white));
      QCOMPARE(target.pixelColor(2, 2), QColor(Qt::red));
      QCOMPARE(target.pixelColor(4, 3), QColor(Qt::black));
    }
  }

  // The folder dialog tells its callback when it is up and each time the
  // selection moves; the callback moves the selection and sets the status
  // line. Without a callback it opens on the folder given.
  void folderDialogAndItsCallback() {
    TempDir dir;
    std::filesystem::create_directories(dir.File("a/b"));
    static std::vector<std::string> heard;
    TBrowseCallback callback = [](TFolderDialog& dialog, int message, const std::string& argument,
                                  const std::string& data) {
      heard.push_back(std::to_string(message) + " " + argument);
      if (message == BFFM_INITIALIZED) dialog.SetSelection(data + "a/b/");
      else dialog.SetStatusText("at " + argument);
      return 0;
    };
    TFolderDialog dialog(nullptr, "Pick one", BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT, callback, dir.Path());
    QVERIFY(!dialog.OkButton->isEnabled());
    dialog.show();
    QCOMPARE(heard, (std::vector<std::string>{"1 ", "2 " + dir.File("a/b")}));
    QCOMPARE(dialog.Selection(), dir.File("a/b"));
    QVERIFY(dialog.OkButton->isEnabled() && dialog.StatusText->isVisible());
    QCOMPARE(dialog.StatusText->text().toStdString(), "at " + dir.File("a/b"));
    dialog.SetSelection(dir.File("gone/"));  // not there: the selection stays
    QCOMPARE(dialog.Selection(), dir.File("a/b"));
    TFolderDialog plain(nullptr, "Pick one", BIF_RETURNONLYFSDIRS, nullptr, dir.Path());
    plain.show();
    QVERIFY(!plain.StatusText->isVisible());

    for (bool ok : {true, false}) {
      WhenShown([ok](QWidget* modal) {
        auto* shown = dynamic_cast<TFolderDialog*>(modal);
        if (!shown) {
          modal->close();
          return;
        }
        (ok ? shown->OkButton : shown->CancelButton)->click();
      });
      QCOMPARE(SelectFolderDialog(nullptr, "Pick one", dir.File("a/")), ok ? dir.File("a") : std::string());
    }
  }

  // While the tree fills, the folder chosen in code stays in view; once the
  // user opens another folder by its arrow, the rows arriving in it above
  // the chosen one leave the view where the user has it.
  void folderDialogLeavesTheViewToTheUser() {
    // The tree shows the whole file system, so the folder lies where no
    // other program makes or removes folders beside it while the test runs
    // (as parallel builds and tests do in the temporary folder): the test
    // program's own folder.
    TempDir dir(QCoreApplication::applicationDirPath().toStdString());
    for (int i = 0; i < 40; ++i) std::filesystem::create_directories(dir.File("a/" + std::to_string(100 + i)));
    std::filesystem::create_directories(dir.File("b/c"));
    for (int i = 100; i < 120; ++i) {
      const std::string number = std::to_string(i);
      std::filesystem::create_directories(dir.File("d" + number));
    }
    TFolderDialog dialog(nullptr, "Pick one", BIF_RETURNONLYFSDIRS, nullptr, dir.File("b/c"));
    QTreeView* tree = dialog.Tree;
    auto* model = static_cast<QFileSystemModel*>(tree->model());
    QStringList loaded;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, [&loaded](const QString& path) { loaded << path; });
    dialog.show();
    auto inView = [tree](const QModelIndex& index) {
      return tree->viewport()->rect().contains(tree->visualRect(index));
    };
    // The folders are read in another thread, as slowly as a busy machine
    // lets it: every folder above the chosen one has been read, and the
    // dialog has scrolled after the rows that came.
    auto allRead = [&loaded, &dir] {
      for (QString folder = PathText(dir.File("b")); folder != "/"; folder = QFileInfo(folder).path())
        if (!loaded.contains(folder)) return false;
      return loaded.contains("/");
    };
    QTRY_VERIFY_WITH_TIMEOUT(allRead(), kReadTime);
    const QPersistentModelIndex a = model->index(PathText(dir.File("a")));
    QTRY_VERIFY_WITH_TIMEOUT(inView(tree->currentIndex()) && inView(a), kReadTime);
    QCOMPARE(dialog.Selection(), dir.File("b/c"));
    QVERIFY(!tree->isExpanded(a));

    const int scrolled = tree->verticalScrollBar()->value();
    const QRect row = tree->visualRect(a);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(row.left() - tree->indentation() / 2, row.center().y()));
    QVERIFY(tree->isExpanded(a));
    // All of the opened folder has arrived, and what its arrival set off
    // (the model's sorting, a scroll the dialog would make, the tree's
    // layout) has run.
    QTRY_VERIFY_WITH_TIMEOUT(loaded.contains(PathText(dir.File("a"))) && model->rowCount(a) == 40, kReadTime);
    QVERIFY(Settle());
    QCOMPARE(tree->verticalScrollBar()->value(), scrolled);
    QCOMPARE(dialog.Selection(), dir.File("b/c"));
  }

  // A callback that raises: its error is shown, and the dialog goes on (the
  // selection moves, OK closes it).
  void folderDialogSurvivesAFailingCallback() {
    TempDir dir;
    std::filesystem::create_directories(dir.File("a"));
    TMessageLog shown;
    TBrowseCallback callback = [](TFolderDialog&, int message, const std::string&, const std::string&) -> int {
      throw std::runtime_error(message == BFFM_INITIALIZED ? "not up" : "not moved");
    };
    TFolderDialog dialog(nullptr, "Pick one", BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT, callback, dir.Path());
    dialog.show();
    QCOMPARE(shown, (std::vector<std::string>{"not up"}));
    dialog.SetSelection(dir.File("a"));
    QCOMPARE(shown, (std::vector<std::string>{"not up", "not moved"}));
    QCOMPARE(dialog.Selection(), dir.File("a"));
    QVERIFY(dialog.isVisible() && dialog.OkButton->isEnabled());
    dialog.OkButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
};

WINDOW_TEST_MAIN(TestWindowSupport)
#include "tst_windowsupport.moc"
