#include "bench/effects/effectbench.h"

#include <benchmark/benchmark.h>

TBitmap& BenchPicture() {
  static TBitmap* picture = [] {
    auto* b = new TBitmap;
    b->SetPixelFormat(pf24bit);
    b->SetSize(4000, 3000);
    for (int y = 0; y < 3000; ++y) {
      uint8_t* row = b->ScanLine(y);
      for (int x = 0; x < 4000; ++x) {
        bool block = ((x / 250) + (y / 250)) % 2;
        row[3 * x] = static_cast<uint8_t>(x * 255 / 3999);
        row[3 * x + 1] = static_cast<uint8_t>(y * 255 / 2999 ^ ((x * 31 + y * 17) & 7));
        row[3 * x + 2] = static_cast<uint8_t>(block ? 200 : 40 + ((x + y) & 31));
      }
    }
    return b;
  }();
  return *picture;
}

int RegisterEffect(const char* name, std::function<void(TBitmap&)> effect) {
  benchmark::RegisterBenchmark(name, [effect](benchmark::State& state) {
    TBitmap& source = BenchPicture();
    for (auto _ : state) {
      state.PauseTiming();
      TBitmap picture;
      picture.Assign(&source);
      state.ResumeTiming();
      effect(picture);
    }
    double megapixels = source.Width() * static_cast<double>(source.Height()) / 1e6;
    state.counters["ms/MP"] = benchmark::Counter(
        megapixels / 1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  })->Unit(benchmark::kMillisecond);
  return 0;
}
