// Text, number and date helpers, maths errors, file and folder helpers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "tests/support/testsupport.h"
#include "tests/support/writelimit.h"

TEST(SysUtils, TextComparison) {
  EXPECT_TRUE(SameText("Picture.BMP", "picture.bmp"));
  EXPECT_FALSE(SameText("abc", "abcd"));
  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("ab", "A"), 0);
  EXPECT_GT(CompareText("\xE9", "z"), 0);  // bytes above 127 compare unsigned
  EXPECT_EQ(LowerCase("AbC-\xC4"), "abc-\xC4");
  EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
}

TEST(SysUtils, StrToInt) {
  EXPECT_EQ(StrToInt(" -42 "), -42);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "abc", "12a", "1 2", "-", "$", "0x", "2147483648", "-2147483649",
                          "99999999999999999999", "$100000000", "1.5"})
    EXPECT_EQ(RaisedMessage<EConvertError>([&] { StrToInt(bad); }),
              std::string("'") + bad + "' is not a valid integer value");
  EXPECT_EQ(StrToIntDef("x", -9), -9);
}

TEST(SysUtils, FormatFloat) {
  const struct {
    const char* Picture;
    double Value;
    const char* Expected;
  } cases[] = {
      {"#,#0.0", 0.05, "0.1"},      {"#,#0.0", -0.04, "0.0"},   {"#,#0.0", 999.96, "1,000.0"},
      {"#,#0.0", -1234.56, "-1,234.6"}, {"0.00", 2.675, "2.68"}, {"0.00", 9.995, "10.00"},
      {"0", -2.5, "-3"},            {"0.##", 1.5, "1.5"},       {"0.##", 2, "2"},
      {"000", 7, "007"},            {"#,#0.0", NAN, "NAN"},     {"#,#0.0", -INFINITY, "-INF"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatFloat(c.Picture, c.Value), c.Expected) << c.Picture << " " << c.Value;
  std::string huge = FormatFloat("#,#0.0", 1e308);
  EXPECT_EQ(huge.size(), 309u + 102u + 2u);  // digits, separators, ".0"
  EXPECT_EQ(huge.substr(huge.size() - 6), ",000.0");
}

TEST(SysUtils, FormatDateTime) {
  EXPECT_EQ(FormatDateTime("c", 45000.5), "15.03.2023 12:00:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", 45351), "2024-02-29");
  EXPECT_EQ(FormatDateTime("d.m.yy h:n:s", 45000 + (3 * 3600 + 4 * 60 + 5) / 86400.0), "15.3.23 3:4:5");
  EXPECT_EQ(FormatDateTime("c", 61), "01.03.1900 00:00:00");
  EXPECT_EQ(FormatDateTime("c", -1.25), "29.12.1899 06:00:00");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", 45000.99999999), "23:59:59");
  EXPECT_EQ(FormatDateTime("yyyy'y' \"dd\" hh", 2958465.5), "9999y dd 12");
  EXPECT_EQ(FormatDateTime("YYYY", -693593), "0001");
  EXPECT_THROW(FormatDateTime("c", NAN), EConvertError);
  EXPECT_THROW(FormatDateTime("c", -1e7), EConvertError);
}

// The log's date and time: each takes only its own half of the value.
TEST(SysUtils, DateToStrAndTimeToStr) {
  const double leapEvening = 45351 + (18 * 3600 + 7 * 60 + 3) / 86400.0;
  EXPECT_EQ(DateToStr(leapEvening) + " " + TimeToStr(leapEvening), "2024-02-29 18:07:03");
  EXPECT_EQ(DateToStr(-1.25) + " " + TimeToStr(-1.25), "1899-12-29 06:00:00");
  EXPECT_THROW(TimeToStr(NAN), EConvertError);
}

TEST(SysUtils, PathsFilesAndFolders) {
  EXPECT_EQ(ExtractFileName("/a/b/") + "|" + ExtractFilePath("/a/b/c.png"), "|/a/b/");
  for (auto [name, ext] : {std::pair{"a.b.png", ".png"}, {"dir.x/file", ""}, {".hidden", ".hidden"}, {"/x/n.", "."}})
    EXPECT_EQ(ExtractFileExt(name), ext) << name;
  EXPECT_EQ(ChangeFileExt("dir.x/a.b.png", ".jpg"), "dir.x/a.b.jpg");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a") + ExcludeTrailingPathDelimiter("/a/"), "/a//a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");

  TempDir dir;
  std::string file = dir.File("f.txt");
  WriteTextFile(file, "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_TRUE(CreateDir(dir.File("sub/")));
  EXPECT_TRUE(DirectoryExists(dir.File("sub")));
  EXPECT_FALSE(CreateDir(dir.File("sub")));          // already there
  EXPECT_FALSE(CreateDir(dir.File("x/y")));          // one level only
  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(DeleteFile(file));
}

TEST(SysUtils, PlainFileNames) {
  for (const char* good : {"a", "_1.bmp", ".._1.bmp", "\xC0\xAF.bmp"}) EXPECT_TRUE(IsPlainFileName(good)) << good;
  for (const std::string& bad : {std::string(), std::string("."), std::string(".."), std::string("../x"),
                                 std::string("a/b"), std::string("a\0b", 3)})
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  // A zero byte would cut the path short: such a path names nothing.
  TempDir dir;
  WriteTextFile(dir.File("a"), "x");
  EXPECT_FALSE(FileExists(dir.File(std::string("a\0b", 3))));
  EXPECT_FALSE(DeleteFile(dir.File(std::string("a\0b", 3))));
  EXPECT_TRUE(FileExists(dir.File("a")));
}

TEST(SysUtils, SaveTextAtomically) {
  TempDir dir;
  std::string error;
  std::string log = dir.File("log.txt");
  ASSERT_TRUE(SaveTextAtomically(log, "first\n", &error)) << error;
  ASSERT_TRUE(SaveTextAtomically(log, "second\n", &error)) << error;
  EXPECT_EQ(ReadFile(log), std::vector<uint8_t>({'s', 'e', 'c', 'o', 'n', 'd', '\n'}));

  // A link at the name is replaced; the file it pointed to keeps its text.
  WriteTextFile(dir.File("precious"), "keep");
  ASSERT_EQ(symlink(dir.File("precious").c_str(), dir.File("link.txt").c_str()), 0);
  ASSERT_TRUE(SaveTextAtomically(dir.File("link.txt"), "new", &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("precious")).size(), 4u);
  EXPECT_EQ(ReadFile(dir.File("link.txt")).size(), 3u);
  struct stat st {};
  ASSERT_EQ(lstat(dir.File("link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));

  // A write that fails half way (the disk full) keeps the old file whole and
  // leaves nothing behind.
  {
    TWriteLimit limit(4096);
    EXPECT_FALSE(SaveTextAtomically(log, std::string(10000, 'x'), &error));
  }
  EXPECT_NE(error.find(log), std::string::npos) << error;
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(log).size(), 7u);
  // A folder that has gone, and names that are not one file.
  EXPECT_FALSE(SaveTextAtomically(dir.File("gone/log.txt"), "x", &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_FALSE(SaveTextAtomically(dir.Path(), "x", &error));
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"link.txt", "log.txt", "precious"}));
}

TEST(CurrentDir, MovesOnlyToFoldersThatExistAndPinsPathsAgainstIt) {
  const std::string before = GetCurrentDir();
  TempDir dir;
  std::filesystem::create_directories(dir.File("gone"));
  const std::string real = std::filesystem::canonical(dir.Path()).string();
  ASSERT_TRUE(SetCurrentDir(dir.Path()));
  EXPECT_EQ(GetCurrentDir(), real);
  EXPECT_EQ(AbsolutePath("kept/brmil.dat"), real + "/kept/brmil.dat");
  EXPECT_EQ(AbsolutePath("./"), real + "/");
  EXPECT_EQ(AbsolutePath("/opt/x/"), "/opt/x/");
  EXPECT_EQ(AbsolutePath(""), "");
  // A folder that is not there, or no text: the directory stays.
  EXPECT_FALSE(SetCurrentDir(dir.File("missing/")));
  EXPECT_FALSE(SetCurrentDir(""));
  EXPECT_EQ(GetCurrentDir(), real);
  // A current directory removed meanwhile cannot be read; nothing is
  // pinned to it.
  ASSERT_TRUE(SetCurrentDir(dir.File("gone")));
  std::filesystem::remove(dir.File("gone"));
  EXPECT_EQ(GetCurrentDir(), "");
  EXPECT_EQ(AbsolutePath("a/"), "a/");
  EXPECT_TRUE(SetCurrentDir(before));
}
