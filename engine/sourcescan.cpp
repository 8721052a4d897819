#include "engine/sourcescan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <set>
#include <utility>
#include <vector>

#include "engine/picturefiles.h"

TSourceTypes SourceTypesOf(const TJobRecord& job) {
  TSourceTypes types;
  types.Bmp = job.SourceBmp;
  types.Jpg = job.SourceJpg;
  types.Gif = job.SourceGif;
  types.Png = job.SourcePng;
  types.Ico = job.SourceIco;
  types.Emf = job.SourceEmf;
  types.Wmf = job.SourceWmf;
  return types;
}

bool IsSourcePictureName(const std::string& name, const TSourceTypes& types) {
  const std::string ext = ExtractFileExt(name);
  switch (PictureKindOf(ext)) {
    case TPictureKind::Bmp: return types.Bmp;
    case TPictureKind::Jpeg: return types.Jpg;
    case TPictureKind::Png: return types.Png;
    case TPictureKind::Gif: return types.Gif;
    case TPictureKind::Icon: return types.Ico;
    case TPictureKind::Metafile: return SameText(ext, ".emf") ? types.Emf : types.Wmf;
    case TPictureKind::None: return false;
  }
  return false;
}

bool SourceNameLess(const std::string& a, const std::string& b) {
  int folded = CompareText(a, b);
  if (folded != 0) return folded < 0;
  // std::string compares its chars as unsigned bytes.
  return a < b;
}

namespace {

using TFolderId = std::pair<dev_t, ino_t>;

// What one folder holds: its admitted pictures and its sub-folders, both in
// name order.
struct TFolderListing {
  std::vector<std::string> Pictures;
  std::vector<std::pair<std::string, TFolderId>> Folders;
};

TFolderListing ReadFolder(const std::string& folder, const TSourceTypes& types, bool wantFolders) {
  TFolderListing listing;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return listing;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    // ".", ".." and every hidden name begin with a dot.
    if (entry->d_name[0] == '.') continue;
    names.emplace_back(entry->d_name);
  }
  std::sort(names.begin(), names.end(), SourceNameLess);
  for (const std::string& name : names) {
    bool picture = IsSourcePictureName(name, types);
    if (!picture && !wantFolders) continue;
    // Links are followed; an entry that vanished meanwhile is passed over.
    struct stat st {};
    if (fstatat(dirfd(dir), name.c_str(), &st, 0) != 0) continue;
    if (S_ISREG(st.st_mode)) {
      if (picture) listing.Pictures.push_back(folder + name);
    } else if (S_ISDIR(st.st_mode) && wantFolders) {
      listing.Folders.emplace_back(folder + name + "/", TFolderId(st.st_dev, st.st_ino));
    }
  }
  closedir(dir);
  return listing;
}

void AddAll(const std::vector<std::string>& paths, TStringList& files) {
  for (const std::string& path : paths) files.Add(path);
}

}  // namespace

void AddFolderFiles(const std::string& folder, const TSourceTypes& types, TStringList& files) {
  // No folder is no folder, not the file system's root.
  if (folder.empty()) return;
  AddAll(ReadFolder(IncludeTrailingPathDelimiter(folder), types, false).Pictures, files);
}

void ScanSourceFolder(const std::string& folder, bool includeSubfolders, const TSourceTypes& types,
                      TStringList& files) {
  if (folder.empty()) return;
  const std::string root = IncludeTrailingPathDelimiter(folder);
  if (!includeSubfolders) {
    AddFolderFiles(root, types, files);
    return;
  }
  std::set<TFolderId> walked;
  struct stat st {};
  if (stat(root.c_str(), &st) == 0) walked.insert(TFolderId(st.st_dev, st.st_ino));
  // Each folder is read once, when it is found: its pictures join the list
  // at once, its sub-folders wait in the queue until its turn comes.
  std::deque<TFolderListing> queue;
  queue.push_back(ReadFolder(root, types, true));
  AddAll(queue.back().Pictures, files);
  while (!queue.empty()) {
    TFolderListing current = std::move(queue.front());
    queue.pop_front();
    for (const auto& [path, id] : current.Folders) {
      if (!walked.insert(id).second) continue;
      queue.push_back(ReadFolder(path, types, true));
      AddAll(queue.back().Pictures, files);
    }
  }
}
