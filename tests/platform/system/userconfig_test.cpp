// The per-user configuration: where it lives, the settings folder, the
// settings key's values and the clamps of a stored window placement.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/system/userconfig.h"
#include "tests/support/testsupport.h"

namespace {

// Sets (or, with nullopt, removes) an environment variable for a scope.
struct TEnv {
  TEnv(const char* name, std::optional<std::string> value) : Name(name) {
    if (const char* old = std::getenv(name)) Old = old;
    Set(value);
  }
  ~TEnv() { Set(Old); }
  void Set(const std::optional<std::string>& v) const { v ? setenv(Name, v->c_str(), 1) : unsetenv(Name); }
  const char* Name;
  std::optional<std::string> Old;
};

}  // namespace

TEST(UserConfig, ConfigurationAndSettingsFolders) {
  TempDir dir;
  {
    TEnv xdg("XDG_CONFIG_HOME", dir.File("conf"));
    EXPECT_EQ(ConfigHome(), dir.File("conf/"));
    // The configuration folder itself may be missing too; every level is made.
    EXPECT_EQ(MakeSettingsFolder("1.4.1"), dir.File("conf/Quorvant/Brightmill/1.4.1/"));
    EXPECT_TRUE(DirectoryExists(dir.File("conf/Quorvant/Brightmill/1.4.1/")));
    EXPECT_EQ(MakeSettingsFolder(""), dir.File("conf/Quorvant/Brightmill/"));
    EXPECT_EQ(TSettingsKey::DefaultFileName(), dir.File("conf/Quorvant/Brightmill v1.4.conf"));
  }
  {
    // A level that is a file fails the whole folder: no text that is no folder.
    TEnv xdg("XDG_CONFIG_HOME", dir.File("blocked"));
    ASSERT_TRUE(CreateDir(dir.File("blocked")));
    WriteTextFile(dir.File("blocked/Quorvant"), "");
    EXPECT_EQ(MakeSettingsFolder("1.4.1"), "");
    TSettingsKey key;
    EXPECT_FALSE(key.Create());
  }
  {
    // Unset or relative: the home folder's .config.
    TEnv home("HOME", dir.File("home"));
    TEnv unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(ConfigHome(), dir.File("home/.config/"));
    TEnv relative("XDG_CONFIG_HOME", "conf");
    EXPECT_EQ(ConfigHome(), dir.File("home/.config/"));
    EXPECT_EQ(MakeSettingsFolder("1.4.1"), dir.File("home/.config/Quorvant/Brightmill/1.4.1/"));
  }
  EXPECT_FALSE(ForceFolders("relative/path"));
  EXPECT_TRUE(ForceFolders(dir.File("a//b/c")));
  EXPECT_TRUE(DirectoryExists(dir.File("a/b/c/")));
}

TEST(UserConfig, SettingsKeyNumbersAndStrings) {
  TempDir dir;
  std::string file = dir.File("Quorvant/Brightmill v1.4.conf");
  TSettingsKey key(file);
  key.WriteDword("Filters", 0xFFFFFFFF);
  EXPECT_FALSE(key.Save());  // the key's folder is not there yet
  ASSERT_TRUE(key.Create());
  key.WriteInteger("Left", -300);
  EXPECT_TRUE(key.Save());
  EXPECT_EQ(ReadTextFile(file), "[Brightmill v1.4]\nFilters=4294967295\nLeft=-300\n");

  WriteTextFile(file, "[Brightmill v1.4]\nA=0x07FFFFFF\nB=-1\nC=4294967296\nD=-2147483649\nE=abc\nLong=" +
                          std::string(261, 'x') + "\nMax=" + std::string(260, 'y') + "\n");
  TSettingsKey stored(file);
  uint32_t a = 0, b = 0;
  EXPECT_TRUE(stored.ReadDword("a", a) && stored.ReadDword("B", b));
  EXPECT_EQ(std::pair(a, b), std::pair(0x07FFFFFFu, 0xFFFFFFFFu));
  uint32_t dword = 0;
  for (const char* unreadable : {"C", "D", "E", "Missing"}) EXPECT_FALSE(stored.ReadDword(unreadable, dword));
  std::string text;
  EXPECT_FALSE(stored.ReadString("Long", text));
  EXPECT_TRUE(stored.ReadString("Max", text));
}

TEST(UserConfig, PlacementClamps) {
  const struct {
    TPlacementRect Stored, Expected;
  } cases[] = {
      {{100, 50, 760, 700}, {100, 50, 760, 700}},        // on screen: kept
      {{2000, 10, 2660, 660}, {0, 10, 660, 660}},        // right of the screen
      {{1200, 10, 1860, 660}, {1200, 10, 1860, 660}},    // 80 pixels still visible
      {{1201, 10, 1861, 660}, {0, 10, 660, 660}},
      {{-300, 10, 360, 660}, {-300, 10, 360, 660}},      // 360 pixels visible on the left
      {{-600, 10, 60, 660}, {0, 10, 660, 660}},          // only 60
      {{10, -10, 670, 640}, {10, 0, 670, 650}},          // above the top edge
      {{760, 700, 100, 50}, {100, 50, 760, 700}},        // inverted
      {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, MaxPlacementSize, MaxPlacementSize}},
      {{INT64_MIN, 0, INT64_MAX, 100}, {0, 0, MaxPlacementSize, 100}},
      {{INT32_MAX - 5, 0, INT32_MAX, 100}, {0, 0, 5, 100}},
  };
  for (const auto& c : cases) {
    TPlacementRect r = ClampPlacement(c.Stored, 1280, 1024);
    EXPECT_EQ(std::vector<int64_t>({r.Left, r.Top, r.Right, r.Bottom}),
              std::vector<int64_t>({c.Expected.Left, c.Expected.Top, c.Expected.Right, c.Expected.Bottom}))
        << c.Stored.Left << "," << c.Stored.Top;
  }
}
