// Feeds arbitrary bytes to the JPEG reader: loading (header) and decoding.
// The last byte also picks the decoding settings, so that scaling, the fast
// mode and grey output are fuzzed too. The only acceptable failures are the
// program's own exceptions. A decoding that takes far longer than its
// allowance of work and its pixels account for is a finding: the decoder
// counts its work so that no file can be slow. Then the data's claim is
// checked against its decoding at the loader's settings (a failed check
// aborts).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/picturefiles.h"
#include "fuzz/claimcheck.h"
#include "platform/graphics/jpeg.h"

namespace {

// A step of the decoder's count is a few nanoseconds, a pixel's output
// some more; under the sanitizers and beside other programs a decoding may
// take many times that, and a second or two besides.
constexpr double kSecondsPerStep = 100e-9, kSecondsPerPixel = 200e-9, kSecondsBeside = 2;

}  // namespace

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TJPEGImage jpeg;
  const auto start = std::chrono::steady_clock::now();
  try {
    uint8_t settings = size ? data[size - 1] : 0;
    jpeg.Scale = TJPEGScale(settings & 3);
    jpeg.Performance = TJPEGPerformance(settings >> 2 & 1);
    jpeg.Grayscale = settings >> 3 & 1;
    jpeg.LoadFromMemory(data, size);
    jpeg.DIBNeeded();
  } catch (const Exception&) {
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double pixels = double(jpeg.Width()) * jpeg.Height();
  const TJpegWork& work = jpeg.DecodingWork();
  if (seconds > kSecondsBeside + kSecondsPerStep * double(work.Allowance) + kSecondsPerPixel * pixels) {
    std::fprintf(stderr, "decoding %d x %d took %.1f s for an allowance of %lld steps\n", jpeg.Width(),
                 jpeg.Height(), seconds, static_cast<long long>(work.Allowance));
    std::abort();
  }
  // The claim of the data holds for what its reader reads.
  claimcheck::Require(claimcheck::Jpeg(data, size));
  return 0;
}
