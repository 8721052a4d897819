// Saving a text file in one step: the run's log beside the pictures, which
// replaces whatever carries its name, and the user's own files (settings,
// a log saved by hand), which are written through links (never one planted
// by someone else where others may write), keep their mode and access list
// and are refused when the user may not write them. A failure at any step,
// the sync and the close included, leaves the old file as it was and no
// temporary file.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/fileendfault.h"
#include "tests/support/nobody.h"
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

// An extended attribute's value; empty when the file has none.
std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  return std::string(value, std::max<ssize_t>(getxattr(path.c_str(), name, value, sizeof value), 0));
}

// An access list as the system keeps it: version 2, then each entry's tag
// (1 owner, 2 a user, 4 the group, 0x10 the mask, 0x20 others) and rights,
// 16 bits each, and its id, little-endian.
struct TEntry {
  unsigned Tag, Rights, Id = 0xFFFFFFFF;
};
std::string AccessList(std::initializer_list<TEntry> entries) {
  std::string list("\2\0\0\0", 4);
  for (const TEntry& entry : entries)
    for (unsigned value : {entry.Tag | entry.Rights << 16, entry.Id})
      for (int shift = 0; shift < 32; shift += 8) list += static_cast<char>(value >> shift);
  return list;
}

}  // namespace

// Both savers, whatever ends the file: a failed sync or close keeps the old
// file and leaves nothing behind, and the next save goes through.
TEST(SaveText, FailureAtTheEndOfTheFileKeepsTheOldOne) {
  for (Saver save : {&SaveTextAtomically, &SaveUserTextFile}) {
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

TEST(SaveText, UserFileIsWrittenThroughItsLinks) {
  TempDir dir, dotfiles;
  std::filesystem::create_directories(dotfiles.File("sub"));
  std::string error;
  // A chain: an absolute link to a relative one to the file.
  WriteTextFile(dotfiles.File("sub/brmil.dat"), "old");
  Link("sub/brmil.dat", dotfiles.File("relative"));
  Link(dotfiles.File("relative"), dir.File("brmil.dat"));
  ASSERT_TRUE(SaveUserTextFile(dir.File("brmil.dat"), "[Target]\n", &error)) << error;
  EXPECT_EQ(ReadTextFile(dotfiles.File("sub/brmil.dat")), "[Target]\n");
  EXPECT_TRUE(S_ISLNK(Lstat(dir.File("brmil.dat")).st_mode));
  EXPECT_TRUE(S_ISLNK(Lstat(dotfiles.File("relative")).st_mode));
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"brmil.dat"});
  EXPECT_EQ(FolderEntries(dotfiles.File("sub")), std::vector<std::string>{"brmil.dat"});

  // A link to nothing makes the file it names, in that file's folder.
  Link("../" + ExtractFileName(ExcludeTrailingPathDelimiter(dotfiles.Path())) + "/new.conf", dir.File("key.conf"));
  ASSERT_TRUE(SaveUserTextFile(dir.File("key.conf"), "made", &error)) << error;
  EXPECT_EQ(ReadTextFile(dotfiles.File("new.conf")), "made");
  EXPECT_TRUE(S_ISLNK(Lstat(dir.File("key.conf")).st_mode));
  EXPECT_EQ(ModeOf(dotfiles.File("new.conf")), NewFileMode());

  // Links that end nowhere a file can be: nothing is made anywhere.
  Link(dotfiles.File("missing/x.conf"), dir.File("no-folder"));
  Link("loop-b", dir.File("loop-a"));
  Link("loop-a", dir.File("loop-b"));
  Link(dotfiles.File("sub"), dir.File("to-folder"));
  Link(dotfiles.File("sub/"), dir.File("to-folder-slash"));
  const std::pair<const char*, const char*> refused[] = {{"no-folder", "No such file or directory"},
                                                         {"loop-a", "Too many levels of symbolic links"},
                                                         {"to-folder", "Is a directory"},
                                                         {"to-folder-slash", "Invalid file name"}};
  const auto before = FolderEntries(dir.Path());
  for (auto [name, reason] : refused) {
    EXPECT_FALSE(SaveUserTextFile(dir.File(name), "x", &error)) << name;
    EXPECT_EQ(error, "Cannot save \"" + dir.File(name) + "\". " + reason);
  }
  EXPECT_EQ(FolderEntries(dir.Path()), before);
  EXPECT_EQ(FolderEntries(dotfiles.Path()), (std::vector<std::string>{"new.conf", "relative", "sub"}));
  EXPECT_EQ(FolderEntries(dotfiles.File("sub")), std::vector<std::string>{"brmil.dat"});
}

TEST(SaveText, UserFileKeepsItsModeAndOwner) {
  TempDir dir;
  const std::string file = dir.File("saved.txt");
  std::string error;
  // A new file as any new file; a replaced one keeps what it had, a private
  // one stays private, also through a link.
  ASSERT_TRUE(SaveUserTextFile(file, "1", &error)) << error;
  EXPECT_EQ(ModeOf(file), NewFileMode());
  Link("saved.txt", dir.File("link"));
  for (mode_t mode : {0600, 0640, 0664, 0604}) {
    ASSERT_EQ(chmod(file.c_str(), mode), 0);
    ASSERT_TRUE(SaveUserTextFile(mode == 0640 ? dir.File("link") : file, std::to_string(mode), &error)) << error;
    EXPECT_EQ(ModeOf(file), mode);
    EXPECT_EQ(ReadTextFile(file), std::to_string(mode));
  }
  // Another user's file that root saves keeps its owner.
  if (geteuid() == 0) {
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(SaveUserTextFile(file, "root's", &error)) << error;
    struct stat st = Lstat(file);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"link", "saved.txt"}));
}

// A file the user may not write stays as it is, even in a folder where the
// user could make a new file in its place; so does anything that is no
// plain file.
TEST(SaveText, UserFileThatMayNotBeWrittenIsRefused) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
  const std::string file = dir.File("fixed.txt");
  WriteTextFile(file, "fixed");
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  Link("fixed.txt", dir.File("link"));
  std::string error;
  for (const char* name : {"fixed.txt", "link"}) {
    TFileAccessOfNobody nobody;
    EXPECT_FALSE(SaveUserTextFile(dir.File(name), "changed", &error)) << name;
    EXPECT_EQ(error, "Cannot save \"" + dir.File(name) + "\". Permission denied");
  }
  EXPECT_EQ(ReadTextFile(file), "fixed");
  EXPECT_EQ(ModeOf(file), 0444u);
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0666), 0);
  EXPECT_FALSE(SaveUserTextFile(dir.File("pipe"), "x", &error));
  EXPECT_EQ(error, "Cannot save \"" + dir.File("pipe") + "\". Not a plain file");
  EXPECT_TRUE(S_ISFIFO(Lstat(dir.File("pipe")).st_mode));
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"fixed.txt", "link", "pipe"}));
}

// A link someone else planted where others may write (a sticky folder, one
// open to a group) is never followed, at the name, as a folder on the way or
// at a later hop of the user's own link, and nothing is written where it
// points; the folder owner's links are, and any link in an owner-only folder.
TEST(SaveText, UserFileNeverFollowsALinkPlantedWhereOthersMayWrite) {
  if (geteuid() != 0) GTEST_SKIP() << "links of another user are made by root";
  for (auto [mode, owner, followed] :
       {std::tuple{01777, 0, false}, {0770, 0, false}, {0755, 0, true}, {01777, 65534, true}}) {
    TempDir shared, mine;
    WriteTextFile(mine.File("precious"), "keep");
    for (auto [name, target] :
         {std::pair{"file", mine.File("precious")}, {"dangling", mine.File("made")}, {"folder", mine.Path()}}) {
      Link(target, shared.File(name));
      ASSERT_EQ(lchown(shared.File(name).c_str(), 65534, 65534), 0);
    }
    Link(shared.File("file"), mine.File("hop"));
    ASSERT_EQ(chown(shared.Path().c_str(), owner, owner), 0);
    ASSERT_EQ(chmod(shared.Path().c_str(), mode), 0);
    for (const std::string& path :
         {shared.File("file"), shared.File("dangling"), shared.File("folder/precious"), mine.File("hop")}) {
      std::string error;
      SaveUserTextFile(path, "changed", &error);
      EXPECT_EQ(error, followed ? "" : "Cannot save \"" + path + "\". A link of another user in a folder that "
                                       "others may write is not followed");
    }
    EXPECT_EQ(FolderEntries(mine.Path()), (followed ? std::vector<std::string>{"hop", "made", "precious"}
                                                    : std::vector<std::string>{"hop", "precious"}));
    EXPECT_EQ(ReadTextFile(mine.File("precious")), followed ? "changed" : "keep");
  }
}

// A saved file keeps its access list and the user's own attributes.
TEST(SaveText, UserFileKeepsItsAccessList) {
  TempDir dir;
  const std::string file = dir.File("shared.txt");
  WriteTextFile(file, "old");
  // Version 2: owner rw, user 65534 rw, group r, mask rw, others nothing.
  const std::string list("\2\0\0\0\1\0\6\0\377\377\377\377\2\0\6\0\376\377\0\0\4\0\4\0\377\377\377\377"
                         "\20\0\6\0\377\377\377\377\40\0\0\0\377\377\377\377", 44);
  if (setxattr(file.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) != 0)
    GTEST_SKIP() << "no access lists in " << dir.Path();
  const bool userAttributes = setxattr(file.c_str(), "user.origin", "scan", 4, 0) == 0;
  ASSERT_TRUE(SaveUserTextFile(file, "new", nullptr));
  EXPECT_EQ(Attribute(file, "system.posix_acl_access"), list);
  EXPECT_EQ(Attribute(file, "user.origin"), userAttributes ? "scan" : "");
}

// A saved file is never open to more people than the one it replaces. A
// user of groups 100 and 2000 saves into folders of root's group 2000: a
// group the new file cannot be given (another user's file, a folder that
// hands its own group down) gets no rights on it, its old members, now
// others, get no more than they had, and a list the folder hands down stays
// on no file that had none.
TEST(SaveText, UserFileIsNeverOpenToMoreThanTheOldOne) {
  if (geteuid() != 0) GTEST_SKIP() << "the saver and the owners are users other than the test's, whom only root can be";
  constexpr uid_t Saver = 1001, Other = 1002;
  constexpr gid_t Own = 100, Shared = 2000, Foreign = 3000;
  const std::string handedDown = AccessList({{1, 7}, {2, 6, 1003}, {4, 5}, {0x10, 7}, {0x20, 5}});
  const std::string ownList = AccessList({{1, 6}, {2, 4, 65534}, {4, 4}, {0x10, 4}, {0x20, 0}});
  const std::string othersList = AccessList({{1, 6}, {2, 6, 1003}, {4, 4}, {0x10, 6}, {0x20, 6}});
  const std::string othersListWithoutGroup = AccessList({{1, 6}, {2, 6, 1003}, {4, 0}, {0x10, 6}, {0x20, 4}});
  const struct {
    const char* Case;
    mode_t Folder;  // root's, of group Shared, with handedDown as its default list or not
    bool HandsDownList;
    uid_t Owner;  // of the old file, as the next three
    gid_t Group;
    mode_t Mode;
    std::string List, WantList;
    gid_t WantGroup;
    mode_t WantMode;
  } rows[] = {
      {"another user's file", 0775, false, Other, Shared, 0660, "", "", Shared, 0660},
      {"a group not the saver's", 0777, false, Other, Foreign, 0666, "", "", Own, 0606},
      {"a group not the saver's that its mode shuts out", 0777, false, Other, Foreign, 0606, "", "", Own, 0600},
      {"a set-group folder", 02775, false, Saver, Own, 0640, "", "", Own, 0640},
      {"a set-group folder, a group not the saver's", 02777, false, Other, Foreign, 0666, "", "", Shared, 0606},
      {"a folder's list, none of the file's", 0777, true, Saver, Own, 0640, "", "", Own, 0640},
      {"a folder's list and the file's", 0777, true, Saver, Own, 0640, ownList, ownList, Own, 0640},
      {"a list, a group not the saver's", 0777, false, Other, Foreign, 0666, othersList, othersListWithoutGroup, Own,
       0664},
  };
  auto setList = [](const std::string& path, const char* name, const std::string& list) {
    return setxattr(path.c_str(), name, list.data(), list.size(), 0) == 0;
  };
  bool withLists = true;
  for (const auto& row : rows) {
    TempDir dir;
    ASSERT_EQ(chown(dir.Path().c_str(), 0, Shared), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), row.Folder), 0);
    const std::string file = dir.File("b.log");
    WriteTextFile(file, "old");
    ASSERT_EQ(chown(file.c_str(), row.Owner, row.Group), 0);
    ASSERT_EQ(chmod(file.c_str(), row.Mode), 0);
    if ((row.HandsDownList && !setList(dir.Path(), "system.posix_acl_default", handedDown)) ||
        (!row.List.empty() && !setList(file, "system.posix_acl_access", row.List))) {
      withLists = false;
      continue;
    }
    // The save, by a process that is the saver and no one else.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const gid_t groups[] = {Own, Shared};
      std::string error = "cannot become the saver";
      const bool saved = setgroups(2, groups) == 0 && setgid(Own) == 0 && setuid(Saver) == 0 &&
                         SaveUserTextFile(file, "new", &error);
      if (!saved) std::fprintf(stderr, "%s\n", error.c_str());
      _exit(saved ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0) << row.Case;
    const struct stat st = Lstat(file);
    EXPECT_EQ(ReadTextFile(file), "new") << row.Case;
    EXPECT_EQ(st.st_uid, Saver) << row.Case;
    EXPECT_EQ(st.st_gid, row.WantGroup) << row.Case;
    EXPECT_EQ(st.st_mode & 07777, row.WantMode) << row.Case;
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), row.WantList) << row.Case;
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"b.log"}) << row.Case;
  }
  if (!withLists)
    GTEST_SKIP() << "no access lists in " << std::filesystem::temp_directory_path() << ": their rows were not run";
}
