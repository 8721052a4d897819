// Every effect step of a run on small pictures of odd sizes (1 to 48 pixels
// a side) with odd parameters, as the engine calls it for one file (the
// size-bound parameters limited and logged). Input: [effect] [width]
// [height] [parameter bytes ...] then pixel bytes. Parameters go to the
// job's effect members in order, each byte as a value from -8 to 247; only
// the program's own exceptions may come out, and a picture that comes out
// is 24-bit with pixels.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/jobmembers.h"
#include "engine/picturefiles.h"
#include "engine/recordingview.h"

namespace {

// The job's members from "GridStep" on: the effect parameters.
const std::vector<std::string>& EffectMembers() {
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

constexpr size_t kParameterBytes = 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 + kParameterBytes) return 0;
  static TJobRecord job("/nonexistent/");
  static const std::vector<std::string> members = EffectMembers();
  const std::vector<TEffectRoutine>& routines = EffectRoutines();
  const TEffectRoutine& routine = routines[data[0] % routines.size()];
  if (!routine.Apply) return 0;  // plain conversion; Resize goes the whole road in fuzz_road
  const int width = 1 + data[1] % 48, height = 1 + data[2] % 48;
  // Each parameter byte sets the member it lands on; the effect picks its
  // own members among them by their place.
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
  TEffectStep step{job, picture, log};
  try {
    routine.Apply(step);
  } catch (const Exception&) {
    return 0;
  }
  if (picture.PixelFormat() != pf24bit || picture.Width() <= 0 || picture.Height() <= 0) {
    std::fprintf(stderr, "%s left a %d x %d picture of format %d\n", routine.Caption.c_str(), picture.Width(),
                 picture.Height(), int(picture.PixelFormat()));
    std::abort();
  }
  return 0;
}
