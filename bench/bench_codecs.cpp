// Speed of the picture codecs on a 12-megapixel photo-like picture: BMP
// writing and reading, JPEG encoding at quality 90 and decoding. Each
// benchmark reports seconds per megapixel (s/MP) and the bytes it moves.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/benchsupport.h"
#include "platform/graphics/jpeg.h"

namespace {

constexpr int64_t PixelBytes = int64_t(BenchWidth) * BenchHeight * 3;

std::vector<uint8_t> BmpFile() {
  TMemoryStream stream;
  BenchPhoto().SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

std::vector<uint8_t> JpegFile() {
  TJPEGImage jpeg;
  jpeg.Assign(&BenchPhoto());
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
    ReportPerMegapixel(state, bytes);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

void BmpSave(benchmark::State& state) {
  BenchPhoto();
  Measure(state, PixelBytes, [] {
    TMemoryStream stream;
    BenchPhoto().SaveToStream(stream);
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
  BenchPhoto();
  size_t fileSize = 0;
  Measure(state, PixelBytes, [&] {
    TJPEGImage jpeg;
    jpeg.Assign(&BenchPhoto());
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
