// The source scan: which files of a folder (and, when asked, of all its
// sub-folders) are pictures a job converts, in the order a run takes them.
#pragma once

#include <string>

#include "engine/jobrecord.h"
#include "platform/system/classes.h"

// The seven source-type flags of a job.
struct TSourceTypes {
  bool Bmp = true, Jpg = true, Gif = true, Png = true, Ico = true, Emf = true, Wmf = true;
};
TSourceTypes SourceTypesOf(const TJobRecord& job);

// True when the file name's extension (without regard to case) is one of
// the picture types the flags admit: ".bmp", ".jpg" and ".jpeg", ".gif",
// ".png", ".ico", ".emf", ".wmf".
bool IsSourcePictureName(const std::string& name, const TSourceTypes& types);

// Orders names as a folder listing shows them: without regard to the case
// of ASCII letters, the bytes themselves breaking ties (so the order is
// total and the same on every file system).
bool SourceNameLess(const std::string& a, const std::string& b);

// Appends folder + name for every admitted picture of the one folder, in
// name order. Only regular files count (a link to one included); names
// beginning with "." are hidden and left out. A folder that cannot be read
// adds nothing, and so does an empty folder text. folder ends with '/'.
void AddFolderFiles(const std::string& folder, const TSourceTypes& types, TStringList& files);

// Appends the pictures of folder and, when includeSubfolders is set, of
// every folder below it, breadth-first: the folder's own pictures, then
// those of its sub-folders in name order, then of their sub-folders grouped
// by parent, and so on. Links to folders are followed, but each folder
// (device and inode) is walked once, so a link back to a folder above ends
// the walk instead of repeating it. Hidden folders are not entered. The
// list is not emptied first.
void ScanSourceFolder(const std::string& folder, bool includeSubfolders, const TSourceTypes& types,
                      TStringList& files);
