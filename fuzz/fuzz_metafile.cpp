// Reads what an EMF or placeable WMF holds for its bitmaps and the
// painter's outlines, then plays it
// through the player onto its own 32-bit surface: at the metafile's own
// size, or stretched onto the largest frame of its shape within
// kFramePixels. A drawing that takes far longer than the work it was
// charged is a finding, as is one that the fuzzer's time or memory limit
// stops (see scripts/fuzz): the bounds of a drawing let no file be slow or
// hungry.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/picturefiles.h"
#include "platform/metafile/metafile.h"

// Fontconfig, which Qt's font database loads on first use, keeps
// allocations from reading its configuration without any pointer to them;
// the leak checker is told to leave those out (only those).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// Frames of up to 2048 x 2048 pixels are drawn at their own size: the
// work a drawing may do grows with its frame, and stays within the
// fuzzer's time limit up to there.
constexpr double kFramePixels = double(1 << 22);
// A unit of work is about a nanosecond of the painter's; under the
// sanitizers and beside other programs a drawing may take many times
// that, and a second or two besides for its fonts.
constexpr double kSecondsPerWork = 20e-9, kSecondsBeside = 2;
// A bitmap's pixel decoded, which the fuzzer's coverage counters slow
// down far more than painting (a few nanoseconds in a release build).
constexpr double kSecondsPerDecodedPixel = 200e-9;
// The most work any drawing is allowed.
constexpr double kMaxWork = double(int64_t(1) << 32);

}  // namespace

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // What the run reserves for the file's bitmaps and outlines is read
  // first, as the engine reads it before loading.
  (void)MetafileBitmapBytes(data, size);
  (void)MetafileOutlineBytes(data, size);
  int width, height;
  if (!MetafileSize(data, size, &width, &height) || width <= 0 || height <= 0) return 0;
  const double scale = std::min(1.0, std::sqrt(kFramePixels / (double(width) * height)));
  width = std::max(1, int(width * scale));
  height = std::max(1, int(height * scale));
  const auto start = std::chrono::steady_clock::now();
  const std::optional<TMetafileDrawUse> use = MetafileDrawUse(data, size, width, height);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // No drawing may do more work than the ceiling, nor paint past the
  // memory its records allow.
  if (use && (use->WorkLimit > kMaxWork || (use->OutlineBytes > use->OutlineLimit && !use->Stopped))) {
    std::fprintf(stderr, "drawing past its bounds: work limit %.3g, outline %lld of %lld\n", use->WorkLimit,
                 (long long)use->OutlineBytes, (long long)use->OutlineLimit);
    std::abort();
  }
  if (use && seconds > kSecondsBeside + kSecondsPerWork * use->Work + kSecondsPerDecodedPixel * double(use->BitmapPixels)) {
    std::fprintf(stderr, "drawing %d x %d took %.1f s for %.3g work\n", width, height, seconds, use->Work);
    std::abort();
  }
  return 0;
}
