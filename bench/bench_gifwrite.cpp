// Writing the 12-megapixel benchmark photo as GIF, as the engine's writer
// does it (colour reduction and dithering, the shared colour map, LZW),
// with every reduction method that can take a photograph and every dither
// mode. Besides the time each benchmark reports seconds per megapixel
// (s/MP), the file size and the PSNR of the written picture against the
// 24-bit source (dB; higher is closer). rmNone (a photograph has more than
// 256 colours) and rmPalette (the writer passes no palette) cannot write
// such a picture and are left out.
#include <cmath>
#include <cstdint>

#include "bench/benchsupport.h"
#include "gif/gifimage.h"

namespace {

// The peak signal-to-noise ratio of the frame's colours against the photo.
double Psnr(TGIFImage& gif) {
  TGIFSubImage& frame = *gif.Frames().SubImages(0);
  const TGIFColor* colors = gif.GlobalColorMap().Data();
  double squares = 0;
  for (int y = 0; y < BenchHeight; ++y) {
    const uint8_t* source = BenchPhoto().ScanLine(y);
    const uint8_t* pixels = frame.Scanline(y);
    for (int x = 0; x < BenchWidth; ++x) {
      const TGIFColor& c = colors[pixels[x]];
      double db = c.Blue - source[3 * x], dg = c.Green - source[3 * x + 1], dr = c.Red - source[3 * x + 2];
      squares += db * db + dg * dg + dr * dr;
    }
  }
  double mse = squares / (3.0 * BenchWidth * BenchHeight);
  return 10 * std::log10(255.0 * 255.0 / mse);
}

void WriteGif(benchmark::State& state) {
  auto reduction = TColorReduction(state.range(0));
  auto dither = TDitherMode(state.range(1));
  TBitmap picture;
  picture.Assign(&BenchPhoto());
  int64_t bytes = 0;
  double psnr = 0;
  for (auto _ : state) {
    TGIFImage gif;
    gif.ColorReduction = reduction;
    gif.DitherMode = dither;
    gif.Assign(&picture);
    gif.OptimizeColorMap();
    TMemoryStream stream;
    gif.SaveToStream(stream);
    bytes = stream.Size();
    state.PauseTiming();
    psnr = Psnr(gif);
    state.ResumeTiming();
  }
  ReportPerMegapixel(state, 0, double(bytes));
  state.counters["PSNR"] = psnr;
}

void AllSettings(benchmark::internal::Benchmark* b) {
  b->ArgNames({"reduction", "dither"});
  for (int reduction = rmWindows20; reduction <= rmQuantizeWindows; ++reduction)
    for (int dither = dmNearest; dither <= dmBurkes; ++dither) b->Args({reduction, dither});
}

BENCHMARK(WriteGif)->Apply(AllSettings)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
