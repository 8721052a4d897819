// Start, Stop and closing on the main window: the checks of Start, the one
// rule that enables it, runs that end, stop or meet a closing window.
#include <QDialog>
#include <QtTest>
#include <filesystem>

#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "effects/function.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "tests/support/windowtest.h"

namespace {

void Prepare(TFormMain& window, TempDir& source, TempDir& target, int files) {
  window.ApplySettingsToControls();
  window.EffectName = "Convert to selected format";
  for (QLabel* label : {window.Label1, window.Label3}) TFormMain::SetStepReady(label, true);
  MakeWindowReady(window, source, target, files);
}

bool RunEnded() { return ApplyEffectThread == nullptr; }

}  // namespace

class TestRunControl : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;
  std::string StartDir;  // a folder pick moves the current directory

 private slots:
  void init() {
    Messages.clear();
    StartDir = GetCurrentDir();
  }
  void cleanup() {
    CommonDialogHooks() = TCommonDialogHooks();
    SetCurrentDir(StartDir);
  }

  void startIsEnabledByOneRule() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 2);
    QVERIFY(window.ActionStart->isEnabled());

    // No target, or no files: off.
    for (bool target : {false, true}) {
      TFormMain::SetStepReady(window.Label2, target);
      window.FileCount = target ? 0 : 2;
      window.UpdateStartAction();
      QVERIFY(!window.ActionStart->isEnabled());
    }
    window.FileCount = 2;

    // While a worker exists nothing turns Start on, and a second Start
    // waits; its end turns Start on and saves the log.
    window.XPCheckBox1->SetChecked(true);
    window.ActionStartExecute();
    TApplyEffectThread* worker = ApplyEffectThread;
    window.UpdateStartAction();
    window.ActionStartExecute();
    QVERIFY(worker != nullptr && ApplyEffectThread == worker && !window.ActionStart->isEnabled());
    // The run goes on, and ends, under a modal dialog.
    QDialog dialog(&window);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &dialog, [&] { if (RunEnded()) dialog.accept(); });
    poll.start(10);
    QTimer::singleShot(60000, &dialog, &QDialog::reject);  // only when the run never ends
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(window.ActionStart->isEnabled() && !window.ProgressBar->isVisible() && !window.Busy);
    QCOMPARE(window.MemoLog->toPlainText().split('\n').filter("Done: ").size(), 1);
    QVERIFY(FileExists(target.File("log.txt")));  // its text is the run view's tests' part

    // A run whose list was emptied under it (a rescan that found nothing)
    // ends with Start off.
    window.ActionStartExecute();
    window.SourceFiles.Clear();
    window.FileCount = 0;
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QVERIFY(!window.ActionStart->isEnabled());
  }

  // At a run's end Start comes back only once its worker is gone: a click
  // the moment Start is enabled starts the next run.
  void startComesBackOnlyWhenAClickStartsARun() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 1);
    int enabledWithWorker = 0, clicks = 0;
    connect(window.ActionStart, &QAction::enabledChanged, &window, [&](bool enabled) {
      if (!enabled) return;
      enabledWithWorker += ApplyEffectThread != nullptr;
      if (clicks++ == 0) window.ActionStart->trigger();
    });
    window.ActionStart->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(clicks == 2 && RunEnded(), 60000);
    QCOMPARE(enabledWithWorker, 0);
    QVERIFY(FileExists(target.File("pic0(Convert)_2.bmp")));
  }

  void eachCheckOfStartHasItsMessage() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 1);
    QVERIFY(ShowActive(window));
    // The source folder went away after the scan.
    window.SourceDir = source.File("missing/");
    window.ActionStartExecute();
    QCOMPARE(Messages.back(), "Don't exist the directory: " + window.SourceDir + " Try select another.");
    QVERIFY(!TFormMain::StepReady(window.Label1) && TFormMain::StepReady(window.Label2));
    QVERIFY(!window.ActionStart->isEnabled() && window.focusWidget() == window.XiButSource);

    // A target two levels deep cannot be made.
    Prepare(window, source, target, 0);
    window.SourceDir = source.Path();
    window.TargetDir = target.File("no/deeper/");
    window.ActionStartExecute();
    QCOMPARE(Messages.back(), "Cannot create " + window.TargetDir + " directory.");
    QVERIFY(!TFormMain::StepReady(window.Label2) && TFormMain::StepReady(window.Label1));
    QVERIFY(window.focusWidget() == window.XiButTarget && !DirectoryExists(target.File("no/")));

    // "Resize..." without a size, even when it scales by percent: the
    // message and no other change.
    TFormMain::SetStepReady(window.Label2, true);
    window.UpdateStartAction();
    window.TargetDir = target.Path();
    window.EffectName = "resize...";
    window.ResizeScaleType = 2;
    window.ActionStartExecute();
    QCOMPARE(Messages.back(), std::string("Please, define a new value for Width parameter, if it is 0 or less. "
                                          "Also define a new value for Height parameter, if it is 0 or less."));
    QVERIFY(window.ActionStart->isEnabled() && ApplyEffectThread == nullptr);
    // One missing level of the target is made, and the run goes.
    window.EffectName = "Convert to selected format";
    window.TargetDir = target.File("new/");
    window.ActionStartExecute();
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QVERIFY(FileExists(window.TargetDir + "pic0(Convert)_1.bmp"));
    QCOMPARE(Messages.size(), size_t(3));
  }

  void checksRunInTheirOrder() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 1);
    // Source and target missing at once: the source's message alone, and
    // the target, which could be made, is not.
    window.SourceDir = source.File("missing/");
    window.TargetDir = target.File("new/");
    window.ActionStartExecute();
    QCOMPARE(Messages, std::vector<std::string>{"Don't exist the directory: " + window.SourceDir + " Try select another."});
    QVERIFY(!DirectoryExists(window.TargetDir));
    QVERIFY(TFormMain::StepReady(window.Label2));
    for (QLabel* label : {window.Label1, window.Label3, window.Label4})
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(!window.ComboBox1->isEnabled() && !window.ActionEffect->isEnabled() && !window.ActionFormat->isEnabled());
    QCOMPARE(window.Panel1->text(), QString());
  }

  void targetOnACdRomIsRefused() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 1);
    std::vector<std::string> asked;
    window.OpticalDiscCheck = [&](const std::string& folder) {
      asked.push_back(folder);
      return true;
    };
    window.EffectName = "Resize...";  // without a size: not reached
    window.ActionStartExecute();
    QCOMPARE(Messages, std::vector<std::string>{
                           "You select in the capacity of the Target directory CD-ROM. Please, select another disk."});
    QCOMPARE(asked, std::vector<std::string>{target.Path()});
    // Nothing else changes, and no run starts.
    QVERIFY(ApplyEffectThread == nullptr && window.ActionStart->isEnabled());
    for (QLabel* label : {window.Label1, window.Label2, window.Label3, window.Label4})
      QVERIFY(TFormMain::StepReady(label));
    // Another disc: the run goes.
    window.OpticalDiscCheck = [](const std::string&) { return false; };
    window.EffectName = "Convert to selected format";
    window.ActionStartExecute();
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QCOMPARE(Messages.size(), size_t(1));
  }

  void stopFinishesTheFileInProgress() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 4);
    // Stop is pressed while the first file is processed.
    bool runningControls = false;
    window.OnFileTimed = [&](const std::string& name, double, double, double) {
      if (name != "pic0.bmp") return;
      runningControls = window.ActionStop->isEnabled() && !window.ActionStart->isEnabled() && window.Busy;
      window.ActionStopExecute();
    };
    window.ActionStartExecute();
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QVERIFY(window.MemoLog->toPlainText().contains("It was processed only 1 from 4 files"));
    QVERIFY(runningControls && window.ActionStart->isEnabled() && !window.ActionStop->isEnabled());
    window.ActionStopExecute();  // without a run: nothing
  }

  // A value the effect dialog's OK changes during a run reaches the files
  // that enter work after it; the file committed meanwhile keeps the value
  // it started with.
  void aDialogsOkDuringARunReachesTheFilesAfterIt() {
    TFormMain window;
    TempDir source, target;
    Prepare(window, source, target, 3);
    window.EffectName = "Contrast...";
    window.ShowEffectSettings(window.EffectName, false);
    window.ContrastRange = 120;
    window.FilesInFlight = 1;  // the next file enters work once one is committed
    window.OnFileTimed = [&](const std::string& name, double, double, double) {
      if (name != "pic0.bmp") return;
      QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TFormEffect*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->TrackBar1->SetPosition(160);
        dialog->XiButton1->click();
      });
      window.ActionEffectExecute();
    };
    window.ActionStartExecute();
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QCOMPARE(window.ContrastRange, 160);
    for (int i = 0; i < 3; ++i) {
      std::unique_ptr<TBitmap> expected = MakeTestBitmap(40, 30, i);
      ApplyContrast(*expected, i == 0 ? 120 : 160);
      TBitmap written;
      written.LoadFromFile(target.File("pic" + std::to_string(i) + "(Contrast)_1.bmp"));
      QVERIFY2(SameColors(written, *expected), qPrintable(QString::number(i)));
    }
  }

  // A target typed as a relative path, and a source list of relative
  // paths, are taken from the directory Start checked them in: a target
  // folder picked during the run moves the current directory, and the rest
  // of the run, "log.txt" included, still goes where Start made the folder.
  void aFolderPickedDuringARunLeavesTheRunsFolders() {
    TempDir here, elsewhere;
    CreateDir(here.File("pictures"));
    for (int i = 0; i < 3; ++i)
      MakeTestBitmap(8, 6, i)->SaveToFile(here.File("pictures/pic" + std::to_string(i) + ".bmp"));
    QVERIFY(SetCurrentDir(here.Path()));
    TFormMain window;
    window.ApplySettingsToControls();
    window.EffectName = "Convert to selected format";
    window.SourceDir = "pictures/";
    window.ScanSourceFolder(window.SourceDir, false);
    window.FileCount = window.SourceFiles.Count();
    QCOMPARE(window.SourceFiles[0], std::string("pictures/pic0.bmp"));
    window.XPEditTarget->setText("out");
    QCOMPARE(window.TargetDir, std::string("out/"));
    window.UpdateStartAction();
    window.XPCheckBox1->SetChecked(true);
    window.FilesInFlight = 1;  // the next file is read once one is committed
    std::string picked = elsewhere.Path();
    CommonDialogHooks().SelectFolder = [&](QWidget*, const std::string&, const std::string&) {
      return ExcludeTrailingPathDelimiter(picked);
    };
    window.OnFileTimed = [&](const std::string& name, double, double, double) {
      if (name == "pic0.bmp") window.XiButTargetClick();
    };
    window.ActionStartExecute();
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QVERIFY(std::filesystem::equivalent(GetCurrentDir(), elsewhere.Path()));
    QCOMPARE(window.TargetDir, elsewhere.Path());  // the job took the pick, for the next run
    QCOMPARE(FolderEntries(here.File("out/")),
             (std::vector<std::string>{"log.txt", "pic0(Convert)_1.bmp", "pic1(Convert)_1.bmp", "pic2(Convert)_1.bmp"}));
    QVERIFY(FolderEntries(elsewhere.Path()).empty());
    QVERIFY(window.MemoLog->toPlainText().contains("Done: "));

    // A source picked between Start and the run's first step: the run
    // takes the new list (the job's list is copied when the log opens),
    // and the relative target is still the folder Start made.
    TempDir other;
    MakeTestBitmap(8, 6)->SaveToFile(other.File("new.bmp"));
    picked = other.Path();
    QVERIFY(SetCurrentDir(here.Path()));
    window.XPEditTarget->setText("again");
    window.OnFileTimed = nullptr;
    window.ActionStartExecute();
    QVERIFY(ApplyEffectThread != nullptr && !window.Busy && DirectoryExists(here.File("again")));
    window.XiButSourceClick();
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), 60000);
    QCOMPARE(FolderEntries(here.File("again/")), (std::vector<std::string>{"log.txt", "new(Convert)_1.bmp"}));
    QCOMPARE(FolderEntries(other.Path()), std::vector<std::string>{"new.bmp"});
  }

  void closingDuringARunWaitsAndLosesNothing() {
    TempDir source, target;
    auto window = std::make_unique<TFormMain>();
    Prepare(*window, source, target, 6);
    window->show();
    window->ActionStartExecute();
    QVERIFY(ApplyEffectThread != nullptr);
    QVERIFY(window->close());
    QCOMPARE(ApplyEffectThread, nullptr);
    // Stopped before the first file was handed over: that file is still
    // done and its output complete.
    QVERIFY(window->MemoLog->toPlainText().contains("Success: pic0.bmp"));
    QVERIFY(window->MemoLog->toPlainText().contains("It was processed only 1 from 6 files"));
    window.reset();
    TBitmap written;
    written.LoadFromFile(target.File("pic0(Convert)_1.bmp"));
    QCOMPARE(written.Width(), 40);
  }
};

WINDOW_TEST_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
