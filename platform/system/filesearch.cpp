#include "platform/system/filesearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/system/sysutils.h"

struct TSearchHandle {
  DIR* Dir = nullptr;
  std::string Mask;
  int Excluded = 0;  // attributes an entry must not have
  ~TSearchHandle() {
    if (Dir) closedir(Dir);
  }
};

TSearchRec::TSearchRec() = default;
TSearchRec::TSearchRec(TSearchRec&&) noexcept = default;
TSearchRec& TSearchRec::operator=(TSearchRec&&) noexcept = default;
TSearchRec::~TSearchRec() = default;

namespace {

// '*' any run of bytes, '?' one byte, letters without regard to case. On a
// mismatch the last '*' takes one byte more, so the cost stays at most
// mask length times name length.
bool MaskMatches(const std::string& mask, const std::string& name) {
  if (mask == "*.*") return true;
  size_t m = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = n;
    } else if (m < mask.size() && (mask[m] == '?' || FoldChar(mask[m]) == FoldChar(name[n]))) {
      ++m;
      ++n;
    } else if (star != std::string::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool IsHiddenName(const std::string& name) { return name[0] == '.' && name != "." && name != ".."; }

}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& rec) {
  FindClose(rec);
  // The system would read a path only up to a zero byte: such a path names
  // nothing.
  if (path.find('\0') != std::string::npos) return ENOENT;
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? path : path.substr(slash + 1);
  if (mask.empty()) return ENOENT;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return errno;
  rec.FindHandle = std::make_unique<TSearchHandle>();
  rec.FindHandle->Dir = dir;
  rec.FindHandle->Mask = mask;
  rec.FindHandle->Excluded = (faHidden | faSysFile | faVolumeID | faDirectory) & ~attr;
  int result = FindNext(rec);
  if (result != 0) FindClose(rec);
  return result;
}

int FindNext(TSearchRec& rec) {
  TSearchHandle* search = rec.FindHandle.get();
  if (!search) return EBADF;
  for (;;) {
    errno = 0;
    dirent* entry = readdir(search->Dir);
    if (!entry) return errno != 0 ? errno : ENOENT;
    const std::string name = entry->d_name;
    if ((search->Excluded & faHidden) && IsHiddenName(name)) continue;
    if (!MaskMatches(search->Mask, name)) continue;
    struct stat st {};
    if (fstatat(dirfd(search->Dir), entry->d_name, &st, 0) != 0) continue;
    int attributes = IsHiddenName(name) ? faHidden : 0;
    if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
    else if (!S_ISREG(st.st_mode)) attributes |= faSysFile;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attributes |= faReadOnly;
    if (attributes & search->Excluded) continue;
    rec.Name = name;
    rec.Attr = attributes;
    rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    rec.Time = static_cast<int64_t>(st.st_mtim.tv_sec);
    rec.Device = static_cast<uint64_t>(st.st_dev);
    rec.Inode = static_cast<uint64_t>(st.st_ino);
    return 0;
  }
}

void FindClose(TSearchRec& rec) { rec.FindHandle.reset(); }
