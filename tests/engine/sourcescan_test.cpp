// The source scan: which entries count as pictures, their order, and walks
// over trees with links and pipes.
#include "engine/sourcescan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/testsupport.h"

namespace {

// Paths of a scan, relative to root.
std::vector<std::string> Scan(const std::string& root, bool subfolders, const TSourceTypes& types = {}) {
  TStringList files;
  ScanSourceFolder(root, subfolders, types, files);
  std::vector<std::string> relative;
  for (int i = 0; i < files.Count(); ++i) {
    EXPECT_EQ(files[i].compare(0, root.size(), root), 0) << files[i];
    relative.push_back(files[i].substr(root.size()));
  }
  return relative;
}

// Makes the folders (names ending in '/') and small files in dir.
void Make(const TempDir& dir, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    name.back() == '/' ? void(std::filesystem::create_directories(dir.File(name)))
                       : WriteTextFile(dir.File(name), "x");
}

using Names = std::vector<std::string>;

}  // namespace

TEST(SourceScan, ExtensionsFollowTheirTypeFlags) {
  const TSourceTypes all;
  for (const char* name : {"PHOTO.JPG", "a.Jpeg", "f.EMF", "x.y.png"})
    EXPECT_TRUE(IsSourcePictureName(name, all)) << name;
  for (const char* name : {"scan.tif", "x.jpg.bak", "jpg", "photo.jpg~", ""})
    EXPECT_FALSE(IsSourcePictureName(name, all)) << name;

  // Each flag admits its own extensions; ".jpeg" goes with jpg.
  TSourceTypes noJpg;
  noJpg.Jpg = false;
  EXPECT_FALSE(IsSourcePictureName("a.jpeg", noJpg));
  EXPECT_TRUE(IsSourcePictureName("a.bmp", noJpg));
  TSourceTypes onlyWmf{false, false, false, false, false, false, true};
  EXPECT_FALSE(IsSourcePictureName("a.emf", onlyWmf));
}

TEST(SourceScan, BreadthFirstWithSubfoldersAndOwnFolderOnlyWithout) {
  TempDir dir;
  // root {a.bmp, S1 {b.bmp, S3 {d.bmp, S4 {e.png}}}, S2 {c.bmp}}
  Make(dir, {"S1/S3/S4/", "S2/", "a.bmp", "S1/b.bmp", "S1/S3/d.bmp", "S1/S3/S4/e.png", "S2/c.bmp", "S2/readme.txt"});
  EXPECT_EQ(Scan(dir.Path(), true), (Names{"a.bmp", "S1/b.bmp", "S2/c.bmp", "S1/S3/d.bmp", "S1/S3/S4/e.png"}));
  EXPECT_EQ(Scan(dir.Path(), false), (Names{"a.bmp"}));
  // The folder text may come without its trailing slash.
  EXPECT_EQ(Scan(ExcludeTrailingPathDelimiter(dir.Path()), false).size(), 1u);
}

TEST(SourceScan, ThreeLevelsFolderByFolderBreadthFirst) {
  TempDir dir;
  // Three levels below the root, several folders on each, pictures in every
  // folder. The names are chosen so that each wrong walk gives another
  // order: depth first, a folder's pictures after those of its
  // sub-folders, sub-folders by byte order (capitals first) or in reverse,
  // or a level sorted as a whole instead of grouped by parent (by name the
  // second level would run m, X, y, zz and the third c, deep, k).
  Make(dir, {"a/X/deep/", "a/y/", "B/m/c/", "B/m/k/", "C/", "empty/zz/",
             // the root
             "r2.png", "R1.bmp",
             // level 1 (the folder "empty" holds no picture)
             "a/a1.bmp", "B/b1.gif", "B/B0.jpg", "C/c1.jpg",
             // level 2
             "a/X/x2.bmp", "a/X/X1.bmp", "a/y/y1.bmp", "B/m/m1.bmp", "empty/zz/z1.bmp",
             // level 3
             "a/X/deep/d1.bmp", "B/m/c/c1.ico", "B/m/k/k1.png"});
  EXPECT_EQ(Scan(dir.Path(), true),
            (Names{"R1.bmp", "r2.png",                                   //
                   "a/a1.bmp", "B/B0.jpg", "B/b1.gif", "C/c1.jpg",        //
                   "a/X/X1.bmp", "a/X/x2.bmp", "a/y/y1.bmp", "B/m/m1.bmp", "empty/zz/z1.bmp",  //
                   "a/X/deep/d1.bmp", "B/m/c/c1.ico", "B/m/k/k1.png"}));
}

TEST(SourceScan, NamesSortWithoutRegardToCaseBytesBreakingTies) {
  TempDir dir;
  Make(dir, {"b.jpg", "a.jpg", "C.jpg", "A.jpg", "_x.jpg", "B10.png", "b2.png"});
  // Letters fold to lower case, so '_' (0x5F) sorts before them.
  EXPECT_EQ(Scan(dir.Path(), false), (Names{"_x.jpg", "A.jpg", "a.jpg", "b.jpg", "B10.png", "b2.png", "C.jpg"}));
  Make(dir, {"sub/Zed/", "sub/alpha/", "sub/Zed/z.bmp", "sub/alpha/a.bmp"});
  auto all = Scan(dir.Path(), true);
  ASSERT_EQ(all.size(), 9u);
  EXPECT_EQ(all[7], "sub/alpha/a.bmp");
  EXPECT_EQ(all[8], "sub/Zed/z.bmp");
}

TEST(SourceScan, OnlyVisibleRegularFilesAreListed) {
  TempDir dir;
  // A folder with a picture's name, a pipe, hidden files and folders.
  Make(dir, {"ok.jpg", "dir.jpg/", "dir.jpg/inner.gif", ".hidden.jpg", ".cache/", ".cache/thumb.png"});
  ASSERT_EQ(mkfifo(dir.File("pipe.jpg").c_str(), 0600), 0);
  // A link to a picture is listed under its own name; a dangling one is not.
  ASSERT_EQ(symlink("ok.jpg", dir.File("link.jpg").c_str()), 0);
  ASSERT_EQ(symlink("gone.jpg", dir.File("dangling.jpg").c_str()), 0);
  EXPECT_EQ(Scan(dir.Path(), false), (Names{"link.jpg", "ok.jpg"}));
  EXPECT_EQ(Scan(dir.Path(), true), (Names{"link.jpg", "ok.jpg", "dir.jpg/inner.gif"}));
}

TEST(SourceScan, LinksAreFollowedButEachFolderIsWalkedOnce) {
  TempDir dir;
  Make(dir, {"pics/deep/", "top.png", "pics/p.png", "pics/deep/d.png"});
  // A link to the root, one to its own folder and one to a folder that is
  // also reached the ordinary way.
  ASSERT_EQ(symlink("..", dir.File("pics/up").c_str()), 0);
  ASSERT_EQ(symlink(".", dir.File("pics/deep/self").c_str()), 0);
  ASSERT_EQ(symlink("pics/deep", dir.File("shortcut").c_str()), 0);
  // The link is a first-level folder, so the deep folder is reached through
  // it before "pics/deep" comes up at the second level.
  EXPECT_EQ(Scan(dir.Path(), true), (Names{"top.png", "pics/p.png", "shortcut/d.png"}));

  // A chosen folder that is itself a link is walked too.
  TempDir other;
  ASSERT_EQ(symlink(dir.File("pics").c_str(), other.File("into").c_str()), 0);
  EXPECT_EQ(Scan(other.File("into/"), true), (Names{"p.png", "deep/d.png", "up/top.png"}));
}

TEST(SourceScan, FoldersThatCannotBeReadAddNothing) {
  TempDir dir;
  EXPECT_TRUE(Scan(dir.File("missing/"), true).empty());
  EXPECT_TRUE(Scan(dir.Path(), true).empty());
  TStringList files;
  ScanSourceFolder("", true, {}, files);
  AddFolderFiles("", {}, files);
  EXPECT_EQ(files.Count(), 0);  // an empty text is no folder, not the root
}
