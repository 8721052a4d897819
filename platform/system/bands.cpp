#include "platform/system/bands.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer does not see how OpenMP's runtime orders the rows of a
// band with the code after it: no bands in that build.
int64_t BandThresholdPixels = INT64_MAX;
#else
int64_t BandThresholdPixels = kBandThresholdPixels;
#endif

namespace {
// A picture of the threshold's size falls into this many bands, a larger
// one into bands of the same size at least; each thread gets this many
// bands at most.
constexpr int kBandsAtThreshold = 16;
constexpr int kBandsPerThread = 16;
}  // namespace

TBands BandsOf(int count, int64_t itemPixels, int threads) {
  if (count <= 0) return {1, 0};
  const int64_t pixels = std::max<int64_t>(itemPixels, 1);
  const int64_t bandPixels = std::max<int64_t>(BandThresholdPixels / kBandsAtThreshold, 1);
  const int64_t most = int64_t(kBandsPerThread) * std::max(threads, 1);
  const int64_t size =
      std::clamp<int64_t>(std::max((bandPixels + pixels - 1) / pixels, (count + most - 1) / most), 1, count);
  return {static_cast<int>(size), static_cast<int>((count + size - 1) / size)};
}

void TBandFailures::Note(int band) noexcept {
  std::lock_guard<std::mutex> hold(FLock);
  if (band >= FBand) return;
  FBand = band;
  FFailure = std::current_exception();
}

void TBandFailures::Raise() {
  if (FFailure) std::rethrow_exception(FFailure);
}

#ifdef _OPENMP
// Threads that wait for work sleep rather than spin: on a machine whose
// cores other programs keep busy, spinning waits take the cores from the
// threads that have work, and a picture worked on more threads would come
// out later than on fewer. OpenMP's runtime reads its wait policy once,
// when it starts; it is linked into the program (CMakeLists.txt), so this
// constructor, of a higher priority, runs before the runtime's own. A
// policy the user chose stays.
__attribute__((constructor(101))) static void WaitPassively() { setenv("OMP_WAIT_POLICY", "PASSIVE", 0); }
#endif
