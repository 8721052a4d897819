// Speed of the PNG codec on a 12-megapixel photo-like picture, beside libpng
// on the same picture: encoding at compression levels 1, 6 and 9 (filter Sub
// on every row, as the program writes), and decoding the file each level
// gave. The codec's decoding includes the conversion to the working bitmap,
// as the program loads; libpng decodes to RGB rows. Each benchmark reports
// seconds per megapixel (s/MP); the encoders also the size of the file.
// PngPile claims and reads files of 8 MiB that are one chunk kind piled up
// (what a crafted file does), as the run reads them; it reports the bytes
// read per second.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
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

// Loads the file into a 24-bit bitmap, as the program's loader does.
void LoadAsTheProgram(const std::vector<uint8_t>& file) {
  TReadOnlyMemoryStream stream(file.data(), file.size());
  TPNGObject png;
  png.LoadFromStream(stream);
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.Assign(&png);
  benchmark::DoNotOptimize(bitmap.ScanLine(0));
}

void PngDecode(benchmark::State& state) {
  const std::vector<uint8_t>& file = OurFile(int(state.range(0)));
  for (auto _ : state) LoadAsTheProgram(file);
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

// One chunk as it stands in a file.
std::string Chunk(const std::string& name, const std::string& data) {
  auto word = [](uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  const std::string named = name + data;
  return word(uint32_t(data.size())) + named +
         word(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(named.data()), uInt(named.size()))));
}

std::string Deflated(const std::string& text) {
  uLongf size = compressBound(uLong(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           uLong(text.size()));
  out.resize(size);
  return out;
}

// A 16 x 16 picture (RGB, or palette with a PLTE where the kind asks)
// whose chunks before the image data are the unit repeated up to 8 MiB;
// "after" piles it after the image data, "behind" after the end.
struct TPile {
  const char* Name;
  std::string Unit;
  bool Palette = false;
  enum { Before, After, Behind } Where = Before;
};

// The header of a 16 x 16 picture, RGB or palette.
std::string Header(bool palette) {
  return Chunk("IHDR", std::string("\0\0\0\x10\0\0\0\x10\x08", 9) + char(palette ? 3 : 2) + std::string(3, '\0'));
}

const std::vector<TPile>& Piles() {
  static const std::vector<TPile> piles = [] {
    const std::string palette = Chunk("PLTE", std::string(6, '\x40'));
    return std::vector<TPile>{
        {"gAMA alternating",
         Chunk("gAMA", std::string("\0\0\xB1\x8F", 4)) + Chunk("gAMA", std::string("\0\x01\x86\xA0", 4))},
        {"gAMA", Chunk("gAMA", std::string("\0\x01\x86\xA0", 4))},
        {"later IHDR", Header(false)},
        {"tRNS", Chunk("tRNS", std::string("\0\1\0\2\0\3", 6))},
        {"tRNS palette", Chunk("tRNS", std::string("\0\x80", 2)), true},
        {"pHYs", Chunk("pHYs", std::string("\0\0\x0B\x13\0\0\x0B\x13\1", 9))},
        {"tIME", Chunk("tIME", std::string("\x07\xE8\1\2\3\4\5", 7))},
        {"tEXt", Chunk("tEXt", std::string("k\0v", 3))},
        {"zTXt", Chunk("zTXt", std::string("k\0\0", 3) + Deflated("v"))},
        {"unknown ancillary", Chunk("abCd", "")},
        {"cHRM", Chunk("cHRM", std::string(32, '\0'))},
        {"PLTE", palette, true},
        {"PLTE of RGB", palette},
        {"empty IDAT", Chunk("IDAT", "")},
        {"later IDAT", Chunk("IDAT", ""), false, TPile::After},
        {"IEND", Chunk("IEND", ""), false, TPile::Behind},
    };
  }();
  return piles;
}

std::vector<uint8_t> PileFile(const TPile& pile) {
  const std::string pixels(16 * (1 + 16 * 3), '\0');
  std::string head = std::string("\x89PNG\r\n\x1A\n", 8) + Header(pile.Palette);
  if (pile.Palette) head += Chunk("PLTE", std::string(6, '\x20'));
  const std::string data = Chunk("IDAT", Deflated(pixels)), end = Chunk("IEND", "");
  std::string units;
  while (units.size() + head.size() + data.size() + end.size() < (size_t(8) << 20)) units += pile.Unit;
  std::string file = pile.Where == TPile::Before   ? head + units + data + end
                     : pile.Where == TPile::After  ? head + data + units + end
                                                   : head + data + end + units;
  return std::vector<uint8_t>(file.begin(), file.end());
}

// The claim and the load of a pile, as the run reads a file.
void PngPile(benchmark::State& state) {
  const TPile& pile = Piles()[size_t(state.range(0))];
  static std::map<const TPile*, std::vector<uint8_t>> files;
  if (!files.count(&pile)) files[&pile] = PileFile(pile);
  const std::vector<uint8_t>& file = files[&pile];
  state.SetLabel(pile.Name);
  for (auto _ : state) {
    TReadOnlyMemoryStream claimed(file.data(), file.size());
    int64_t width = 0, height = 0, loadBytes = 0;
    if (!PngLoadClaim(claimed, width, height, loadBytes)) state.SkipWithError("not claimed");
    LoadAsTheProgram(file);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

}  // namespace

BENCHMARK(PngPile)->DenseRange(0, 15)->Unit(benchmark::kMillisecond);
BENCHMARK(PngEncode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(LibpngEncode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(PngDecode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(LibpngDecode)->Arg(1)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
