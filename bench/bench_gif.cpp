// Speed of the GIF image data coding on a 12-megapixel frame of 256 colours,
// beside giflib: LZW decoding of a whole file, and encoding with the LZW and
// the run-length encoder. Each benchmark reports seconds per megapixel
// (s/MP); the encoders also report the size of what they wrote. And reading
// the piles of blocks a crafted file may put in front of its first frame,
// in bytes per second of the file.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "bench/benchsupport.h"
#include "gif/gifimage.h"
#include "gif/giflzw.h"

namespace {

constexpr int FrameWidth = BenchWidth, FrameHeight = BenchHeight;

// Colour indices with smooth areas, soft waves and grain, as a photo reduced
// to 256 colours gives them: the green channel of the benchmark photo.
const std::vector<uint8_t>& Pixels() {
  static const std::vector<uint8_t> pixels = [] {
    std::vector<uint8_t> p(size_t(FrameWidth) * FrameHeight);
    for (int y = 0; y < FrameHeight; ++y) {
      const uint8_t* row = BenchPhoto().ScanLine(y);
      for (int x = 0; x < FrameWidth; ++x) p[size_t(y) * FrameWidth + x] = row[3 * x + 1];
    }
    return p;
  }();
  return pixels;
}

std::vector<uint8_t> OurFile(TGIFCompression compression) {
  TGIFImage image;
  image.Compression = compression;
  auto* frame = new TGIFSubImage(&image);
  image.Add(frame);
  frame->SetBounds(0, 0, FrameWidth, FrameHeight);
  std::memcpy(frame->Data(), Pixels().data(), Pixels().size());
  for (int i = 0; i < 256; ++i) image.GlobalColorMap().Add({uint8_t(i), uint8_t(i), uint8_t(i)});
  TMemoryStream stream;
  image.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

void DecodeOurs(benchmark::State& state, TGIFCompression compression) {
  std::vector<uint8_t> file = OurFile(compression);
  for (auto _ : state) {
    TGIFImage image;
    TReadOnlyMemoryStream stream(file.data(), file.size());
    image.LoadFromStream(stream);
    benchmark::DoNotOptimize(image.Frames().SubImages(0)->Data());
  }
  ReportPerMegapixel(state);
}

struct Input {
  const std::vector<uint8_t>* Data;
  size_t Position = 0;
};

int ReadInput(GifFileType* gif, GifByteType* bytes, int count) {
  auto* in = static_cast<Input*>(gif->UserData);
  size_t n = std::min(size_t(count), in->Data->size() - in->Position);
  std::memcpy(bytes, in->Data->data() + in->Position, n);
  in->Position += n;
  return int(n);
}

void DecodeGiflib(benchmark::State& state, TGIFCompression compression) {
  std::vector<uint8_t> file = OurFile(compression);
  for (auto _ : state) {
    Input in{&file};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, ReadInput, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
      state.SkipWithError("giflib cannot read the file");
      break;
    }
    benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
    DGifCloseFile(gif, &error);
  }
  ReportPerMegapixel(state);
}

template <class Encoder>
void EncodeOurs(benchmark::State& state) {
  int64_t size = 0;
  for (auto _ : state) {
    TMemoryStream stream;
    Encoder().Compress(stream, 8, FrameWidth, FrameHeight, false, Pixels().data(), 256);
    size = stream.Size();
  }
  ReportPerMegapixel(state, 0, double(size));
}

int WriteOutput(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

void EncodeGiflib(benchmark::State& state) {
  std::vector<GifColorType> grey(256);
  for (int i = 0; i < 256; ++i) grey[size_t(i)] = {GifByteType(i), GifByteType(i), GifByteType(i)};
  ColorMapObject* map = GifMakeMapObject(256, grey.data());
  std::vector<uint8_t> row(FrameWidth);
  int64_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteOutput, &error);
    EGifPutScreenDesc(gif, FrameWidth, FrameHeight, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, FrameWidth, FrameHeight, false, nullptr);
    for (int y = 0; y < FrameHeight; ++y) {
      std::memcpy(row.data(), Pixels().data() + size_t(y) * FrameWidth, FrameWidth);
      EGifPutLine(gif, row.data(), FrameWidth);
    }
    EGifCloseFile(gif, &error);
    size = int64_t(out.size());
  }
  GifFreeMapObject(map);
  ReportPerMegapixel(state, 0, double(size));
}

// A 1 x 1 frame behind an application extension of a million one-byte
// sub-blocks, or behind 300,000 empty comments (the frame keeps the first
// GIFMaxFrameExtensions of them).
std::vector<uint8_t> PileFile(bool application) {
  std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  auto add = [&](std::initializer_list<uint8_t> bytes) { file.insert(file.end(), bytes); };
  if (application) {
    add({0x21, 0xFF, 11, 'P', 'I', 'L', 'E', 'D', 'A', 'T', 'A', '1', '.', '0'});
    for (int i = 0; i < 1000000; ++i) add({1, 'x'});
    add({0});
  } else {
    for (int i = 0; i < 300000; ++i) add({0x21, 0xFE, 0});
  }
  add({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  return file;
}

void LoadPile(benchmark::State& state, bool application) {
  const std::vector<uint8_t> file = PileFile(application);
  for (auto _ : state) {
    TGIFImage image;
    TReadOnlyMemoryStream stream(file.data(), file.size());
    image.LoadFromStream(stream);
    benchmark::DoNotOptimize(image.Frames().Count());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

BENCHMARK_CAPTURE(DecodeOurs, LZW, gcLZW)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeGiflib, LZW, gcLZW)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeOurs, RLE, gcRLE)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeGiflib, RLE, gcRLE)->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeOurs<TLZWEncoder>)->Name("EncodeOurs/LZW")->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeOurs<TRLEEncoder>)->Name("EncodeOurs/RLE")->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeGiflib)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPile, ApplicationBlocks, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPile, Comments, false)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
