#include "engine/sourcescan.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "engine/picturefiles.h"
#include "platform/system/filesearch.h"

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

using TFolderId = std::pair<uint64_t, uint64_t>;  // device and inode

// What one folder holds: its admitted pictures and its sub-folders, both in
// name order, and which folder it is (known when its sub-folders are asked
// for).
struct TFolderListing {
  std::vector<std::string> Pictures;
  std::vector<std::pair<std::string, TFolderId>> Folders;
  std::optional<TFolderId> Self;
};

TFolderListing ReadFolder(const std::string& folder, const TSourceTypes& types, bool wantFolders) {
  TFolderListing listing;
  // Hidden names (those beginning with a dot) and entries that are neither
  // files nor folders are not returned; links are followed, and an entry
  // that vanished meanwhile is passed over.
  std::vector<std::string> pictures;
  std::vector<std::pair<std::string, TFolderId>> folders;
  TSearchRec rec;
  for (int found = FindFirst(folder + "*", wantFolders ? faDirectory : 0, rec); found == 0;
       found = FindNext(rec)) {
    const TFolderId id(rec.Device, rec.Inode);
    if (rec.Name == ".") listing.Self = id;
    if (rec.Name == "." || rec.Name == "..") continue;
    if (rec.Attr & faDirectory) folders.emplace_back(rec.Name, id);
    else if (IsSourcePictureName(rec.Name, types)) pictures.push_back(rec.Name);
  }
  FindClose(rec);
  std::sort(pictures.begin(), pictures.end(), SourceNameLess);
  std::sort(folders.begin(), folders.end(),
            [](const auto& a, const auto& b) { return SourceNameLess(a.first, b.first); });
  for (const std::string& name : pictures) listing.Pictures.push_back(folder + name);
  for (const auto& [name, id] : folders) listing.Folders.emplace_back(folder + name + "/", id);
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
  // Each folder is read once, when it is found: its pictures join the list
  // at once, its sub-folders wait in the queue until its turn comes.
  std::deque<TFolderListing> queue;
  queue.push_back(ReadFolder(root, types, true));
  AddAll(queue.back().Pictures, files);
  std::set<TFolderId> walked;
  if (queue.back().Self) walked.insert(*queue.back().Self);
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
