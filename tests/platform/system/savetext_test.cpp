// Saving a text file in one step: the run's log beside the pictures, which
// replaces whatever carries its name. A failure at any step, the sync and
// the close included, leaves the old file as it was and no temporary
// file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/fileendfault.h"
#include "tests/support/testsupport.h"

namespace {

struct stat Lstat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

mode_t ModeOf(const std::string& path) { return Lstat(path).st_mode & 07777; }

mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

void Link(const std::string& target, const std::string& link) {
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}

using Saver = bool (*)(const std::string&, const std::string&, std::string*);

}  // namespace

// Whatever ends the file, a failed sync or close keeps the old file and
// leaves nothing behind, and the next save goes through.
TEST(SaveText, FailureAtTheEndOfTheFileKeepsTheOldOne) {
  for (Saver save : {&SaveTextAtomically}) {
    TempDir dir;
    const std::string file = dir.File("log.txt");
    WriteTextFile(file, "old");
    for (TFileEndFault::TCall call : {TFileEndFault::Sync, TFileEndFault::Close}) {
      std::string error;
      {
        TFileEndFault fault(call, "log.txt");
        EXPECT_FALSE(save(file, "new", &error));
        EXPECT_EQ(fault.Failures(), 1);
      }
      EXPECT_EQ(error, "Cannot save \"" + file + "\". Input/output error");
      EXPECT_EQ(ReadTextFile(file), "old");
      EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"log.txt"});
    }
    // A full quota reported at the close.
    {
      TFileEndFault fault(TFileEndFault::Close, "", EDQUOT);
      std::string error;
      EXPECT_FALSE(save(file, "new", &error));
      EXPECT_NE(error.find("quota"), std::string::npos) << error;
    }
    EXPECT_TRUE(save(file, "new", nullptr));
    EXPECT_EQ(ReadTextFile(file), "new");
  }
}

// The run's log in a target folder that others may share: a link of its
// name is replaced itself, whatever it points to, so that nobody can send
// the log elsewhere.
TEST(SaveText, LogReplacesALinkOfItsNameNeverWhatItNames) {
  TempDir dir, elsewhere;
  WriteTextFile(elsewhere.File("precious"), "keep");
  const struct {
    const char* Name;
    std::string Target;
  } links[] = {{"to-file.txt", elsewhere.File("precious")},
               {"dangling.txt", elsewhere.File("made")},
               {"to-folder.txt", elsewhere.Path()},
               {"chain.txt", "to-file.txt"}};
  for (const auto& link : links) Link(link.Target, dir.File(link.Name));
  for (const auto& link : links) {
    std::string error;
    ASSERT_TRUE(SaveTextAtomically(dir.File(link.Name), "log", &error)) << link.Name << ": " << error;
    EXPECT_TRUE(S_ISREG(Lstat(dir.File(link.Name)).st_mode)) << link.Name;
    EXPECT_EQ(ReadTextFile(dir.File(link.Name)), "log");
    EXPECT_EQ(ModeOf(dir.File(link.Name)), NewFileMode()) << link.Name;
  }
  EXPECT_EQ(FolderEntries(elsewhere.Path()), std::vector<std::string>{"precious"});
  EXPECT_EQ(ReadTextFile(elsewhere.File("precious")), "keep");
}
