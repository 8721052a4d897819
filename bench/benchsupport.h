// What the benchmarks share: a 12-megapixel photo-like picture and the way
// figures are reported (time per megapixel).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "platform/graphics/graphics.h"

constexpr int BenchWidth = 4000, BenchHeight = 3000;
constexpr double BenchMegaPixels = BenchWidth * BenchHeight / 1e6;

// A 24-bit picture of smooth gradients, soft waves and a little grain,
// textured like a photo, neither flat (which compresses to nothing) nor pure
// noise; each seed gives another.
std::unique_ptr<TBitmap> MakeBenchPhoto(int width, int height, uint32_t seed = 12345);
// The one of 4000 x 3000, made once.
TBitmap& BenchPhoto();

// Reports seconds per megapixel of the picture; with bytes, also the bytes
// processed per second; with fileBytes, the size of what was written.
void ReportPerMegapixel(benchmark::State& state, int64_t bytes = 0, double fileBytes = 0);
