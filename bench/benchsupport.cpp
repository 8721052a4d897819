#include "bench/benchsupport.h"

#include <algorithm>
#include <cmath>
#include <memory>

std::unique_ptr<TBitmap> MakeBenchPhoto(int width, int height, uint32_t seed) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  uint32_t grain = seed;
  // Each seed moves the waves a little.
  const double phase = (seed - 12345u) % 97 * 0.37;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b->ScanLine(y);
    double wy = std::sin(y / 97.0 + phase);
    for (int x = 0; x < width; ++x) {
      grain = grain * 1664525u + 1013904223u;
      int noise = int(grain >> 28) - 8;
      double wave = 40 * std::sin(x / 61.0 + 3 * wy) * std::cos(y / 143.0);
      int base = 60 + x * 120 / width + y * 60 / height;
      row[3 * x] = uint8_t(std::clamp(int(base + wave) + noise, 0, 255));
      row[3 * x + 1] = uint8_t(std::clamp(int(base + 30 - wave / 2) + noise, 0, 255));
      row[3 * x + 2] = uint8_t(std::clamp(int(200 - base / 2 + wave) + noise, 0, 255));
    }
  }
  return b;
}

TBitmap& BenchPhoto() {
  static std::unique_ptr<TBitmap> picture = MakeBenchPhoto(BenchWidth, BenchHeight);
  return *picture;
}

void ReportPerMegapixel(benchmark::State& state, int64_t bytes, double fileBytes) {
  using benchmark::Counter;
  state.counters["s/MP"] = Counter(BenchMegaPixels, Counter::kIsIterationInvariantRate | Counter::kInvert);
  if (bytes) state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
  if (fileBytes) state.counters["bytes"] = fileBytes;
}
