// What the main window keeps between starts: the settings key and the INI
// file of the settings folder. Each test has a configuration folder of its own.
#include <QtTest>

#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/userconfig.h"
#include "tests/support/windowtest.h"
#include "tests/support/writelimit.h"

class TestSettings : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TTestSettingsFolder> Config;
  TMessageLog Messages;
  std::string StartDir;  // some tests move the current directory

  std::string KeyFile() const { return Config->File("Quorvant/Brightmill v1.4.conf"); }
  std::string StandardFolder() const { return Config->File("Quorvant/Brightmill/1.4.1/"); }
  void WriteKey(const std::string& values) {
    ForceFolders(Config->File("Quorvant"));
    WriteTextFile(KeyFile(), "[Brightmill v1.4]\n" + values);
  }
  std::string Ini() const { return StandardFolder() + "brmil.dat"; }
  void WriteIni(const std::string& text) {
    ForceFolders(StandardFolder());
    WriteTextFile(Ini(), text);
  }
  std::string KeyValue(const std::string& name) {
    TSettingsKey key(KeyFile());
    std::string value;
    key.ReadString(name, value);
    return value;
  }
  static bool Close(TFormMain& window) {
    window.show();
    return window.close();
  }

 private slots:
  void init() {
    Config = std::make_unique<TTestSettingsFolder>();
    Messages.clear();
    StartDir = GetCurrentDir();
  }
  void cleanup() {
    Config.reset();
    SetCurrentDir(StartDir);
  }

  void keyIsReadAndWrittenBack() {
    // Bit 0 of Filters is "3D grid...", bit 4 of Filters2 "Resize...". The
    // clamping of the placement is the settings key's tests' part.
    WriteKey("Left=800\nRight=100\nTop=0x10\nBottom=616\nFilters=4294967294\nFilters2=0x07FFFFEF\n");
    {
      TFormMain window;
      QCOMPARE(window.geometry(), QRect(100, 16, 700, 600));
      QCOMPARE(window.VisibleEffectNames.Count(), EffectCount - 2);
      QCOMPARE(window.VisibleEffectNames.IndexOf("Resize..."), -1);
      QVERIFY(Close(window));
    }
    QCOMPARE(KeyValue("Filters"), std::string("4294967294"));
    QCOMPARE(KeyValue("Filters2"), std::string("134217711"));
    // A maximized window comes back maximized, and leaves the state behind.
    for (bool maximized : {true, false}) {
      WriteKey("Left=50\nRight=750\nTop=40\nBottom=640\nWindowState=1\n");
      TFormMain window;
      QVERIFY(window.windowState() & Qt::WindowMaximized);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window, 60000));
      if (!maximized) window.setWindowState(Qt::WindowNoState);
      QVERIFY(window.close());
      QCOMPARE(KeyValue("WindowState"), std::string(maximized ? "1" : "0"));
      if (maximized) QCOMPARE(KeyValue("Right"), std::string("750"));  // the placement, not the screen
    }
  }

  void iniFileWrittenAsStored() {
    TempDir source, target;
    TFormMain window;
    window.SourceDir = source.Path();
    window.TargetDir = target.Path();
    window.TargetFormat = 1;
    window.EffectIndex = 4;
    window.LowerCaseNames = true;
    window.SourceGif = false;
    window.SaveEnv->trigger();
    QVERIFY(Messages.empty());
    QCOMPARE(ReadTextFile(Ini()),
             "[Target]\nPath=" + target.Path() + "\nExtension=1\nCollapse=1\n\n"
             "[Source]\nPath=" + source.Path() + "\nCollapse=1\nBMP=1\nGIF=0\nPNG=1\nJPG=1\nICO=1\nEMF=1\nWMF=1\n"
             "Subfolder=0\n\n[Effects]\nEffect=4\n\n[Actions]\nEnvironment=0\nCase=1\n");
  }

  void iniFileRead() {
    WriteIni(
        "[target]\r\npath=   \r\nExtension=9\r\nCollapse=0\r\n"
        "[Source]\r\nPath=  /pics  \r\nBMP=0x0\r\nGIF=abc\r\nPNG=2\r\nJPG=-1\r\nICO=0\r\nSubfolder=1\r\n"
        "[Effects]\r\nEffect=500\r\n[Actions]\r\nEnvironment=1\r\nCase=yes\r\n");
    TFormMain window;
    // "  /pics  " names a folder "  " of the start directory.
    QVERIFY(window.TargetDir == "   " && window.SourceDir == IncludeTrailingPathDelimiter(GetCurrentDir()) + "  /pics  /");
    QVERIFY(!window.TargetPanelExpanded && window.SourcePanelExpanded);
    QVERIFY(!window.SourceBmp && window.SourceGif && window.SourcePng && window.SourceJpg && !window.SourceIco);
    QVERIFY(window.IncludeSubfolders && window.SaveEnvironment && !window.LowerCaseNames);
    QCOMPARE(window.EffectIndex, 500);
  }

  // Folders stored without their full path are the start directory's: a
  // folder picked before Start moves the current directory, yet the run
  // reads the pictures the start-up scan found and writes where the file
  // said. A leading "~" stays the home folder.
  void storedRelativeFoldersAreTheStartDirectorys() {
    TempDir here, elsewhere;
    CreateDir(here.File("pictures"));
    for (int i = 0; i < 2; ++i)
      MakeTestBitmap(8, 6, i)->SaveToFile(here.File("pictures/p" + std::to_string(i) + ".bmp"));
    QVERIFY(SetCurrentDir(here.Path()));
    const std::string real = IncludeTrailingPathDelimiter(GetCurrentDir());
    WriteIni("[Target]\nPath=out\nExtension=0\n[Source]\nPath=./pictures\nBMP=1\nSubfolder=0\n");
    TFormMain window;
    QCOMPARE(window.SourceDir, real + "pictures/");
    QCOMPARE(window.TargetDir, real + "out/");
    window.ApplySettingsToControls();
    QCOMPARE(window.FileCount.load(), 2);
    window.EffectName = "Convert to selected format";
    QVERIFY(SetCurrentDir(elsewhere.Path()));
    window.ActionStartExecute();
    QTRY_VERIFY_WITH_TIMEOUT(ApplyEffectThread == nullptr, 60000);
    QCOMPARE(FolderEntries(here.File("out/")),
             (std::vector<std::string>{"p0(Convert)_1.bmp", "p1(Convert)_1.bmp"}));
    QVERIFY(FolderEntries(elsewhere.Path()).empty());
    QVERIFY(Messages.empty());

    WriteIni("[Target]\nPath=~/converted\n[Source]\nPath=~\n");
    TFormMain home;
    QCOMPARE(home.TargetDir, std::string("~/converted/"));
    QCOMPARE(home.SourceDir, std::string("~/"));
  }

  void settingsFolderFromTheKey() {
    // The first start makes the standard folder and stores it at close,
    // but no INI file without "save environment options".
    {
      TFormMain window;
      QVERIFY(window.SettingsFolder == StandardFolder() && DirectoryExists(StandardFolder()));
      QCOMPARE(window.VisibleEffectNames.Count(), EffectCount);
      QVERIFY(Close(window));
    }
    QCOMPARE(KeyValue("Path for settings"), StandardFolder());
    QVERIFY(!FileExists(Ini()));
    TempDir mine;
    WriteTextFile(mine.File("brmil.dat"), "[Effects]\nEffect=7\n");
    WriteIni("[Effects]\nEffect=3\n[Actions]\nEnvironment=1\n");
    // A stored folder without its trailing '/' is the folder, not a prefix.
    WriteKey("Path for settings=" + ExcludeTrailingPathDelimiter(mine.Path()) + "\n");
    {
      TFormMain window;
      QCOMPARE(window.SettingsFolder, mine.Path());
      QCOMPARE(window.EffectIndex, 7);
    }
    // A stored folder that is gone: the standard folder is worked out, but
    // no file is read, not even the one it holds; the close stores the
    // standard folder, whose file the next start reads.
    WriteKey("Path for settings=" + mine.File("gone/") + "\n");
    {
      TFormMain window;
      QCOMPARE(window.SettingsFolder, StandardFolder());
      QVERIFY(window.EffectIndex == 0 && !window.SaveEnvironment);
      QVERIFY(Close(window));
    }
    QCOMPARE(KeyValue("Path for settings"), StandardFolder());
    TFormMain window;
    QVERIFY(window.EffectIndex == 3 && window.SaveEnvironment);
  }

  void noUsableConfigurationFolder() {
    // A key file that cannot be read (here a folder of that name) counts as
    // a key without values.
    ForceFolders(KeyFile());
    {
      TFormMain window;
      QCOMPARE(window.VisibleEffectNames.Count(), EffectCount);
      QVERIFY(Close(window));
    }
    // The configuration "folder" is a file: no key, no settings folder.
    WriteTextFile(Config->File("file"), "");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Config->File("file")));
    TFormMain window;
    QCOMPARE(window.SettingsFolder, std::string());
    QCOMPARE(window.VisibleEffectNames.Count(), EffectCount);
    window.SaveEnv->trigger();
    QCOMPARE(Messages, std::vector<std::string>{"Unable to write to brmil.dat"});
    QVERIFY(!FileExists("brmil.dat"));
    // Asked to keep them at close, the window stays open with them until
    // the box is cleared.
    window.SaveEnvironment = true;
    QVERIFY(!Close(window));
    QVERIFY(window.isVisible() && Messages.size() == 2);
    window.SaveEnvironment = false;
    QVERIFY(window.close());
  }

  void environmentOptionAtClose() {
    WriteIni("[Actions]\nEnvironment=1\n");
    std::string stored = ReadTextFile(Ini());
    // A file that cannot be written: the message, and the window stays
    // open; once the file can be written, the close goes through.
    {
      TFormMain window;
      window.show();
      {
        TWriteLimit limit;
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
      }
      QCOMPARE(ReadTextFile(Ini()), stored);
      QVERIFY(window.close());
    }
    QCOMPARE(Messages, std::vector<std::string>{"Unable to write to " + Ini()});
    QVERIFY(ReadTextFile(Ini()) != stored);
    stored = ReadTextFile(Ini());
    // The box cleared before closing: nothing written.
    {
      TFormMain window;
      window.show();
      QCoreApplication::processEvents();
      QTest::mouseClick(window.XPCheckBox3, Qt::LeftButton, {}, QPoint(5, 8));
      QVERIFY(!window.SaveEnvironment);
      QVERIFY(window.close());
    }
    QCOMPARE(ReadTextFile(Ini()), stored);
    // "Save environment options" writes the cleared option.
    {
      TFormMain window;
      window.SaveEnvironment = false;
      window.SaveEnv->trigger();
    }
    QVERIFY(ReadTextFile(Ini()).find("Environment=0\n") != std::string::npos);
  }
};

WINDOW_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
