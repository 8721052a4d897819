// Speed of the picture codecs on a 12-megapixel photo-like picture: BMP
// writing and reading, JPEG encoding at quality 90 and decoding. Each
// benchmark reports seconds per megapixel (s/MP) and the bytes it moves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/jpeg.h"

namespace {

constexpr int PictureWidth = 4000, PictureHeight = 3000;
constexpr double MegaPixels = PictureWidth * PictureHeight / 1e6;
constexpr int64_t PixelBytes = int64_t(PictureWidth) * PictureHeight * 3;

// Smooth gradients, soft waves and a little grain: textured like a photo,
// neither flat (which compresses to nothing) nor pure noise.
TBitmap& Picture() {
  static std::unique_ptr<TBitmap> picture = [] {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(PictureWidth, PictureHeight);
    uint32_t grain = 12345;
    for (int y = 0; y < PictureHeight; ++y) {
      uint8_t* row = b->ScanLine(y);
      double wy = std::sin(y / 97.0);
      for (int x = 0; x < PictureWidth; ++x) {
        grain = grain * 1664525u + 1013904223u;
        int noise = int(grain >> 28) - 8;
        double wave = 40 * std::sin(x / 61.0 + 3 * wy) * std::cos(y / 143.0);
        int base = 60 + x * 120 / PictureWidth + y * 60 / PictureHeight;
        row[3 * x] = uint8_t(std::clamp(int(base + wave) + noise, 0, 255));
        row[3 * x + 1] = uint8_t(std::clamp(int(base + 30 - wave / 2) + noise, 0, 255));
        row[3 * x + 2] = uint8_t(std::clamp(int(200 - base / 2 + wave) + noise, 0, 255));
      }
    }
    return b;
  }();
  return *picture;
}

void Report(benchmark::State& state, int64_t bytes) {
  using benchmark::Counter;
  state.counters["s/MP"] = Counter(MegaPixels, Counter::kIsIterationInvariantRate | Counter::kInvert);
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

std::vector<uint8_t> BmpFile() {
  TMemoryStream stream;
  Picture().SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

std::vector<uint8_t> JpegFile() {
  TJPEGImage jpeg;
  jpeg.Assign(&Picture());
  jpeg.CompressionQuality = 90;
  jpeg.Compress();
  return jpeg.Data();
}

// Runs body for every iteration; a failure (a codec not ready yet) ends the
// benchmark with its message.
template <class Body>
void Measure(benchmark::State& state, int64_t bytes, const Body& body) {
  try {
    for (auto _ : state) body();
    Report(state, bytes);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void BmpSave(benchmark::State& state) {
  Picture();
  Measure(state, PixelBytes, [] {
    TMemoryStream stream;
    Picture().SaveToStream(stream);
    benchmark::DoNotOptimize(stream.Memory());
  });
}

void BmpLoad(benchmark::State& state) {
  std::vector<uint8_t> file;
  try {
    file = BmpFile();
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  Measure(state, int64_t(file.size()), [&] {
    TBitmap bitmap;
    bitmap.LoadFromMemory(file.data(), file.size());
    benchmark::DoNotOptimize(bitmap.ScanLine(0));
  });
}

void JpegEncode(benchmark::State& state) {
  Picture();
  size_t fileSize = 0;
  Measure(state, PixelBytes, [&] {
    TJPEGImage jpeg;
    jpeg.Assign(&Picture());
    jpeg.CompressionQuality = 90;
    jpeg.Compress();
    fileSize = jpeg.Data().size();
  });
  state.counters["file MB"] = double(fileSize) / 1e6;
}

void JpegDecode(benchmark::State& state) {
  std::vector<uint8_t> file = JpegFile();
  Measure(state, PixelBytes, [&] {
    TJPEGImage jpeg;
    jpeg.LoadFromMemory(file.data(), file.size());
    jpeg.DIBNeeded();
    benchmark::DoNotOptimize(jpeg.Bitmap().ScanLine(0));
  });
}

}  // namespace

BENCHMARK(BmpSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BmpLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDecode)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
