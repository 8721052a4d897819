#include "bench/effects/effectbench.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include "bench/benchsupport.h"

int RegisterEffect(const char* name, std::function<void(TBitmap&)> effect) {
  benchmark::RegisterBenchmark(name, [effect](benchmark::State& state) {
    TBitmap& source = BenchPhoto();
    for (auto _ : state) {
      state.PauseTiming();
      TBitmap picture;
      picture.Assign(&source);
      state.ResumeTiming();
      effect(picture);
    }
    // The effects in row bands use this many threads (OMP_NUM_THREADS=1
    // gives the one-thread figures).
    state.counters["threads"] = omp_get_max_threads();
    state.counters["ms/MP"] = benchmark::Counter(
        BenchMegaPixels / 1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  })
      ->Unit(benchmark::kMillisecond)
      // Wall time: the effects in row bands spread their work over threads.
      ->UseRealTime();
  return 0;
}
