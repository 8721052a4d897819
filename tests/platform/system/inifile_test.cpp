// The INI reader and writer: reading values as stored, integers and flags,
// rewriting in memory with everything else kept, and replacing the file in
// one step.
#include <gtest/gtest.h>

#include "platform/system/inifile.h"
#include "tests/support/testsupport.h"
#include "tests/support/writelimit.h"

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  TempDir dir;
  WriteTextFile(dir.File("a.ini"), "; a comment=1\r\n[Source]\r\n  Path = /pics/ \r\nbmp=0\r\n#BMP=1\r\n"
                                   "[ target ]\nExtension=3\nPath\n[SOURCE]\nBMP=1\nEmpty=\n");
  TIniFile ini(dir.File("a.ini"));
  // Values are taken as they stand, blanks kept; the line ending is not.
  EXPECT_EQ(ini.ReadString("source", "PATH", "x"), " /pics/ ");
  EXPECT_EQ(ini.ReadString("Target", "Extension", "x"), "3");
  // The first section and key of a name count; comments are no keys.
  EXPECT_EQ(ini.ReadString("Source", "BMP", "x"), "0");
  EXPECT_EQ(ini.ReadString("Source", "Empty", "x"), "x");
  EXPECT_EQ(ini.ReadString("Target", "Path", "x"), "x");
  EXPECT_TRUE(ini.SectionExists("TARGET"));
  EXPECT_FALSE(ini.ValueExists("Source", "#BMP"));
  EXPECT_FALSE(ini.ValueExists("Effects", "Effect"));

  // Missing, oversized and folder names read as empty files.
  EXPECT_EQ(TIniFile(dir.File("none.ini")).Text(), "");
  EXPECT_EQ(TIniFile(dir.Path()).Text(), "");
  EXPECT_EQ(TIniFile("").Text(), "");
  std::string big = "[Source]\nPath=/x/\n";
  WriteTextFile(dir.File("big.ini"), big + std::string(MaxIniFileSize - big.size(), ';'));
  EXPECT_EQ(TIniFile(dir.File("big.ini")).ReadString("Source", "Path", ""), "/x/");
  WriteTextFile(dir.File("big.ini"), big + std::string(MaxIniFileSize - big.size() + 1, ';'));
  EXPECT_EQ(TIniFile(dir.File("big.ini")).Text(), "");
}

TEST(IniFile, IntegersAndFlags) {
  TIniFile ini("");
  ini.SetText(
      "[S]\nzero=0x0\nabc=abc\ntwo=2\nminus=-1\nhex=0X1f\nbare=0x\nblank= 12 \nbig=2147483648\n"
      "wrap=0xFFFFFFFF\nlong=0x100000000\nyes=yes\nplus=+7\nmixed=1 2\n");
  const struct {
    const char* Key;
    int Integer;
    bool Flag;  // read with fallback true
  } cases[] = {
      {"zero", 0, false}, {"abc", -5, true},   {"two", 2, true},    {"minus", -1, true},  {"hex", 31, true},
      {"bare", -5, true}, {"blank", 12, true}, {"big", -5, true},   {"wrap", -1, true},   {"long", -5, true},
      {"yes", -5, true},  {"plus", 7, true},   {"mixed", -5, true}, {"missing", -5, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ReadInteger("S", c.Key, -5), c.Integer) << c.Key;
    EXPECT_EQ(ini.ReadBool("S", c.Key, true), c.Flag) << c.Key;
  }
  EXPECT_FALSE(ini.ReadBool("S", "abc", false));
  int64_t value = 0;
  EXPECT_FALSE(ParseIniInteger("-99999999999999999999999", INT64_MIN, INT64_MAX, value));
  EXPECT_FALSE(ParseIniInteger("0xFFFFFFFFFFFFFFFFFFFF", INT64_MIN, INT64_MAX, value));
}

TEST(IniFile, RewritesInMemoryKeepingEverythingElse) {
  TIniFile ini("");
  ini.SetText("; kept\r\n[Other]\r\nMine=1\r\n[source]\r\nTheir=a\r\npath=/old/\r\nLast=z\r\n\r\n[Tail]\r\nx=y\r\n");
  EXPECT_TRUE(ini.WriteString("Source", "Path", "/new/"));
  EXPECT_TRUE(ini.WriteBool("Source", "BMP", false));
  EXPECT_TRUE(ini.WriteInteger("Effects", "Effect", 4));
  EXPECT_TRUE(ini.WriteInteger("Effects", "Effect", -4));
  EXPECT_EQ(ini.Text(),
            "; kept\n[Other]\nMine=1\n[source]\nTheir=a\nPath=/new/\nLast=z\nBMP=0\n\n"
            "[Tail]\nx=y\n\n[Effects]\nEffect=-4\n");

  // A value that would add lines, or a name that would not read back, is
  // not written.
  for (const std::string& bad :
       {std::string("/a\n[Target]\nPath=/etc/"), std::string("/a\r"), std::string("/a\0b", 4)})
    EXPECT_FALSE(ini.WriteString("Source", "Path", bad));
  EXPECT_FALSE(ini.WriteString("Source", "a=b", "1"));
  EXPECT_FALSE(ini.WriteString("Sec]tion", "x", "1"));
  EXPECT_EQ(ini.ReadString("Source", "Path", ""), "/new/");
  EXPECT_FALSE(ini.SectionExists("Target"));
}

TEST(IniFile, ReplacesTheFileOrLeavesItAsItWas) {
  TempDir dir;
  std::string path = dir.File("brmil.dat");
  WriteTextFile(path, "[Other]\r\nKey=1\r\n");
  TIniFile ini(path);
  ini.WriteString("Target", "Path", "/t/");
  ini.UpdateFile();
  EXPECT_EQ(ReadTextFile(path), "[Other]\nKey=1\n\n[Target]\nPath=/t/\n");

  ini.WriteString("Target", "Path", "/changed/");
  {
    TWriteLimit limit;
    EXPECT_EQ(RaisedMessage<EIniFileException>([&] { ini.UpdateFile(); }), "Unable to write to " + path);
  }
  EXPECT_EQ(ReadTextFile(path), "[Other]\nKey=1\n\n[Target]\nPath=/t/\n");

  EXPECT_THROW(TIniFile(dir.File("missing/brmil.dat")).UpdateFile(), EIniFileException);
}
