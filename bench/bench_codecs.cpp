// Speed of the picture codecs on a 12-megapixel photo-like picture: BMP
// writing and reading, JPEG encoding at quality 90 and decoding, of
// baseline, progressive and arithmetic-coded files. Each benchmark reports
// seconds per megapixel (s/MP) and the bytes it moves.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

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

// The photo at quality 90 in libjpeg's own progression, coded by Huffman or
// arithmetically, or in one arithmetic-coded scan.
std::vector<uint8_t> JpegFile(bool progressive, bool arithmetic) {
  const TDibSection& dib = *BenchPhoto().Handle();
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(dib.Width);
  info.image_height = JDIMENSION(dib.Height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  info.arith_code = arithmetic;
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(dib.ScanLine(int(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> data(buffer, buffer + size);
  std::free(buffer);
  return data;
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

void Decode(benchmark::State& state, const std::vector<uint8_t>& file) {
  Measure(state, PixelBytes, [&] {
    TJPEGImage jpeg;
    jpeg.LoadFromMemory(file.data(), file.size());
    jpeg.DIBNeeded();
    benchmark::DoNotOptimize(jpeg.Bitmap().ScanLine(0));
  });
  state.counters["file MB"] = double(file.size()) / 1e6;
}

void JpegDecode(benchmark::State& state) { Decode(state, JpegFile()); }
void JpegDecodeProgressive(benchmark::State& state) { Decode(state, JpegFile(true, false)); }
void JpegDecodeArithmetic(benchmark::State& state) { Decode(state, JpegFile(false, true)); }
void JpegDecodeArithmeticProgressive(benchmark::State& state) { Decode(state, JpegFile(true, true)); }

}  // namespace

BENCHMARK(BmpSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BmpLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDecodeProgressive)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDecodeArithmetic)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDecodeArithmeticProgressive)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
