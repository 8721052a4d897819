// What every effect of the catalogue takes while it works, counted at the
// heap on every thread: on a wide strip and a tall one, at its peak it
// stays within what a run reserves for the file beside its picture
// (RoadBytes), a small multiple of the picture, and once it returns it
// holds nothing more than its result (no buffer kept for the next file).
#include <gtest/gtest.h>
#include <omp.h>

#include "effects/effectbase.h"
#include "engine/applythread.h"
#include "tests/memory/allocationcount.h"
#include "tests/support/testsupport.h"

namespace {

// The memory a picture of that size takes, as counted.
int64_t Held(int width, int height) {
  return MeasureAllocations([&] { NewUnfilledPicture(width, height); }).Peak;
}

struct TRoutineTaken {
  TAllocations Taken;
  int Width = 0, Height = 0;  // the result's size
  bool Beside = false;        // the result is a bitmap beside the picture
};

// The catalogue's row run once on the picture: what it allocated, and its
// result.
TRoutineTaken MeasureRoutine(const TEffectRoutine& routine, const TJobValues& job, const TBitmap& pattern,
                             TBitmap& picture) {
  TStringList log;
  TEffectStep step{job, picture, log, &pattern, nullptr, {}};
  TRoutineTaken outcome;
  outcome.Taken = MeasureAllocations([&] { routine.Apply(step); });
  const TBitmap& result = step.Result ? *step.Result : picture;
  outcome.Width = result.Width();
  outcome.Height = result.Height();
  outcome.Beside = step.Result != nullptr;
  return outcome;
}

}  // namespace

TEST(EffectMemory, EveryEffectWorksWithinWhatTheRunReservesAndKeepsNothing) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  // Eight threads whatever the machine has: an effect's buffers for each
  // band in work are counted as on a machine of eight cores.
  const int most = omp_get_max_threads();
  omp_set_num_threads(8);
  // The job's values, but for a resize to a larger picture, and a turn by 0
  // degrees (the default 45 make a square of the strip's length), which
  // turns through the general rotation into a new picture. Every picture
  // here stays below the size that takes huge pages, whose alignment the
  // allocator counts with a block.
  TJobValues job;
  job.ResizeScaleType = 2;
  job.ResizePercent = 120;
  job.RotateAngle = 0;
  const auto pattern = MakeNoiseBitmap(60, 60, 1);
  // Strips of some 330 000 pixels, enough for the effects' row bands.
  const std::pair<int, int> strips[] = {{8192, 40}, {40, 8192}};
  // What stays for the rest of the process (the threads of the bands, the
  // effects' constant tables) is made before anything is measured.
  for (const TEffectRoutine& routine : EffectRoutines()) {
    auto small = MakeNoiseBitmap(64, 48, 2);
    MeasureRoutine(routine, job, *pattern, *small);
  }
  {
    auto strip = MakeNoiseBitmap(strips[0].first, strips[0].second, 2);
    MeasureRoutine(*FindEffectRoutine("Gauss blur..."), job, *pattern, *strip);
  }
  // What else a returned effect may hold: the picture's canvas, its log
  // lines.
  constexpr int64_t kLeft = 4096;
  for (const TEffectRoutine& routine : EffectRoutines())
    for (auto [w, h] : strips) {
      auto picture = MakeNoiseBitmap(w, h, 7);
      const TRoutineTaken outcome = MeasureRoutine(routine, job, *pattern, *picture);
      // A result of another size counts at the larger size (the run grows
      // the file's reserve to it); the picture was there before.
      const int64_t reserved = std::max(RoadBytes(job, w, h), RoadBytes(job, outcome.Width, outcome.Height));
      const int64_t before = Held(w, h), result = Held(outcome.Width, outcome.Height);
      EXPECT_LE(before + outcome.Taken.Peak, reserved)
          << routine.Caption << " on " << w << " x " << h << ": " << double(outcome.Taken.Peak) / before
          << " pictures at its peak";
      // A result beside the picture stays for the save; one in its place
      // takes its place.
      const int64_t grown = outcome.Beside ? result : result - before;
      EXPECT_LE(outcome.Taken.Kept, grown + kLeft) << routine.Caption << " on " << w << " x " << h << " keeps "
                                                   << outcome.Taken.Kept - grown << " bytes after it returned";
    }
  omp_set_num_threads(most);
}
