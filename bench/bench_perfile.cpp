// The whole per-file road of a run (load, effect, save) on a 12-megapixel
// picture: JPEG to BMP and BMP to JPEG with "Convert to selected format".
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "bench/benchsupport.h"
#include "engine/recordingview.h"
#include "platform/graphics/jpeg.h"

namespace {

// A folder with the picture saved as photo.bmp and photo.jpg.
struct Pictures {
  std::string Folder;
  Pictures() {
    char pattern[] = "/tmp/brightmill-bench-XXXXXX";
    Folder = std::string(mkdtemp(pattern)) + "/";
    TBitmap& picture = BenchPhoto();
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
  TRecordingRunView view(job);
  TApplyEffectThread worker(view);  // never started: its steps run right here
  worker.Log = std::make_unique<TStringList>();
  worker.TargetDir = folder;
  worker.SourceFiles.Add(folder + source);
  worker.FileCount = 1;
  const TEffectRoutine* convert = FindEffectRoutine("Convert to selected format");
  std::string written = folder + "photo(Convert)_1" + targetExtension;
  for (auto _ : state) {
    worker.ProcessFile(*convert);
    state.PauseTiming();
    std::filesystem::remove(written);
    state.ResumeTiming();
  }
  ReportPerMegapixel(state);
}

void JpegToBmp(benchmark::State& state) { PerFile(state, "photo.jpg", ".bmp"); }
void BmpToJpeg(benchmark::State& state) { PerFile(state, "photo.bmp", ".jpg"); }

}  // namespace

BENCHMARK(JpegToBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BmpToJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
