// Steps 1 and 2 of the main window: the source scan, the type boxes, the
// target folder, the format buttons and command; the log commands and help.
#include <QDialog>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <set>

#include "dialogs/formatdialogs.h"
#include "engine/targetsummary.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/userconfig.h"
#include "platform/windows/dialogs.h"
#include "tests/support/windowtest.h"

namespace {

std::vector<std::string> Names(const TStringList& files, const std::string& root) {
  std::vector<std::string> names;
  for (int i = 0; i < files.Count(); ++i) names.push_back(files[i].substr(root.size()));
  return names;
}

void Picture(const std::string& path) { MakeTestBitmap(8, 6)->SaveToFile(path); }

// Whether two texts name the same folder (the current directory is read
// back with every link resolved).
bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

}  // namespace

class TestSourceTarget : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;
  std::vector<std::string> FolderStarts;  // where each folder dialog opened
  std::string NextFolder;                 // what the folder dialog answers
  std::array<TFormatDialogFactory, 4> RealFormatDialogs;
  std::string StartDir;  // the folder picks move the current directory

  // A fresh window with its start-up done.
  std::unique_ptr<TFormMain> Window() {
    auto window = std::make_unique<TFormMain>();
    window->ApplySettingsToControls();
    return window;
  }
  void ChooseSource(TFormMain& window, const std::string& folder) {
    NextFolder = ExcludeTrailingPathDelimiter(folder);
    QTest::mouseClick(window.XiButSource, Qt::LeftButton);
  }

 private slots:
  void init() {
    Messages.clear();
    FolderStarts.clear();
    RealFormatDialogs = FormatDialogFactories();
    StartDir = GetCurrentDir();
    CommonDialogHooks().SelectFolder = [this](QWidget*, const std::string&, const std::string& start) {
      FolderStarts.push_back(start);
      return NextFolder;
    };
  }
  void cleanup() {
    CommonDialogHooks() = TCommonDialogHooks();
    FormatDialogFactories() = RealFormatDialogs;
    SetCurrentDir(StartDir);
  }

  void sourceCommandScansBreadthFirstAndReports() {
    TempDir dir;
    std::filesystem::create_directories(dir.File("S1/S3"));
    std::filesystem::create_directories(dir.File("S2"));
    for (const char* name : {"a.bmp", "S1/b.bmp", "S1/S3/d.bmp", "S2/c.bmp"}) Picture(dir.File(name));
    WriteFile(dir.File("e.gif"), {});
    auto window = Window();
    TempDir start;
    QVERIFY(SetCurrentDir(start.Path()));

    ChooseSource(*window, dir.Path());
    QCOMPARE(Names(window->SourceFiles, dir.Path()), (std::vector<std::string>{"a.bmp", "e.gif"}));
    // No target yet: Start stays off.
    QVERIFY(window->ActionFormat->isEnabled() && !window->ActionStart->isEnabled());
    // A type box rewrites its line and takes effect at the next scan.
    QTest::mouseClick(window->XPCheckBoxGIF, Qt::LeftButton, {}, QPoint(6, 8));
    QVERIFY(window->ListBox3->item(2)->text() == "GIF: false" && window->FileCount == 2);

    QTest::mouseClick(window->XPCheckBox2, Qt::LeftButton, {}, QPoint(6, 8));
    QVERIFY(window->IncludeSubfolders);
    window->PreviewIndex = 3;
    ChooseSource(*window, dir.Path());
    QCOMPARE(Names(window->SourceFiles, dir.Path()),
             (std::vector<std::string>{"a.bmp", "S1/b.bmp", "S2/c.bmp", "S1/S3/d.bmp"}));
    QVERIFY(window->PreviewIndex == 0 && window->Panel1->text() == "This folder contains 4 graphics files");
    // The first dialog opened on the directory the program was in, the
    // next on the folder picked in it, which became the current directory.
    QCOMPARE(FolderStarts.size(), size_t(2));
    QVERIFY(SameFolder(FolderStarts[0], start.Path()) && SameFolder(FolderStarts[1], dir.Path()));
    QVERIFY(SameFolder(GetCurrentDir(), dir.Path()));

    // Cancel changes nothing, the current directory included.
    NextFolder.clear();
    QTest::mouseClick(window->XiButSource, Qt::LeftButton);
    QCOMPARE(window->FileCount.load(), 4);
    QVERIFY(SameFolder(GetCurrentDir(), dir.Path()));

    // A folder without pictures, after a ready job: steps 1, 3 and 4 go
    // red, step 2 stays green.
    window->XPEditTarget->setText(PathText(dir.Path()));
    QVERIFY(TFormMain::StepReady(window->Label4) && window->ActionStart->isEnabled());
    TempDir empty;
    WriteTextFile(empty.File("notes.txt"), "x");
    ChooseSource(*window, empty.Path());
    QCOMPARE(window->Panel1->text(), QString("There are no graphics files in selected folder"));
    QVERIFY(!TFormMain::StepReady(window->Label1) && !window->ActionFormat->isEnabled());
    for (QLabel* label : {window->Label1, window->Label3, window->Label4})
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(TFormMain::StepReady(window->Label2) && !window->ActionStart->isEnabled());
    QCOMPARE(window->PreviewFile, dir.File("a.bmp"));  // the earlier preview stays
  }

  // The program's own folder dialog, not replaced: it opens on the current
  // directory (not on the source folder), its status line shows the full
  // path of the folder selected, and OK takes that folder, which becomes
  // the current directory.
  void folderDialogShowsTheFullPathInItsStatusLine() {
    CommonDialogHooks().SelectFolder = nullptr;
    TempDir dir;
    std::filesystem::create_directories(dir.File("first/inner"));
    Picture(dir.File("first/inner/a.bmp"));
    const std::string start = std::filesystem::canonical(dir.Path()).string();
    QVERIFY(SetCurrentDir(start));
    auto window = Window();
    window->SourceDir = dir.File("first/");
    // What each dialog showed when it came up, and in the end.
    QStringList title, opened, ended;
    auto answer = [&](const std::string& select, bool ok) {
      WhenShown([&, select, ok](QWidget* shown) {
        auto* dialog = dynamic_cast<TFolderDialog*>(shown);
        if (!dialog) {
          shown->close();
          return;
        }
        title << dialog->Title->text();
        opened << dialog->StatusText->text();
        if (!select.empty()) {
          auto* model = static_cast<QFileSystemModel*>(dialog->Tree->model());
          dialog->Tree->setCurrentIndex(model->index(QString::fromStdString(select)));
        }
        ended << dialog->StatusText->text();
        (ok ? dialog->OkButton : dialog->CancelButton)->click();
      });
    };
    answer(start + "/first/inner", true);
    window->Source1->trigger();
    QCOMPARE(window->SourceDir, start + "/first/inner/");
    QCOMPARE(window->FileCount.load(), 1);
    QCOMPARE(GetCurrentDir(), start + "/first/inner");
    // The target's dialog opens on it; Cancel leaves the target unset.
    answer("", false);
    window->Target1->trigger();
    QVERIFY(window->TargetDir.empty() && window->XPEditTarget->text().isEmpty());
    const QString inner = QString::fromStdString(start + "/first/inner");
    QCOMPARE(title, QStringList({"Select a source directory", "Select a target directory"}));
    QCOMPARE(opened, QStringList({QString::fromStdString(start), inner}));
    QCOMPARE(ended, QStringList({inner, inner}));
  }

  void targetEditTrimsAddsTheSlashAndKnowsHome() {
    TempDir dir;
    Picture(dir.File("a.bmp"));
    auto window = Window();
    window->show();
    ChooseSource(*window, dir.Path());

    const std::string home = ExcludeTrailingPathDelimiter(qgetenv("HOME").toStdString());
    for (auto [typed, expected] : {std::pair<QString, std::string>{"  /tmp/out  ", "/tmp/out/"},
                                   {" \t ", ""},
                                   {"~/pictures", home + "/pictures/"},
                                   {"~user/x", "~user/x/"}}) {  // only "~/" means home
      window->XPEditTarget->setText(typed);
      QCOMPARE(window->TargetDir, expected);
      QCOMPARE(window->ActionStart->isEnabled(), !expected.empty());
      if (expected.empty()) QCOMPARE(window->focusWidget(), static_cast<QWidget*>(window->XiButTarget));
    }

    // Typed, a folder keeps the keys in the edit; a text left blank by the
    // keys, emptied or blanks alone, sends the focus to the target button.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get(), 60000));
    QWidget* const button = window->XiButTarget;
    for (auto [keys, erase] : {std::pair<QString, bool>{"", true}, {"  ", false}}) {
      window->XPEditTarget->clear();
      window->XPEditTarget->setFocus();
      QTest::keyClicks(window->XPEditTarget, "/tmp/x");
      QCOMPARE(window->TargetDir, std::string("/tmp/x/"));
      QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window->XPEditTarget));
      window->XPEditTarget->selectAll();
      if (erase) QTest::keyClick(window->XPEditTarget, Qt::Key_Backspace);
      else QTest::keyClicks(window->XPEditTarget, keys);
      QCOMPARE(window->XPEditTarget->text(), keys);
      QCOMPARE(window->TargetDir, std::string());
      QVERIFY(!window->ActionStart->isEnabled() && !TFormMain::StepReady(window->Label2));
      QCOMPARE(QApplication::focusWidget(), button);
    }
  }

  void namesThatAreNotUtf8SurviveScanTargetAndRun() {
    TempDir dir;
    const std::string source = dir.File("Bilder \xE4\xF6/");  // Latin-1 bytes
    const std::string target = dir.File("Ziel \xFC/");
    std::filesystem::create_directories(source);
    Picture(source + "Sommer \xDF.bmp");
    auto window = Window();
    ChooseSource(*window, source);
    QCOMPARE(window->SourceFiles[0], source + "Sommer \xDF.bmp");

    NextFolder = ExcludeTrailingPathDelimiter(target);
    QTest::mouseClick(window->XiButTarget, Qt::LeftButton);
    // Choosing it again raises no change event and keeps the bytes.
    QTest::mouseClick(window->XiButTarget, Qt::LeftButton);
    QCOMPARE(window->TargetDir, target);

    window->EffectName = "Convert to selected format";
    window->ActionStartExecute();
    WaitForApplyEffectThread(false);
    QVERIFY(Messages.empty());
    QVERIFY(FileExists(target + "Sommer \xDF(Convert)_1.bmp"));
    // The log is saved under a name made from the effect, keeping the
    // names' bytes; a cancelled dialog writes nothing, a file that cannot
    // be made gives its message and the log stays.
    std::string proposed, answer = dir.File("run.txt");
    std::vector<std::string> titles;
    CommonDialogHooks().SaveFile = [&](QWidget*, const std::string& title, const std::string& path,
                                       const std::string& filter) {
      titles.push_back(title + "|" + filter);
      proposed = path;
      return answer;
    };
    window->EffectName = "Flip (horiz/vert)";
    QTest::mouseClick(window->XiButSaveLog, Qt::LeftButton);
    QCOMPARE(proposed, target + "log(Flip (horiz_vert)).txt");
    QCOMPARE(titles, std::vector<std::string>{"Save log|Text file (*.txt)"});
    const std::string log = ReadTextFile(answer);
    QVERIFY(log.find("Success: Sommer \xDF.bmp") != std::string::npos);
    QVERIFY(log.find("New name: Sommer \xDF(Convert)_1.bmp") != std::string::npos);
    QTest::mouseClick(window->XiButClearLog, Qt::LeftButton);
    QVERIFY(window->MemoLog->toPlainText().isEmpty());
    window->MemoLog->setPlainText("kept");
    answer.clear();
    proposed.clear();
    window->XiButSaveLogClick();
    QCOMPARE(ReadTextFile(dir.File("run.txt")), log);
    // The name chosen before is not proposed again.
    QCOMPARE(proposed, target + "log(Flip (horiz_vert)).txt");
    answer = dir.File("missing/run.txt");
    window->XiButSaveLogClick();
    QCOMPARE(Messages, std::vector<std::string>{"Cannot create file " + answer});
    QCOMPARE(window->MemoLog->toPlainText(), QString("kept"));
  }

  // Save log writes each line of the memo ended by a carriage return and a
  // line feed, whether the memo holds a run's log or what the user typed.
  void savedLogLinesEndWithCarriageReturnAndLineFeed() {
    TempDir dir;
    auto window = Window();
    const std::string file = dir.File("saved.txt");
    CommonDialogHooks().SaveFile = [&](QWidget*, const std::string&, const std::string&, const std::string&) {
      return file;
    };
    TStringList log;
    for (const char* line : {"Source dir: /p", "", "Time span: 0.1 s"}) log.Add(line);
    window->ShowLog(log);
    window->XiButSaveLogClick();
    QCOMPARE(ReadTextFile(file), std::string("Source dir: /p\r\n\r\nTime span: 0.1 s\r\n"));
    // Typed into the memo: each line, the last one too, however it ended.
    window->MemoLog->setPlainText("typed\nlast");
    QTest::mouseClick(window->XiButSaveLog, Qt::LeftButton);
    QCOMPARE(ReadTextFile(file), std::string("typed\r\nlast\r\n"));
    window->MemoLog->setPlainText("one line\n");
    window->XiButSaveLogClick();
    QCOMPARE(ReadTextFile(file), std::string("one line\r\n"));
    // After "Clear log": an empty file.
    window->XiButClearLogClick();
    window->XiButSaveLogClick();
    QVERIFY(FileExists(file) && ReadTextFile(file).empty());
    QVERIFY(Messages.empty());
  }

  // Each target format, by its button and by the stored index at start-up:
  // its extension, its summary (once), the format command's hint and the
  // one checked button.
  void everyTargetFormatByItsButtonAndAtStartUp() {
    const struct {
      TXPRadioButton* TFormMain::*Button;
      const char* Extension;
      const char* FirstLine;
      int Lines;
      const char* Hint;
    } rows[] = {{&TFormMain::XPRButBMP, ".bmp", "Target: BMP files", 2, "BMP tunning"},
                {&TFormMain::XPRButJPG, ".jpg", "Target: JPG files", 2, "JPG tunning"},
                {&TFormMain::XPRButGIF, ".gif", "Target: GIF files", 6, "GIF tunning"},
                {&TFormMain::XPRButPNG, ".png", "Target: PNG files", 4, "PNG tunning"}};
    auto check = [&](TFormMain& window, int format) {
      const auto& row = rows[format];
      QCOMPARE(window.TargetFormat, format);
      QCOMPARE(window.TargetExtension, std::string(row.Extension));
      const QStringList lines = Items(window.ListBox2);
      QCOMPARE(lines.size(), row.Lines);
      QCOMPARE(lines[0], QString(row.FirstLine));
      for (QString hint : {window.XiButFormat->toolTip(), window.ItemFormat->statusTip()})
        QCOMPARE(hint, QString(row.Hint));
      for (const auto& other : rows) QCOMPARE((window.*other.Button)->Checked(), &other == &row);
    };
    auto clicked = Window();
    clicked->ExpandTargetFormats();
    for (int format : {2, 3, 1, 0}) {
      QTest::mouseClick(clicked.get()->*rows[format].Button, Qt::LeftButton, {}, QPoint(6, 8));
      check(*clicked, format);
      TFormMain stored;
      stored.TargetFormat = format;
      stored.ApplySettingsToControls();
      check(stored, format);
    }
  }

  // Each type box rewrites its own line of the type summary and sets its
  // own flag; at start-up each box and line follow the stored flag.
  void everySourceTypeBoxHasItsLineAndFlag() {
    const struct {
      TXPCheckBox* TFormMain::*Box;
      const char* Tag;
      bool TJobRecord::*Flag;
    } rows[] = {{&TFormMain::XPCheckBoxBMP, "BMP", &TJobRecord::SourceBmp},
                {&TFormMain::XPCheckBoxJPG, "JPG", &TJobRecord::SourceJpg},
                {&TFormMain::XPCheckBoxGIF, "GIF", &TJobRecord::SourceGif},
                {&TFormMain::XPCheckBoxPNG, "PNG", &TJobRecord::SourcePng},
                {&TFormMain::XPCheckBoxEMF, "EMF", &TJobRecord::SourceEmf},
                {&TFormMain::XPCheckBoxWMF, "WMF", &TJobRecord::SourceWmf},
                {&TFormMain::XPCheckBoxICO, "ICO", &TJobRecord::SourceIco}};
    // Lines, flags and boxes as expected with the types in `off` off.
    auto check = [&](TFormMain& window, std::set<int> off) {
      QStringList lines;
      for (size_t i = 0; i < std::size(rows); ++i) {
        const bool on = !off.count(int(i));
        lines << QString(rows[i].Tag) + (on ? ": true" : ": false");
        QVERIFY2(window.*rows[i].Flag == on && (window.*rows[i].Box)->GetChecked() == on, rows[i].Tag);
      }
      QCOMPARE(Items(window.ListBox3), lines);
    };
    auto window = Window();
    for (size_t i = 0; i < std::size(rows); ++i) {
      QTest::mouseClick(window.get()->*rows[i].Box, Qt::LeftButton, {}, QPoint(6, 8));
      check(*window, {int(i)});
      QTest::mouseClick(window.get()->*rows[i].Box, Qt::LeftButton, {}, QPoint(6, 8));
      check(*window, {});
    }
    for (std::set<int> off : {std::set<int>{0, 2, 4, 6}, std::set<int>{1, 3, 5}}) {
      TFormMain stored;
      for (int i : off) stored.*rows[i].Flag = false;
      stored.ApplySettingsToControls();
      check(stored, off);
    }
  }

  void formatButtonsAndCommand() {
    auto window = Window();
    const struct {
      TXPRadioButton* Button;
      int Format;
      const char* Extension;
    } rows[] = {{window->XPRButJPG, 1, ".jpg"}, {window->XPRButPNG, 3, ".png"}, {window->XPRButBMP, 0, ".bmp"}};
    for (const auto& row : rows) {
      for (int twice = 0; twice < 2; ++twice) QTest::mouseClick(row.Button, Qt::LeftButton, {}, QPoint(6, 8));
      QCOMPARE(window->TargetFormat, row.Format);
      QCOMPARE(window->TargetExtension, std::string(row.Extension));
      QCOMPARE(Items(window->ListBox2).size(), qsizetype(TargetSummaryLines(*window, row.Format).size()));
    }
    // Selecting by index clears the list first and checks the button
    // without running its handler.
    window->JpegQuality = 80;
    window->SetTargetFormat(1);
    window->SetTargetFormat(1);
    QCOMPARE(Items(window->ListBox2), QStringList({"Target: JPG files", "Compress: 80"}));
    QVERIFY(window->XPRButJPG->Checked() && !window->XPRButBMP->Checked());
    QCOMPARE(window->TargetFormat, 0);  // the caller's to set

    // The format command checks the preview file and rebuilds the summary
    // after OK.
    TempDir dir;
    Picture(dir.File("a.bmp"));
    Picture(dir.File("b.bmp"));
    int made = 0;
    bool accept = false;
    // A dialog that edits the job and ends with the given result.
    FormatDialogFactories()[1] = [&](QWidget* parent, TJobRecord& job) -> std::unique_ptr<QDialog> {
      ++made;
      auto dialog = std::make_unique<QDialog>(parent);
      QTimer::singleShot(0, dialog.get(), [d = dialog.get(), &job, &accept] {
        job.JpegQuality = 42;
        d->done(accept ? QDialog::Accepted : QDialog::Rejected);
      });
      return dialog;
    };
    window->ActionFormatExecute();  // no files: nothing at all
    QCOMPARE(made, 0);
    ChooseSource(*window, dir.Path());
    window->TargetFormat = 1;
    window->ActionFormatExecute();  // Cancel: the summary stays
    QCOMPARE(Items(window->ListBox2)[1], QString("Compress: 80"));
    accept = true;
    window->PreviewIndex = 9;  // out of range: the first file
    window->ActionFormatExecute();
    QCOMPARE(window->PreviewFile, dir.File("a.bmp"));
    QCOMPARE(Items(window->ListBox2)[1], QString("Compress: 42"));

    // A preview file that has gone: the message, and no dialog.
    DeleteFile(dir.File("b.bmp"));
    window->PreviewIndex = 1;
    window->ActionFormatExecute();
    QCOMPARE(made, 2);
    QCOMPARE(Messages.size(), size_t(1));
  }

  // The folder picks move the current directory; what the program keeps for
  // itself stays where it was found at start: its folder (the pattern, the
  // help) and the settings file, also when the settings key names that
  // folder without its full path.
  void ownFilesDoNotFollowTheCurrentDirectory() {
    TempDir start, picked;
    Picture(picked.File("a.bmp"));
    std::filesystem::create_directories(start.File("kept"));
    WriteTextFile(start.File("kept/brmil.dat"), "[Target]\nExtension=2\n");
    const std::string keyFile = TSettingsKey::DefaultFileName();
    const bool hadKey = FileExists(keyFile);
    const std::string oldKey = hadKey ? ReadTextFile(keyFile) : std::string();
    {
      TSettingsKey key;
      QVERIFY(key.Create());
      key.WriteString("Path for settings", "kept");
      QVERIFY(key.Save());
    }
    QVERIFY(SetCurrentDir(start.Path()));
    auto window = Window();
    hadKey ? WriteTextFile(keyFile, oldKey) : void(DeleteFile(keyFile));
    const std::string here = std::filesystem::canonical(start.Path()).string() + "/";
    QCOMPARE(window->SettingsFolder, here + "kept/");
    QCOMPARE(window->TargetFormat, 2);
    QVERIFY(window->ProgramFolder.rfind('/', 0) == 0);
    QCOMPARE(window->WatermarkFile, window->ProgramFolder + "back.bmp");

    ChooseSource(*window, picked.Path());
    QVERIFY(SameFolder(GetCurrentDir(), picked.Path()));
    // The settings go back into the file they came from, none beside the
    // pictures.
    window->TargetFormat = 3;
    window->SaveEnv->trigger();
    QVERIFY(Messages.empty());
    QVERIFY(ReadTextFile(start.File("kept/brmil.dat")).find("Extension=3") != std::string::npos);
    QVERIFY(!DirectoryExists(picked.File("kept")));
    // The help is looked up beside the program, never in the current
    // directory.
    std::filesystem::create_directories(picked.File("help"));
    WriteTextFile(picked.File("help/index.html"), "<html></html>");
    std::vector<std::string> opened;
    CommonDialogHooks().OpenUrl = [&](const std::string& url) {
      opened.push_back(url);
      return true;
    };
    window->ItemContentClick();
    const std::string guide = window->ProgramFolder + "help/index.html";
    if (FileExists(guide)) QCOMPARE(QUrl(QString::fromStdString(opened.at(0))).toLocalFile().toStdString(), guide);
    else QVERIFY(Messages.size() == 1 && Messages[0].find(guide) != std::string::npos);
  }

  void helpOpensTheGuideBesideTheProgram() {
    TempDir dir;
    auto window = Window();
    std::vector<std::string> opened;
    bool opens = true;
    CommonDialogHooks().OpenUrl = [&](const std::string& url) {
      opened.push_back(url);
      return opens;
    };
    window->ProgramFolder = dir.Path();
    window->ItemContentClick();  // no guide: a message
    QVERIFY(Messages.size() == 1 && opened.empty());
    std::filesystem::create_directories(dir.File("help"));
    WriteTextFile(dir.File("help/index.html"), "<html></html>");
    window->ItemContent->trigger();
    QCOMPARE(QUrl(QString::fromStdString(opened[0])).toLocalFile().toStdString(), dir.File("help/index.html"));
    opens = false;  // no browser: a message
    window->ItemContentClick();
    QCOMPARE(Messages.size(), size_t(2));
  }
};

WINDOW_TEST_MAIN(TestSourceTarget)
#include "tst_sourcetarget.moc"
