// Where row bands start to pay: a light, a middling and a heavy effect on
// photo-like pictures from 96 x 64 to 1536 x 1024 pixels, each
//   one   on the calling thread alone,
//   own   in bands in a team of its own (as the dialogs, tests and
//         benchmarks call effects),
//   run   in bands taken up by the idle threads of a run's team (one more
//         thread waits there, as a run's producer does),
// the bands cut as for a picture at the threshold. The threshold
// (kBandThresholdPixels) lies where "own" and "run" beat "one" for all but
// the lightest effect, and that one loses little. OMP_NUM_THREADS sets the
// threads.
//   bench_bands [Google Benchmark options]
// It also makes the photos of bench/few-photos:
//   bench_bands --photos FOLDER COUNT WIDTH HEIGHT
// writes COUNT photo-like JPEG pictures (quality 92) photo1.jpg ... there.
#include <omp.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/benchsupport.h"
#include "effects/effectbase.h"
#include "effects/neighbourhood.h"
#include "effects/colorpoint.h"
#include "platform/graphics/jpeg.h"

namespace {

int MakePhotos(const std::string& folder, int count, int width, int height) {
  if (count < 1 || width < 1 || height < 1) {
    std::fprintf(stderr, "bench_bands: --photos FOLDER COUNT WIDTH HEIGHT\n");
    return 2;
  }
  for (int i = 1; i <= count; ++i) {
    auto photo = MakeBenchPhoto(width, height, 12345u + 7919u * i);
    TJPEGImage jpeg;
    jpeg.CompressionQuality = 92;
    jpeg.Assign(photo.get());
    jpeg.Compress();
    jpeg.SaveToFile(IncludeTrailingPathDelimiter(folder) + "photo" + std::to_string(i) + ".jpg");
  }
  return 0;
}

struct TEffectCase {
  const char* Name;
  void (*Apply)(TBitmap&);
};
const TEffectCase kEffects[] = {
    {"Inverse", [](TBitmap& b) { ApplyInverse(b); }},
    {"Softened", [](TBitmap& b) { ApplySoftened(b, 25, 0); }},
    {"Gauss", [](TBitmap& b) { ApplyGauss(b, 1); }},
    {"OilPaint", [](TBitmap& b) { ApplyOilPaint(b, 10, 2); }},
};

enum TMode { kOne, kOwn, kRun };
const char* const kModeNames[] = {"one", "own", "run"};

// Times the effect on fresh copies of the picture (the copy is not timed).
void TimeEffect(benchmark::State& state, const TEffectCase& effect, const TBitmap& source) {
  for (auto _ : state) {
    state.PauseTiming();
    TBitmap picture;
    picture.Assign(&source);
    state.ResumeTiming();
    effect.Apply(picture);
  }
}

void Register(const TEffectCase& effect, int width, int height, TMode mode) {
  const std::string name =
      std::string(effect.Name) + "/" + std::to_string(width) + "x" + std::to_string(height) + "/" + kModeNames[mode];
  benchmark::RegisterBenchmark(name.c_str(), [&effect, width, height, mode](benchmark::State& state) {
    const auto source = MakeBenchPhoto(width, height);
    const int64_t before = BandThresholdPixels;
    BandThresholdPixels = mode == kOne ? INT64_MAX : int64_t(width) * height;
    if (mode == kRun) {
      const int threads = omp_get_max_threads();
#pragma omp parallel num_threads(threads + 1)
#pragma omp single
      {
        omp_set_num_threads(threads);
        TimeEffect(state, effect, *source);
      }
    } else {
      TimeEffect(state, effect, *source);
    }
    BandThresholdPixels = before;
    state.counters["threads"] = omp_get_max_threads();
    state.counters["us/MP"] = benchmark::Counter(int64_t(width) * height / 1e6 / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
  })
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--photos")
    return MakePhotos(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  for (const TEffectCase& effect : kEffects)
    for (int height : {64, 96, 128, 192, 256, 384, 512, 768, 1024})
      for (TMode mode : {kOne, kOwn, kRun}) Register(effect, height * 3 / 2, height, mode);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
