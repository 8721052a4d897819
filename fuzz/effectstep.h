// One effect step of a run on a small picture of odd size (1 to 48 pixels
// a side) with odd parameters, as the engine calls it for one file (the
// size-bound parameters limited and logged); for the effects fuzz target
// and the replay of its findings. Input: [effect] [width] [height]
// [24 parameter bytes] then pixel bytes. Parameters go to the job's effect
// members, each byte as a value from -8 to 247.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/jobmembers.h"
#include "engine/recordingview.h"
#include "fuzz/road.h"

namespace effectstep {

constexpr size_t kParameterBytes = 24;

// Runs the step; the program's own exceptions pass on, as they do to the
// per-file step. Answers what went wrong with the picture that came out, or
// "" when nothing did.
inline std::string Run(const uint8_t* data, size_t size) {
  if (size < 3 + kParameterBytes) return "";
  static TJobRecord job("/nonexistent/");
  const std::vector<std::string>& members = road::EffectMembers();
  const std::vector<TEffectRoutine>& routines = EffectRoutines();
  const TEffectRoutine& routine = routines[data[0] % routines.size()];
  // Plain conversion has no step; Resize goes the whole road.
  if (!routine.Apply || routine.KeepsLoadedFormat) return "";
  const int width = 1 + data[1] % 48, height = 1 + data[2] % 48;
  const uint8_t* parameters = data + 3;
  for (size_t i = 0; i < members.size(); ++i)
    SetJobMember(job, members[i], std::to_string(int(parameters[(i * 5) % kParameterBytes] ^ (i & 0xFF)) - 8));

  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(width, height);
  const uint8_t* pixels = data + 3 + kParameterBytes;
  size_t count = size - 3 - kParameterBytes;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < 3 * width; ++x) row[x] = count ? pixels[(size_t(y) * 3 * width + x) % count] : 0;
  }
  TStringList log;
  TEffectStep step{job, picture, log, job.WatermarkBitmap.get(), nullptr, {}};
  routine.Apply(step);
  if (picture.PixelFormat() != pf24bit || picture.Width() <= 0 || picture.Height() <= 0)
    return routine.Caption + " left a " + std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()) +
           " picture of format " + std::to_string(int(picture.PixelFormat()));
  return "";
}

}  // namespace effectstep
