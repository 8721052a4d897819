// The main window holds the job, starts and stops runs and never goes away
// under a living worker.
#include <QDialog>
#include <QtTest>

#include "mainwindow/mainwindow.h"
#include "platform/windows/messages.h"
#include "tests/support/testsupport.h"

class TestFormMain : public QObject {
  Q_OBJECT

 private:
  std::vector<std::string> Messages;

  void Prepare(TFormMain& window, TempDir& source, TempDir& target, int files) {
    window.SourceDir = source.Path();
    window.TargetDir = target.Path();
    window.EffectName = "Convert to selected format";
    for (int i = 0; i < files; ++i) {
      std::string path = source.File("pic" + std::to_string(i) + ".bmp");
      MakeTestBitmap(40, 30, i)->SaveToFile(path);
      window.SourceFiles.Add(path);
    }
    window.FileCount = window.SourceFiles.Count();
  }

 private slots:
  void init() {
    Messages.clear();
    SetMessageHandler([this](const std::string& text) { Messages.push_back(text); });
  }
  void cleanup() { SetMessageHandler(nullptr); }

  void holdsTheJobWithItsDefaults() {
    TFormMain window;
    QCOMPARE(FormMain, &window);
    QCOMPARE(window.windowTitle(), QString("Brightmill"));
    QCOMPARE(window.TargetExtension, std::string(".bmp"));
    QVERIFY(window.ProgramFolder.size() > 1 && window.ProgramFolder.back() == '/');
    QVERIFY(window.WatermarkBitmap != nullptr);
    QCOMPARE(window.WatermarkBitmap->PixelFormat(), pf24bit);
    QCOMPARE(window.ActionStart->shortcut(), QKeySequence("Ctrl+R"));
    QCOMPARE(window.ActionStop->shortcut(), QKeySequence("Ctrl+S"));
    QVERIFY(!window.ActionStop->isEnabled());
  }

  void startChecksTheJobFirst() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 1);

    window.SourceDir = source.File("missing/");
    window.ActionStartExecute();
    QCOMPARE(Messages.back(), "Don't exist the directory: " + window.SourceDir + " Try select another.");

    window.SourceDir = source.Path();
    window.TargetDir = target.File("no/deeper/");
    window.ActionStartExecute();
    QCOMPARE(Messages.back(), "Cannot create " + window.TargetDir + " directory.");

    window.TargetDir = target.Path();
    window.EffectName = "resize...";
    window.ResizeWidth = 100;
    window.ResizePercent = 50;
    window.ResizeScaleType = 2;
    window.ActionStartExecute();
    QCOMPARE(Messages.back(), std::string("Please, define a new value for Width parameter, if it is 0 or less. "
                                          "Also define a new value for Height parameter, if it is 0 or less."));
    QCOMPARE(ApplyEffectThread, nullptr);
    QCOMPARE(Messages.size(), size_t(3));

    // One missing level of the target is made.
    window.EffectName = "Convert to selected format";
    window.TargetDir = target.File("new/");
    window.ActionStartExecute();
    QVERIFY(DirectoryExists(window.TargetDir));
    WaitForApplyEffectThread(false);
    QVERIFY(FileExists(window.TargetDir + "pic0(Convert)_1.bmp"));
  }

  void runShowsItsLogWhenDone() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 3);
    window.XPCheckBox1->SetChecked(true);
    window.ActionStartExecute();
    TApplyEffectThread* worker = ApplyEffectThread;
    QVERIFY(worker != nullptr);
    window.ActionStartExecute();  // a second Start while the first worker lives
    QCOMPARE(ApplyEffectThread, worker);
    QTRY_VERIFY_WITH_TIMEOUT(ApplyEffectThread == nullptr, 10000);
    QString log = window.MemoLog->toPlainText();
    QVERIFY(log.contains("All files: 3"));
    QVERIFY(log.contains("New name: pic2(Convert)_1.bmp"));
    QVERIFY(log.contains("Done: "));
    QVERIFY(!log.contains("pic0(Convert)_2"));
    QVERIFY(window.ActionStart->isEnabled());
    QVERIFY(!window.ActionStop->isEnabled());
    QVERIFY(!window.ProgressBar->isVisible());
    TStringList saved;
    saved.LoadFromFile(target.File("log.txt"));
    QCOMPARE(QString::fromStdString(saved.Text()).trimmed(), log);
  }

  void closingDuringARunWaitsForIt() {
    TempDir source, target;
    auto window = std::make_unique<TFormMain>();
    Prepare(*window, source, target, 6);
    window->show();
    window->ActionStartExecute();
    QVERIFY(ApplyEffectThread != nullptr);
    QVERIFY(window->close());
    QCOMPARE(ApplyEffectThread, nullptr);
    QString log = window->MemoLog->toPlainText();
    // Stopped before the first file was handed over: that file is still done.
    QVERIFY(log.contains("Success: pic0.bmp"));
    QVERIFY(log.contains("It was processed only 1 from 6 files"));
    QVERIFY(!window->Busy);
    window.reset();
    QVERIFY(FileExists(target.File("pic0(Convert)_1.bmp")));
  }

  void runGoesOnUnderAModalDialog() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 3);
    window.ActionStartExecute();
    QDialog dialog(&window);
    QTimer poll;
    bool endedUnderTheDialog = false;
    connect(&poll, &QTimer::timeout, &dialog, [&] {
      if (ApplyEffectThread) return;
      endedUnderTheDialog = true;
      dialog.accept();
    });
    poll.start(10);
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    dialog.exec();
    QVERIFY(endedUnderTheDialog);
    QVERIFY(window.MemoLog->toPlainText().contains("Done: "));
  }

  void stopEndsAfterTheFileInProgress() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 4);
    window.ActionStartExecute();
    window.ActionStopExecute();
    QTRY_VERIFY_WITH_TIMEOUT(ApplyEffectThread == nullptr, 10000);
    QVERIFY(window.MemoLog->toPlainText().contains("It was processed only 1 from 4 files"));
  }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
