// Work over the rows of a picture (or any items) in bands on every core:
// OpenMP tasks inside a run's team, a team of their own outside one. Each
// band writes what no other touches, so the bytes are those of one thread
// for any number of threads.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>
#include <mutex>

#ifdef _OPENMP
#include <omp.h>
#endif

// Whether work over this many pixels is worth splitting over the cores; on
// less, waking the threads and handing out the bands would cost more than
// they save. The dialogs' previews and small pictures stay on the thread
// that calls.
extern int64_t BandThresholdPixels;
inline bool WorthBands(int64_t pixels) { return pixels >= BandThresholdPixels; }
// The threshold of a normal run: 512 x 512 pixels. Measured (bench_bands,
// eight threads): bands pay from some 60 000 pixels on for filters and
// heavier effects, in a run's team and in a team of their own; the
// lightest point operations break even near 400 000 pixels and lose some
// tens of microseconds at the threshold.
constexpr int64_t kBandThresholdPixels = int64_t(1) << 18;
// How many threads may work in row bands (1 without OpenMP): every core, or
// as many as the run works with.
inline int BandThreads() {
#ifdef _OPENMP
  return omp_get_max_threads();
#else
  return 1;
#endif
}

// How the items of a task fall into bands: Size items to a band
// (the last one may hold fewer), Count bands. A band holds some thousands of
// pixels at least, so that handing it out costs little beside its work, and
// each thread gets several bands, so that threads that come free late still
// find some.
struct TBands {
  int Size = 1, Count = 0;
};
TBands BandsOf(int count, int64_t itemPixels, int threads);

// The failure of the first band (in their order) that raised one: the bands
// run side by side, and nothing thrown may leave the thread that runs one.
class TBandFailures {
 public:
  // Inside the catch of band number band (-1 for the work beside them).
  void Note(int band) noexcept;
  // Raises the noted failure of the lowest band, if any.
  void Raise();

 private:
  std::mutex FLock;
  std::exception_ptr FFailure;
  int FBand = INT_MAX;
};

namespace bandsdetail {
// Band b of the work, its failure noted (beside's as band -1).
template <typename Band>
void RunBand(int b, int count, TBands bands, Band& band, TBandFailures& failures) noexcept {
  try {
    band(b * bands.Size, std::min(count, (b + 1) * bands.Size));
  } catch (...) {
    failures.Note(b);
  }
}
template <typename Beside>
void RunBeside(Beside& beside, TBandFailures& failures) noexcept {
  try {
    beside();
  } catch (...) {
    failures.Note(-1);
  }
}
// Inside a team (a run's): hands out the bands as tasks that any idle
// thread of the team takes up while this thread works beside(), and waits
// until all have ended, working on the bands itself meanwhile. Bands are
// tied tasks: a thread that waits for them takes up only tasks that
// descend from its own (OpenMP's scheduling rule for tied tasks), so a
// run's file never starts another file inside the wait for its bands.
template <typename Band, typename Beside>
void SpreadAsTasks(int count, TBands bands, Band& band, Beside& beside, TBandFailures& failures) {
#pragma omp taskgroup
  {
#pragma omp taskloop grainsize(1) nogroup default(none) shared(band, failures) firstprivate(count, bands)
    for (int b = 0; b < bands.Count; ++b) RunBand(b, count, bands, band, failures);
    RunBeside(beside, failures);
  }
}
// With no team around: a team of its own, one thread on beside(), the
// others (and that one when done) taking the bands in turn.
template <typename Band, typename Beside>
void SpreadInTeam(int count, TBands bands, [[maybe_unused]] int threads, Band& band, Beside& beside,
                  TBandFailures& failures) {
#pragma omp parallel num_threads(threads) default(none) shared(band, beside, failures) firstprivate(count, bands)
  {
#pragma omp single nowait
    RunBeside(beside, failures);
#pragma omp for schedule(dynamic, 1) nowait
    for (int b = 0; b < bands.Count; ++b) RunBand(b, count, bands, band, failures);
  }
}
}  // namespace bandsdetail

// Calls band(first, last) for ranges of the items 0..count-1, items of
// itemPixels pixels each, and beside() once, side by side when they are
// worth it: in a run, as tasks that any idle thread of the run takes up
// (the run's files and their effects share one team of threads); with no
// team around (the dialogs, tests, benchmarks), in a team of its own. Only
// for work whose every item depends on what no other item (nor beside)
// writes, and writes its own rows (or its own part of a result): the pixels
// come out the same as on one thread. A failure raised inside is raised
// again once all have ended: beside's first, else the lowest range's.
template <typename Band, typename Beside>
void ForEachBandBeside(int count, int64_t itemPixels, Band band, Beside beside) {
  const int threads = BandThreads();
  const TBands bands = BandsOf(count, itemPixels, threads);
  if (bands.Count < 2 || threads < 2 || !WorthBands(int64_t(count) * itemPixels)) {
    beside();
    if (count > 0) band(0, count);
    return;
  }
  TBandFailures failures;
#ifdef _OPENMP
  if (omp_in_parallel())
    bandsdetail::SpreadAsTasks(count, bands, band, beside, failures);
  else
#endif
    bandsdetail::SpreadInTeam(count, bands, threads, band, beside, failures);
  failures.Raise();
}
template <typename Band>
void ForEachBand(int count, int64_t itemPixels, Band band) {
  ForEachBandBeside(count, itemPixels, band, [] {});
}
// Calls f(y) for every row y, rows of rowPixels pixels each, in bands as
// ForEachBand.
template <typename F>
void ForEachRowInBands(int rows, int64_t rowPixels, F f) {
  ForEachBand(rows, rowPixels, [&f](int first, int last) {
    for (int y = first; y < last; ++y) f(y);
  });
}
