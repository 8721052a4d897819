// The files the main window saves for the user: the log saved by hand, the
// INI file and the settings key. Each is written through a link to the file
// it names, which keeps its mode; a file the user may not write stays as it
// was, with the command's message (the settings key, silently); a save
// whose close fails is one that failed.
#include <sys/stat.h>

#include <QtTest>

#include "mainwindow/mainwindow.h"
#include "platform/system/userconfig.h"
#include "platform/windows/dialogs.h"
#include "tests/support/fileendfault.h"
#include "tests/support/nobody.h"
#include "tests/support/windowtest.h"

namespace {

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void Link(const std::string& target, const std::string& link) { QCOMPARE(symlink(target.c_str(), link.c_str()), 0); }

void OpenToAll(const std::string& folder) { QCOMPARE(chmod(folder.c_str(), 0777), 0); }

}  // namespace

class TestSavedFiles : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TTestSettingsFolder> Config;
  TMessageLog Messages;
  std::string Chosen;

  std::string KeyFile() const { return Config->File("Quorvant/Brightmill v1.4.conf"); }
  std::string StandardFolder() const { return Config->File("Quorvant/Brightmill/1.4.1/"); }
  std::string Ini() const { return StandardFolder() + "brmil.dat"; }
  // Saves the memo's text as the file the save dialog is answered with.
  void SaveLog(TFormMain& window, const std::string& path, const QString& text) {
    Chosen = path;
    window.MemoLog->setPlainText(text);
    window.XiButSaveLogClick();
  }

 private slots:
  void init() {
    Config = std::make_unique<TTestSettingsFolder>();
    Messages.clear();
    CommonDialogHooks().SaveFile = [this](QWidget*, const std::string&, const std::string&, const std::string&) {
      return Chosen;
    };
  }
  void cleanup() {
    CommonDialogHooks().SaveFile = nullptr;
    Config.reset();
  }

  void logSavedThroughALinkKeepsItsMode() {
    TempDir dir, dotfiles;
    TFormMain window;
    WriteTextFile(dotfiles.File("runs.txt"), "before");
    QCOMPARE(chmod(dotfiles.File("runs.txt").c_str(), 0600), 0);
    Link(dotfiles.File("runs.txt"), dir.File("log.txt"));
    SaveLog(window, dir.File("log.txt"), "private\nlines");
    QCOMPARE(ReadTextFile(dotfiles.File("runs.txt")), std::string("private\r\nlines\r\n"));
    QVERIFY(IsLink(dir.File("log.txt")));
    QCOMPARE(ModeOf(dotfiles.File("runs.txt")), mode_t(0600));
    // A link to nothing makes the file it names.
    Link(dotfiles.File("new.txt"), dir.File("new.txt"));
    SaveLog(window, dir.File("new.txt"), "new");
    QCOMPARE(ReadTextFile(dotfiles.File("new.txt")), std::string("new\r\n"));
    QVERIFY(IsLink(dir.File("new.txt")));
    QVERIFY(Messages.empty());
    QCOMPARE(FolderEntries(dotfiles.Path()), (std::vector<std::string>{"new.txt", "runs.txt"}));
  }

  void logNotSavedOverAFileTheUserMayNotWrite() {
    TempDir dir;
    OpenToAll(dir.Path());
    const std::string file = dir.File("fixed.txt");
    WriteTextFile(file, "fixed");
    QCOMPARE(chmod(file.c_str(), 0444), 0);
    TFormMain window;
    {
      TFileAccessOfNobody nobody;
      SaveLog(window, file, "changed");
    }
    QCOMPARE(Messages, std::vector<std::string>{"Cannot create file " + file});
    QCOMPARE(ReadTextFile(file), std::string("fixed"));
    QCOMPARE(window.MemoLog->toPlainText(), QString("changed"));
    // Nor when the disk reports a lost write at the close.
    Messages.clear();
    QCOMPARE(chmod(file.c_str(), 0644), 0);
    {
      TFileEndFault lost(TFileEndFault::Close, "fixed.txt");
      SaveLog(window, file, "lost");
    }
    QCOMPARE(Messages, std::vector<std::string>{"Cannot create file " + file});
    QCOMPARE(ReadTextFile(file), std::string("fixed"));
    QCOMPARE(FolderEntries(dir.Path()), std::vector<std::string>{"fixed.txt"});
  }

  void settingsKeptInLinkedFiles() {
    // The INI file and the key file live among the user's dotfiles, the INI
    // file private, the key file not made yet.
    TempDir dotfiles;
    WriteTextFile(dotfiles.File("brmil.dat"), "[Actions]\nCase=1\n");
    QCOMPARE(chmod(dotfiles.File("brmil.dat").c_str(), 0600), 0);
    QVERIFY(ForceFolders(StandardFolder()));
    Link(dotfiles.File("brmil.dat"), Ini());
    Link(dotfiles.File("brightmill.conf"), KeyFile());
    {
      TFormMain window;
      QVERIFY(window.LowerCaseNames);
      window.EffectIndex = 6;
      window.SaveEnv->trigger();
      window.show();
      QVERIFY(window.close());
    }
    QVERIFY(Messages.empty());
    QVERIFY(IsLink(Ini()) && IsLink(KeyFile()));
    QVERIFY(ReadTextFile(dotfiles.File("brmil.dat")).find("Effect=6\n") != std::string::npos);
    QCOMPARE(ModeOf(dotfiles.File("brmil.dat")), mode_t(0600));
    QVERIFY(ReadTextFile(dotfiles.File("brightmill.conf")).find("Path for settings=" + StandardFolder()) !=
            std::string::npos);
    TFormMain again;
    QCOMPARE(again.EffectIndex, 6);
  }

  void settingsTheUserMayNotWriteStay() {
    QVERIFY(ForceFolders(StandardFolder()));
    for (const char* folder : {"", "Quorvant", "Quorvant/Brightmill", "Quorvant/Brightmill/1.4.1"})
      OpenToAll(Config->File(folder));
    WriteTextFile(Ini(), "[Effects]\nEffect=3\n");
    WriteTextFile(KeyFile(), "[Brightmill v1.4]\nFilters=0\n");
    for (const std::string& file : {Ini(), KeyFile()}) QCOMPARE(chmod(file.c_str(), 0444), 0);
    {
      TFormMain window;
      window.EffectIndex = 9;
      window.show();
      TFileAccessOfNobody nobody;
      window.SaveEnv->trigger();
      QVERIFY(window.close());
    }
    QCOMPARE(Messages, std::vector<std::string>{"Unable to write to " + Ini()});
    QCOMPARE(ReadTextFile(Ini()), std::string("[Effects]\nEffect=3\n"));
    QCOMPARE(ReadTextFile(KeyFile()), std::string("[Brightmill v1.4]\nFilters=0\n"));
  }
};

WINDOW_TEST_MAIN(TestSavedFiles)
#include "tst_savedfiles.moc"
