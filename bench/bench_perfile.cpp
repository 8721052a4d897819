// The whole per-file road of a run (load, effect, save) on a 12-megapixel
// picture: JPEG to BMP and BMP to JPEG with "Convert to selected format".
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "engine/recordingview.h"
#include "platform/jpeg.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// A folder with the picture saved as photo.bmp and photo.jpg.
struct Pictures {
  std::string Folder;
  Pictures() {
    char pattern[] = "/tmp/brightmill-bench-XXXXXX";
    Folder = std::string(mkdtemp(pattern)) + "/";
    TBitmap picture;
    picture.SetPixelFormat(pf24bit);
    picture.SetSize(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = picture.ScanLine(y);
      for (int x = 0; x < kWidth; ++x) {
        row[3 * x] = static_cast<uint8_t>((x * 7 + y) / 16);
        row[3 * x + 1] = static_cast<uint8_t>((y * 5) / 12 + ((x ^ y) & 15));
        row[3 * x + 2] = static_cast<uint8_t>(128 + ((x / 40 + y / 30) % 2) * 60);
      }
    }
    picture.SaveToFile(Folder + "photo.bmp");
    TJPEGImage jpeg;
    jpeg.Assign(&picture);
    jpeg.Compress();
    jpeg.SaveToFile(Folder + "photo.jpg");
  }
  ~Pictures() { std::filesystem::remove_all(Folder); }
};

Pictures& Shared() {
  static Pictures pictures;
  return pictures;
}

void PerFile(benchmark::State& state, const std::string& source, const std::string& targetExtension) {
  const std::string folder = Shared().Folder;
  TJobRecord job(folder);
  job.TargetExtension = targetExtension;
  job.JpegQuality = 90;
  job.SourceFiles.Add(folder + source);
  job.FileCount = 1;
  TRecordingRunView view(job);
  TApplyEffectThread worker(view);  // never started: its steps run right here
  worker.Log = std::make_unique<TStringList>();
  worker.TargetDir = folder;
  const TEffectRoutine* convert = FindEffectRoutine("Convert to selected format");
  std::string written = folder + "photo(Convert)_1" + targetExtension;
  for (auto _ : state) {
    worker.ProcessFile(*convert);
    state.PauseTiming();
    std::filesystem::remove(written);
    state.ResumeTiming();
  }
  state.counters["s/MP"] = benchmark::Counter(kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate |
                                                                         benchmark::Counter::kInvert);
}

void JpegToBmp(benchmark::State& state) { PerFile(state, "photo.jpg", ".bmp"); }
void BmpToJpeg(benchmark::State& state) { PerFile(state, "photo.bmp", ".jpg"); }

}  // namespace

BENCHMARK(JpegToBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BmpToJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
