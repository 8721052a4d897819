// Directory search: masks, which entries the attributes admit and what the
// record tells of them, folders that vanish, closing.
#include "platform/system/filesearch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "tests/support/testsupport.h"

namespace {

using Names = std::vector<std::string>;

// The names a search finds, sorted, each with its attributes after a '|'
// when withAttr is set.
Names Found(const std::string& path, int attr, bool withAttr = false) {
  Names names;
  TSearchRec rec;
  for (int found = FindFirst(path, attr, rec); found == 0; found = FindNext(rec))
    names.push_back(withAttr ? rec.Name + "|" + std::to_string(rec.Attr) : rec.Name);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(FileSearch, MasksMatchBytesAndLettersWithoutCase) {
  TempDir dir;
  for (const char* name : {"a.bmp", "B.BMP", "noext", "x.bmp.bak", "\xFF\xFE.bmp", "aXbXc"})
    WriteTextFile(dir.File(name), "x");
  EXPECT_EQ(Found(dir.File("*.*"), 0).size(), 6u);  // names without a dot too
  EXPECT_EQ(Found(dir.File("*.bmp"), 0), (Names{"B.BMP", "a.bmp", "\xFF\xFE.bmp"}));
  EXPECT_EQ(Found(dir.File("??.bmp"), 0), (Names{"\xFF\xFE.bmp"}));  // '?' is one byte
  EXPECT_EQ(Found(dir.File("a*b*c"), 0), (Names{"aXbXc"}));
  // No match, an empty mask, a zero byte: nothing found, the record closed.
  for (const std::string& path : {dir.File("*.gif"), dir.Path(), dir.Path() + std::string(1, '\0') + "/*"}) {
    TSearchRec rec;
    EXPECT_EQ(FindFirst(path, faAnyFile, rec), ENOENT);
    EXPECT_EQ(FindNext(rec), EBADF);
  }
}

TEST(FileSearch, AttributesChooseTheEntriesAndDescribeThem) {
  TempDir dir;
  WriteTextFile(dir.File("file"), "12345");
  WriteTextFile(dir.File(".hidden"), "x");
  WriteTextFile(dir.File("fixed"), "x");
  std::filesystem::create_directories(dir.File("sub"));
  ASSERT_EQ(chmod(dir.File("fixed").c_str(), 0444), 0);
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("file", dir.File("link").c_str()), 0);
  ASSERT_EQ(symlink("gone", dir.File("dangling").c_str()), 0);
  const std::string all = dir.File("*.*");
  EXPECT_EQ(Found(all, 0, true), (Names{"file|0", "fixed|1", "link|0"}));
  EXPECT_EQ(Found(all, faAnyFile, true),
            (Names{"..|16", ".hidden|2", ".|16", "file|0", "fixed|1", "link|0", "pipe|4", "sub|16"}));
  // A link tells of what it leads to.
  struct stat st {};
  ASSERT_EQ(stat(dir.File("file").c_str(), &st), 0);
  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir.File("link"), 0, rec), 0);
  EXPECT_TRUE(rec.Size == 5 && rec.Time == st.st_mtim.tv_sec && rec.Device == st.st_dev && rec.Inode == st.st_ino);
}

TEST(FileSearch, FoldersAndEntriesThatVanish) {
  TempDir dir;
  TSearchRec rec;
  EXPECT_EQ(FindFirst(dir.File("missing/*"), faAnyFile, rec), ENOENT);
  // Entries removed after the search began are passed over, and a folder
  // removed under an open search ends it.
  std::filesystem::create_directories(dir.File("going"));
  for (int i = 0; i < 200; ++i) WriteTextFile(dir.File("going/f" + std::to_string(i)), "x");
  ASSERT_EQ(FindFirst(dir.File("going/*"), faAnyFile & ~faDirectory, rec), 0);
  std::filesystem::remove_all(dir.File("going"));
  int found = 0;
  while ((found = FindNext(rec)) == 0) ADD_FAILURE() << rec.Name;
  EXPECT_EQ(found, ENOENT);
}

TEST(FileSearch, CloseIsSafeAtAnyTimeAndARecordOwnsOneSearch) {
  TempDir dir;
  WriteTextFile(dir.File("a"), "x");
  auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFiles();
  {
    TSearchRec rec;
    ASSERT_EQ(FindFirst(dir.File("*"), 0, rec), 0);
    ASSERT_EQ(FindFirst(dir.File("*"), 0, rec), 0);  // the first search is closed
    TSearchRec moved = std::move(rec);
    EXPECT_EQ(FindNext(moved), ENOENT);
    FindClose(moved);
    FindClose(moved);  // already closed; rec was never opened since the move
    FindClose(rec);
    EXPECT_EQ(FindNext(moved), EBADF);
    ASSERT_EQ(FindFirst(dir.File("*"), 0, moved), 0);
  }  // a record that goes closes its search
  EXPECT_EQ(openFiles(), before);
}
