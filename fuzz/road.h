// The whole road of one source file in a run, for the road fuzz target and
// the replay of its findings: fuzzed bytes under a fuzzed file name go
// through the loader, the conversion to 24 bits, one effect and the writer
// of one target format with fuzzed options, lower-case names on.
// Input: [kind] [target] [effect] [parameter] [name length] name... data...
// Checked after every road: the file's claim is readable when the loader
// reads it, and of the size of the picture it places; nothing escapes the
// per-file step; nothing lies outside the target folder; the file that held the first free name
// before the run is untouched; a file logged as written exists, has a plain
// name and reads back as a picture with pixels.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/jobmembers.h"
#include "engine/picturefiles.h"
#include "engine/recordingview.h"

namespace road {

inline const char* const kExtensions[] = {".bmp", ".BMP", ".jpg", ".jpeg", ".png", ".gif", ".Gif", ".ico", ".emf", ".wmf"};
inline const char* const kTargets[] = {".bmp", ".jpg", ".gif", ".png"};

inline std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A source and a target folder inside a folder of their own, kept for
// every road and emptied before each.
struct Folders {
  std::string Outer, Source, Target;
  Folders() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/brightmill-road-XXXXXX";
    Outer = std::string(mkdtemp(pattern.data())) + "/";
    Source = Outer + "source/";
    Target = Outer + "target/";
    CreateDir(Source);
    CreateDir(Target);
  }
  ~Folders() { std::filesystem::remove_all(Outer); }
  void Empty() {
    for (const std::string& folder : {Source, Target})
      for (const auto& entry : std::filesystem::directory_iterator(folder)) std::filesystem::remove_all(entry);
  }
};

// The job's members from "GridStep" on: the effect parameters.
inline const std::vector<std::string>& EffectMembers() {
  static const std::vector<std::string> members = [] {
    std::vector<std::string> chosen;
    bool effects = false;
    for (const std::string& name : JobMemberNames()) {
      if (name == "GridStep") effects = true;
      if (effects) chosen.push_back(name);
    }
    return chosen;
  }();
  return members;
}

// Runs the road of one input; answers what went wrong, or "" when every
// check holds. An exception that escapes the per-file step passes on.
inline std::string Run(const uint8_t* data, size_t size) {
  if (size < 5) return "";
  RegisterPictureFormats();
  static Folders folders;
  folders.Empty();
  const uint8_t kind = data[0], target = data[1], effect = data[2], parameter = data[3];
  size_t nameLength = std::min<size_t>(data[4], size - 5);
  // A name as a file system holds it: any bytes but "/" and zero.
  std::string name(reinterpret_cast<const char*>(data + 5), nameLength);
  for (char& c : name)
    if (c == '/' || c == 0) c = '_';
  name += kExtensions[kind % std::size(kExtensions)];
  if (name.size() > 200) return "";
  const uint8_t* file = data + 5 + nameLength;
  size_t fileSize = size - 5 - nameLength;
  {
    TFileStream out(folders.Source + name, fmCreate);
    out.WriteBuffer(file, int64_t(fileSize));
  }

  {
    const TPictureClaim claim = ClaimPictureFile(folders.Source + name);
    TBitmap loaded;
    if (TJobRecord::LoadPictureToBitmap(folders.Source + name, loaded) &&
        (!claim.Readable || loaded.Width() != claim.Width || loaded.Height() != claim.Height))
      return "claimed " + std::string(claim.Readable ? "" : "unreadable ") + std::to_string(claim.Width) + " x " +
             std::to_string(claim.Height) + ", loaded " + std::to_string(loaded.Width()) + " x " +
             std::to_string(loaded.Height());
  }

  TJobRecord job(folders.Outer);
  job.LowerCaseNames = true;
  job.TargetExtension = kTargets[target & 3];
  job.JpegQuality = 1 + (target >> 2) % 100;
  job.BmpPixelFormat = TPixelFormat(1 + (target >> 2) % 6);  // pf1bit .. pf24bit
  job.GifColorReduction = TColorReduction((target >> 2) % 8);  // rmNone .. rmQuantize
  job.GifDitherMode = TDitherMode((target >> 5) % 7);
  job.GifCompression = TGIFCompression(target >> 7);
  job.GifTransparent = target & 0x10;
  job.PngInterlace = target & 0x20;
  job.PngCompressionLevel = (target >> 4) % 10;
  const std::vector<TEffectRoutine>& routines = EffectRoutines();
  const TEffectRoutine& routine = routines[effect % routines.size()];
  job.EffectName = routine.MatchesFirstFour ? "Flip (vertical)" : routine.Caption;
  job.ResizeWidth = 1 + parameter % 64;
  job.ResizeHeight = 1 + (parameter >> 2) % 64;
  const std::vector<std::string>& members = EffectMembers();
  SetJobMember(job, members[(parameter * 7u + effect) % members.size()], std::to_string(parameter % 101));

  TRecordingRunView view(job);
  TApplyEffectThread worker(view);  // never started: its steps run right here
  worker.Log = std::make_unique<TStringList>();
  worker.TargetDir = folders.Target;
  worker.SourceFiles.Add(folders.Source + name);
  worker.FileCount = 1;

  // The file that holds the first free name of the plain suffix: it must
  // stay as it is.
  const TBitmap none;
  std::string suffix = routine.SuffixFor ? routine.SuffixFor(job, none) : routine.Suffix;
  std::string taken = NewBaseName(SourceBaseName(name), suffix, job.LowerCaseNames) + "_1" + job.TargetExtension;
  bool guard = IsPlainFileName(taken);
  if (guard) {
    TFileStream out(folders.Target + taken, fmCreate);
    out.WriteBuffer("taken", 5);
  }

  worker.ProcessFile(routine);

  if (Entries(folders.Outer) != std::vector<std::string>{"source", "target"}) return "a file beside the target folder";
  if (guard && ReadWholeFile(folders.Target + taken).size() != 5) return "replaced " + taken;
  const TStringList& log = *worker.Log;
  std::vector<std::string> written;
  for (const std::string& entry : Entries(folders.Target))
    if (!guard || entry != taken) written.push_back(entry);
  bool success = false;
  for (int i = 0; i + 1 < log.Count(); ++i) {
    if (log[i].rfind("Success: ", 0) != 0) continue;
    success = true;
    std::string newName = log[i + 1].substr(std::string("New name: ").size());
    if (!IsPlainFileName(newName) || written != std::vector<std::string>{newName}) return "written as " + newName;
    TBitmap back;
    if (!TJobRecord::LoadPictureToBitmap(folders.Target + newName, back)) return newName + " does not read back";
  }
  if (!success && !written.empty()) return "a file written without success";
  return "";
}

}  // namespace road
