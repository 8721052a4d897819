// Directory search: masks, which entries the attributes admit, what the
// record tells of an entry, folders that vanish, names that are only bytes.
#include "platform/system/filesearch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "tests/support/testsupport.h"

namespace {

// The names a search finds, sorted; the last answer in result.
std::vector<std::string> Found(const std::string& path, int attr, int* result = nullptr) {
  std::vector<std::string> names;
  TSearchRec rec;
  int found = FindFirst(path, attr, rec);
  for (; found == 0; found = FindNext(rec)) names.push_back(rec.Name);
  FindClose(rec);
  if (result) *result = found;
  std::sort(names.begin(), names.end());
  return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(FileSearch, MasksMatchBytesAndLettersWithoutCase) {
  TempDir dir;
  for (const char* name : {"a.bmp", "B.BMP", "ab.jpg", "noext", "x.bmp.bak", "\xFF\xFE.bmp", "aXbXc"})
    WriteTextFile(dir.File(name), "x");
  EXPECT_EQ(Found(dir.File("*.*"), 0).size(), 7u);  // names without a dot too
  EXPECT_EQ(Found(dir.File("*"), 0), Found(dir.File("*.*"), 0));
  EXPECT_EQ(Found(dir.File("*.bmp"), 0), (Names{"B.BMP", "a.bmp", "\xFF\xFE.bmp"}));
  EXPECT_EQ(Found(dir.File("?.bmp"), 0), (Names{"B.BMP", "a.bmp"}));
  EXPECT_EQ(Found(dir.File("??.bmp"), 0), (Names{"\xFF\xFE.bmp"}));  // '?' is one byte
  EXPECT_EQ(Found(dir.File("\xFF*"), 0), (Names{"\xFF\xFE.bmp"}));
  EXPECT_EQ(Found(dir.File("a*b*c"), 0), (Names{"aXbXc"}));
  EXPECT_EQ(Found(dir.File("NOEXT"), 0), (Names{"noext"}));
  EXPECT_EQ(Found(dir.File("*.bm"), 0), Names{});
  // No match, an empty mask, a zero byte: nothing found, the record closed.
  for (const std::string& path : {dir.File("*.gif"), dir.Path(), dir.File("a.bmp") + std::string(1, '\0')}) {
    TSearchRec rec;
    EXPECT_EQ(FindFirst(path, faAnyFile, rec), ENOENT);
    EXPECT_EQ(FindNext(rec), EBADF);
  }
  // A mask alone searches the working folder.
  const auto working = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  EXPECT_EQ(Found("b.bmp", 0), (Names{"B.BMP"}));
  std::filesystem::current_path(working);
}

TEST(FileSearch, AttributesChooseTheEntriesAndDescribeThem) {
  TempDir dir;
  WriteTextFile(dir.File("file"), "12345");
  WriteTextFile(dir.File(".hidden"), "x");
  WriteTextFile(dir.File("fixed"), "x");
  std::filesystem::create_directories(dir.File("sub/.inner"));
  ASSERT_EQ(chmod(dir.File("fixed").c_str(), 0444), 0);
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("file", dir.File("link").c_str()), 0);
  ASSERT_EQ(symlink("gone", dir.File("dangling").c_str()), 0);
  const std::string all = dir.File("*.*");
  EXPECT_EQ(Found(all, 0), (Names{"file", "fixed", "link"}));
  EXPECT_EQ(Found(all, faDirectory), (Names{".", "..", "file", "fixed", "link", "sub"}));
  EXPECT_EQ(Found(all, faHidden), (Names{".hidden", "file", "fixed", "link"}));
  EXPECT_EQ(Found(all, faSysFile), (Names{"file", "fixed", "link", "pipe"}));
  EXPECT_EQ(Found(dir.File("sub/*"), faDirectory | faHidden), (Names{".", "..", ".inner"}));

  struct stat st {};
  ASSERT_EQ(stat(dir.File("file").c_str(), &st), 0);
  TSearchRec rec;
  for (int found = FindFirst(all, faAnyFile, rec); found == 0; found = FindNext(rec)) {
    SCOPED_TRACE(rec.Name);
    const int expected = rec.Name == ".hidden" ? faHidden
                         : rec.Name == "fixed" ? faReadOnly
                         : rec.Name == "pipe"  ? faSysFile
                         : rec.Name == "sub" || rec.Name == "." || rec.Name == ".." ? faDirectory
                                                                                    : 0;
    EXPECT_EQ(rec.Attr, expected);
    if (rec.Name == "file" || rec.Name == "link") {  // a link tells of what it leads to
      EXPECT_EQ(rec.Size, 5);
      EXPECT_EQ(rec.Time, st.st_mtim.tv_sec);
      EXPECT_EQ(rec.Device, st.st_dev);
      EXPECT_EQ(rec.Inode, st.st_ino);
    }
    if (rec.Name == "sub") {
      EXPECT_EQ(rec.Size, 0);
    }
  }
}

TEST(FileSearch, FoldersAndEntriesThatVanish) {
  TempDir dir;
  int result = 0;
  EXPECT_TRUE(Found(dir.File("missing/*"), faAnyFile, &result).empty());
  EXPECT_EQ(result, ENOENT);
  WriteTextFile(dir.File("plain"), "x");
  EXPECT_TRUE(Found(dir.File("plain/*"), faAnyFile, &result).empty());
  EXPECT_EQ(result, ENOTDIR);
  // Entries removed after the search began are passed over, and a folder
  // removed under an open search ends it.
  std::filesystem::create_directories(dir.File("going"));
  for (int i = 0; i < 200; ++i) WriteTextFile(dir.File("going/f" + std::to_string(i)), "x");
  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir.File("going/*"), faAnyFile & ~faDirectory, rec), 0);
  const std::string first = rec.Name;
  std::filesystem::remove_all(dir.File("going"));
  int found = 0;
  while ((found = FindNext(rec)) == 0) ADD_FAILURE() << rec.Name << " after " << first;
  EXPECT_EQ(found, ENOENT);
}

TEST(FileSearch, CloseIsSafeAtAnyTimeAndARecordOwnsOneSearch) {
  TempDir dir;
  WriteTextFile(dir.File("a"), "x");
  auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFiles();
  TSearchRec never;
  FindClose(never);  // never opened
  EXPECT_EQ(FindNext(never), EBADF);
  {
    TSearchRec rec;
    ASSERT_EQ(FindFirst(dir.File("*"), 0, rec), 0);
    ASSERT_EQ(FindFirst(dir.File("*"), 0, rec), 0);  // the first search is closed
    TSearchRec moved = std::move(rec);
    EXPECT_EQ(FindNext(moved), ENOENT);
    EXPECT_EQ(FindNext(rec), EBADF);
    FindClose(moved);
    FindClose(moved);  // already closed
    ASSERT_EQ(FindFirst(dir.File("*"), 0, moved), 0);
  }  // a record that goes closes its search
  EXPECT_EQ(openFiles(), before);
}
