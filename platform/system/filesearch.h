// Directory search: FindFirst opens a search on a folder and a name mask and
// gives the first entry that fits, FindNext the next one, FindClose ends the
// search. Entries come in the order the folder holds them; names are the
// bytes the file system holds (nothing is decoded).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Entry attributes. A name beginning with '.' is hidden; an entry that is
// neither a folder nor a regular file (a pipe, a socket, a device) is a
// system entry; an entry nobody may write to is read-only. Links are
// followed: a link has the attributes of what it leads to. Volume labels and
// the archive bit do not exist here and are never set.
constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

struct TSearchHandle;

// One entry found, and the search it came from. A record owns its search:
// it can be moved but not copied, and a search still open when the record
// goes is closed.
class TSearchRec {
 public:
  TSearchRec();
  TSearchRec(TSearchRec&&) noexcept;
  TSearchRec& operator=(TSearchRec&&) noexcept;
  TSearchRec(const TSearchRec&) = delete;
  TSearchRec& operator=(const TSearchRec&) = delete;
  ~TSearchRec();

  std::string Name;  // the entry's name, without the folder
  int Attr = 0;      // fa... flags
  int64_t Size = 0;  // bytes of a file; 0 for a folder
  int64_t Time = 0;  // last change of the content, seconds since 1970-01-01 UTC
  // Which object the entry is (a link: the object it leads to); two entries
  // with the same pair are the same file or folder.
  uint64_t Device = 0;
  uint64_t Inode = 0;

 private:
  friend int FindFirst(const std::string&, int, TSearchRec&);
  friend int FindNext(TSearchRec&);
  friend void FindClose(TSearchRec&);
  std::unique_ptr<TSearchHandle> FindHandle;
};

// Starts a search on path, a folder and a mask ("/pictures/*.*"; a mask
// alone searches the working folder). In the mask '*' stands for any run of
// bytes and '?' for one byte; ASCII letters match without regard to case,
// and "*.*" matches every name, with a dot or without. Folders, hidden and
// system entries are returned only when attr asks for them (faDirectory,
// faHidden, faSysFile); other entries always. "." and ".." are folders like
// any other. An entry that vanishes before it is looked at, or a link that
// leads nowhere, is passed over.
// Answers 0 and the first entry in rec, or an error number (ENOENT when no
// entry fits, the system's reason when the folder cannot be read) and rec
// closed. A search rec still held is closed first.
int FindFirst(const std::string& path, int attr, TSearchRec& rec);
// The next entry: 0 and the entry in rec, or ENOENT when there is none (the
// search stays open until FindClose), EBADF when rec holds no search.
int FindNext(TSearchRec& rec);
// Ends the search; nothing for a record never opened or already closed.
void FindClose(TSearchRec& rec);
