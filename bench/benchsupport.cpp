#include "bench/benchsupport.h"

#include <algorithm>
#include <cmath>
#include <memory>

TBitmap& BenchPhoto() {
  static std::unique_ptr<TBitmap> picture = [] {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(BenchWidth, BenchHeight);
    uint32_t grain = 12345;
    for (int y = 0; y < BenchHeight; ++y) {
      uint8_t* row = b->ScanLine(y);
      double wy = std::sin(y / 97.0);
      for (int x = 0; x < BenchWidth; ++x) {
        grain = grain * 1664525u + 1013904223u;
        int noise = int(grain >> 28) - 8;
        double wave = 40 * std::sin(x / 61.0 + 3 * wy) * std::cos(y / 143.0);
        int base = 60 + x * 120 / BenchWidth + y * 60 / BenchHeight;
        row[3 * x] = uint8_t(std::clamp(int(base + wave) + noise, 0, 255));
        row[3 * x + 1] = uint8_t(std::clamp(int(base + 30 - wave / 2) + noise, 0, 255));
        row[3 * x + 2] = uint8_t(std::clamp(int(200 - base / 2 + wave) + noise, 0, 255));
      }
    }
    return b;
  }();
  return *picture;
}

void ReportPerMegapixel(benchmark::State& state, int64_t bytes, double fileBytes) {
  using benchmark::Counter;
  state.counters["s/MP"] = Counter(BenchMegaPixels, Counter::kIsIterationInvariantRate | Counter::kInvert);
  if (bytes) state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
  if (fileBytes) state.counters["bytes"] = fileBytes;
}
