// Speed of the PNG codec on a 12-megapixel photo-like picture, beside libpng
// on the same picture: encoding at compression levels 1, 6 and 9 (filter Sub
// on every row, as the program writes), and decoding the file each level
// gave. The codec's decoding includes the conversion to the working bitmap,
// as the program loads; libpng decodes to RGB rows. Each benchmark reports
// seconds per megapixel (s/MP); the encoders also the size of the file.
#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "bench/benchsupport.h"
#include "png/pngimage.h"

namespace {

// The picture as red, green, blue rows for libpng.
const std::vector<uint8_t>& RgbRows() {
  static const std::vector<uint8_t> rows = [] {
    std::vector<uint8_t> r(size_t(BenchWidth) * BenchHeight * 3);
    for (int y = 0; y < BenchHeight; ++y) {
      const uint8_t* s = BenchPhoto().ScanLine(y);
      uint8_t* d = r.data() + size_t(y) * BenchWidth * 3;
      for (int x = 0; x < BenchWidth; ++x)
        d[3 * x] = s[3 * x + 2], d[3 * x + 1] = s[3 * x + 1], d[3 * x + 2] = s[3 * x];
    }
    return r;
  }();
  return rows;
}

std::vector<uint8_t> EncodeOurs(int level) {
  TPNGObject png;
  png.CompressionLevel = level;
  png.Assign(&BenchPhoto());
  TMemoryStream stream;
  png.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

const std::vector<uint8_t>& OurFile(int level) {
  static std::map<int, std::vector<uint8_t>> files;
  auto it = files.find(level);
  if (it == files.end()) it = files.emplace(level, EncodeOurs(level)).first;
  return it->second;
}

void WriteToVector(png_structp p, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
  out->insert(out->end(), data, data + count);
}
void NoFlush(png_structp) {}

std::vector<uint8_t> EncodeLibpng(int level) {
  std::vector<uint8_t> out;
  std::vector<png_bytep> rows;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_write_struct(&p, &info);
    throw std::runtime_error("libpng could not write");
  }
  png_set_write_fn(p, &out, WriteToVector, NoFlush);
  png_set_IHDR(p, info, BenchWidth, BenchHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(p, 0, PNG_FILTER_SUB);
  png_set_compression_level(p, level);
  png_write_info(p, info);
  for (int y = 0; y < BenchHeight; ++y)
    rows.push_back(const_cast<png_bytep>(RgbRows().data() + size_t(y) * BenchWidth * 3));
  png_write_image(p, rows.data());
  png_write_end(p, nullptr);
  png_destroy_write_struct(&p, &info);
  return out;
}

struct TReader {
  const std::vector<uint8_t>* File;
  size_t At;
};
void ReadFromVector(png_structp p, png_bytep out, png_size_t count) {
  auto* r = static_cast<TReader*>(png_get_io_ptr(p));
  if (r->At + count > r->File->size()) png_error(p, "read past the end");
  std::copy_n(r->File->data() + r->At, count, out);
  r->At += count;
}

void DecodeLibpng(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels) {
  TReader reader{&file, 0};
  std::vector<png_bytep> rows;
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_read_struct(&p, &info, nullptr);
    throw std::runtime_error("libpng could not read");
  }
  png_set_read_fn(p, &reader, ReadFromVector);
  png_read_info(p, info);
  pixels.resize(size_t(BenchWidth) * BenchHeight * 3);
  for (int y = 0; y < BenchHeight; ++y) rows.push_back(pixels.data() + size_t(y) * BenchWidth * 3);
  png_read_image(p, rows.data());
  png_read_end(p, nullptr);
  png_destroy_read_struct(&p, &info, nullptr);
}

void PngEncode(benchmark::State& state) {
  int level = int(state.range(0));
  BenchPhoto();
  size_t bytes = 0;
  for (auto _ : state) bytes = EncodeOurs(level).size();
  ReportPerMegapixel(state, 0, double(bytes));
}

void LibpngEncode(benchmark::State& state) {
  int level = int(state.range(0));
  RgbRows();
  size_t bytes = 0;
  for (auto _ : state) bytes = EncodeLibpng(level).size();
  ReportPerMegapixel(state, 0, double(bytes));
}

void PngDecode(benchmark::State& state) {
  const std::vector<uint8_t>& file = OurFile(int(state.range(0)));
  for (auto _ : state) {
    TReadOnlyMemoryStream stream(file.data(), file.size());
    TPNGObject png;
    png.LoadFromStream(stream);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.Assign(&png);
    benchmark::DoNotOptimize(bitmap.ScanLine(0));
  }
  ReportPerMegapixel(state);
}

void LibpngDecode(benchmark::State& state) {
  const std::vector<uint8_t>& file = OurFile(int(state.range(0)));
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    DecodeLibpng(file, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
  ReportPerMegapixel(state);
}

}  // namespace

BENCHMARK(PngEncode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(LibpngEncode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(PngDecode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(LibpngDecode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
