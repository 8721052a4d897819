// Every value of the settings key and every key of the INI file, each with a
// value of its own: read at start (into the job and the controls) and
// written back by the window's own close and "Save environment options".
#include <QtTest>
#include <bitset>

#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/userconfig.h"
#include "tests/support/windowtest.h"

namespace {

// The INI file's flags in the order they are written, each with a code of
// its own: in pattern k a flag holds bit k of its code. No two codes are
// equal and none is 0 or 15, so a key read into (or written from) another
// flag's member, or not read at all, differs in some pattern.
struct FlagKey {
  const char* Section;
  const char* Key;
  bool TJobRecord::*Member;
  int Code;
};
const FlagKey Flags[] = {
    {"Target", "Collapse", &TJobRecord::TargetPanelExpanded, 1},
    {"Source", "Collapse", &TJobRecord::SourcePanelExpanded, 2},
    {"Source", "BMP", &TJobRecord::SourceBmp, 3},
    {"Source", "GIF", &TJobRecord::SourceGif, 4},
    {"Source", "PNG", &TJobRecord::SourcePng, 5},
    {"Source", "JPG", &TJobRecord::SourceJpg, 6},
    {"Source", "ICO", &TJobRecord::SourceIco, 7},
    {"Source", "EMF", &TJobRecord::SourceEmf, 8},
    {"Source", "WMF", &TJobRecord::SourceWmf, 9},
    {"Source", "Subfolder", &TJobRecord::IncludeSubfolders, 10},
    {"Actions", "Environment", &TJobRecord::SaveEnvironment, 11},
    {"Actions", "Case", &TJobRecord::LowerCaseNames, 12},
};
constexpr int Patterns = 4;

bool FlagIn(const FlagKey& flag, int pattern) { return (flag.Code >> pattern) & 1; }
std::string Bit(const FlagKey& flag, int pattern) { return FlagIn(flag, pattern) ? "1" : "0"; }
const FlagKey& FlagNamed(const char* section, const char* key) {
  for (const FlagKey& flag : Flags)
    if (flag.Section == std::string(section) && flag.Key == std::string(key)) return flag;
  throw std::logic_error(key);
}

// The file as the window writes it afresh for pattern k.
std::string IniText(int k, const std::string& target, const std::string& source) {
  auto line = [k](const char* section, const char* key) {
    return std::string(key) + "=" + Bit(FlagNamed(section, key), k) + "\n";
  };
  std::string text = "[Target]\nPath=" + target + "\nExtension=" + std::to_string(k) + "\n" +
                     line("Target", "Collapse") + "\n[Source]\nPath=" + source + "\n";
  for (const char* key : {"Collapse", "BMP", "GIF", "PNG", "JPG", "ICO", "EMF", "WMF", "Subfolder"})
    text += line("Source", key);
  return text + "\n[Effects]\nEffect=" + std::to_string(20 + 7 * k) + "\n\n[Actions]\n" +
         line("Actions", "Environment") + line("Actions", "Case");
}

}  // namespace

class TestSettingsKeys : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TTestSettingsFolder> Config;

  std::string KeyFile() const { return Config->File("Quorvant/Brightmill v1.4.conf"); }
  std::string Ini() const { return Config->File("Quorvant/Brightmill/1.4.1/brmil.dat"); }

 private slots:
  void init() { Config = std::make_unique<TTestSettingsFolder>(); }
  void cleanup() { Config.reset(); }

  void iniKeysReadAtStartAndWrittenBack() {
    TMessageLog messages;
    TempDir folders;
    for (int k = 0; k < Patterns; ++k) {
      const std::string target = folders.File("target" + std::to_string(k) + "/");
      const std::string source = folders.File("source" + std::to_string(k) + "/");
      ForceFolders(target);
      ForceFolders(source);
      const std::string text = IniText(k, target, source);
      ForceFolders(ExtractFilePath(Ini()));
      WriteTextFile(Ini(), text);

      TFormMain window;
      for (const FlagKey& flag : Flags)
        QVERIFY2(window.*flag.Member == FlagIn(flag, k), flag.Key);
      QCOMPARE(window.TargetDir, target);
      QCOMPARE(window.SourceDir, source);
      QCOMPARE(window.TargetFormat, k);
      QCOMPARE(window.EffectIndex, 20 + 7 * k);

      // What the controls show once the window is up.
      window.show();
      QTRY_VERIFY_WITH_TIMEOUT(window.StartedUp(), 60000);
      const bool types[7] = {window.SourceBmp, window.SourceJpg, window.SourceGif, window.SourcePng,
                             window.SourceEmf, window.SourceWmf, window.SourceIco};
      for (int i = 0; i < 7; ++i) QCOMPARE(window.SourceTypeBox(i)->Checked(), types[i]);
      QCOMPARE(window.XPCheckBox2->Checked(), window.IncludeSubfolders);
      QCOMPARE(window.XPCheckBox3->Checked(), window.SaveEnvironment);
      QCOMPARE(window.XPCheckBox4->Checked(), window.LowerCaseNames);
      QCOMPARE(window.XPCheckBoxBMP->isVisibleTo(window.Panel4), window.SourcePanelExpanded);
      QCOMPARE(window.XPRButBMP->isVisibleTo(window.XPGroupBox1), window.TargetPanelExpanded);
      const char* const extensions[] = {".bmp", ".jpg", ".gif", ".png"};
      TXPRadioButton* const buttons[] = {window.XPRButBMP, window.XPRButJPG, window.XPRButGIF, window.XPRButPNG};
      QCOMPARE(window.TargetExtension, std::string(extensions[k]));
      for (int i = 0; i < 4; ++i) QCOMPARE(buttons[i]->Checked(), i == k);
      QCOMPARE(window.ComboBox1->currentText().toStdString(), std::string(EffectCatalogue()[20 + 7 * k].Caption));

      // Written afresh, the file is the one read.
      DeleteFile(Ini());
      window.SaveEnv->trigger();
      QCOMPARE(ReadTextFile(Ini()), text);
    }
    QVERIFY(messages.empty());
  }

  void keyValuesReadAtStartAndWrittenAtClose() {
    // Four edges apart from each other, a window state that counts as 0,
    // and visibility masks of their own (bits 27..31 of Filters2 unused).
    TempDir mine;
    const uint32_t filters = 0xA5C3F01E, filters2 = 0xF2B4D369;
    ForceFolders(ExtractFilePath(KeyFile()));
    WriteTextFile(KeyFile(), "[Brightmill v1.4]\nPath for settings=" + mine.Path() +
                                 "\nLeft=37\nTop=21\nRight=737\nBottom=627\nWindowState=2\nFilters=" +
                                 std::to_string(filters) + "\nFilters2=" + std::to_string(filters2) + "\n");
    // Bit i of the two masks is the i-th entry of the list.
    QStringList offered;
    for (int i = 0; i < EffectCount; ++i)
      if (i < 32 ? (filters >> i) & 1 : (filters2 >> (i - 32)) & 1) offered << EffectCatalogue()[i].Caption;
    {
      TFormMain window;
      QCOMPARE(window.SettingsFolder, mine.Path());
      QCOMPARE(window.geometry(), QRect(37, 21, 700, 606));
      QVERIFY(!(window.windowState() & Qt::WindowMaximized));
      window.show();
      QTRY_VERIFY_WITH_TIMEOUT(window.StartedUp(), 60000);
      QCOMPARE(Items(window.ComboBox1), offered);
      QVERIFY(window.close());
    }
    TSettingsKey key(KeyFile());
    const std::pair<const char*, std::string> stored[] = {
        {"Path for settings", mine.Path()},
        {"Left", "37"},
        {"Top", "21"},
        {"Right", "737"},
        {"Bottom", "627"},
        {"WindowState", "0"},
        {"Filters", std::to_string(filters)},
        {"Filters2", std::to_string(filters2 & 0x07FFFFFF)},
    };
    for (const auto& [name, value] : stored) {
      std::string read;
      QVERIFY2(key.ReadString(name, read), name);
      QCOMPARE(read, value);
    }
  }
};

WINDOW_TEST_MAIN(TestSettingsKeys)
#include "tst_settingskeys.moc"
