// What a run reserves for a file in work covers what the file's road
// really holds at its peak, in every target format: the growth of the
// process's peak resident memory over the road of one large picture, with
// the allocator giving large blocks back to the system as soon as they are
// freed, so that none is counted twice and none hides in a block freed
// before.
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "tests/engine/runfixture.h"

namespace {

int64_t PeakResidentBytes() {
  TStringList status;
  status.LoadFromFile("/proc/self/status");
  for (int i = 0; i < status.Count(); ++i)
    if (status[i].rfind("VmHWM:", 0) == 0) return std::atoll(status[i].c_str() + 6) * 1024;
  return -1;
}

// How much the peak resident memory grows while road runs; -1 when the
// peak cannot be set back to the present.
int64_t PeakGrowth(const std::function<void()>& road) {
  malloc_trim(0);
  try {
    WriteTextFile("/proc/self/clear_refs", "5");
  } catch (...) {
    return -1;
  }
  const int64_t before = PeakResidentBytes();
  road();
  return PeakResidentBytes() - before;
}

}  // namespace

TEST(RoadMemory, AFileHoldsNoMoreThanTheRunReservesForIt) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP() << "ThreadSanitizer's allocator keeps memory of its own";
#endif
  mallopt(M_MMAP_THRESHOLD, 64 << 10);
  mallopt(M_TRIM_THRESHOLD, 64 << 10);
  // Noise: the largest JPEG and PNG data a picture of its size gives.
  const int w = 2001, h = 1333;
  TempDir folder;
  const std::string source = folder.File("noise.jpg");
  {
    auto picture = MakeNoiseBitmap(w, h, 3);
    TJobValues values;
    values.TargetExtension = ".jpg";
    values.JpegQuality = 95;
    auto data = values.EncodeForTarget(*picture);
    TFileStream(source, fmCreate).WriteBuffer(data->Memory(), data->Size());
  }
  struct TTarget {
    const char* Extension;
    std::function<void(TJobValues&)> Options;
  };
  const TTarget targets[] = {
      {".bmp", [](TJobValues&) {}},
      {".bmp", [](TJobValues& v) { v.BmpPixelFormat = pf32bit; }},
      {".jpg", [](TJobValues& v) { v.JpegQuality = 100; }},
      {".gif", [](TJobValues& v) { v.GifDitherMode = dmFloydSteinberg; }},
      {".png", [](TJobValues&) {}},
      {".png", [](TJobValues& v) { v.PngInterlace = true; }},
  };
  // A plain conversion, an effect with a copy of the picture and more, and
  // one whose result is larger than the picture.
  for (const char* effect : {"Convert to selected format", "Oil paint...", "Resize..."})
    for (const TTarget& target : targets) {
      TempDir out;
      TJobRecord job(out.Path());
      job.TargetExtension = target.Extension;
      target.Options(job);
      job.ResizeWidth = 2400;
      job.ResizeHeight = 1600;
      TRecordingRunView view(job);
      TApplyEffectThread worker(view);  // never started: its steps run right here
      worker.Log = std::make_unique<TStringList>();
      worker.TargetDir = out.Path();
      worker.SourceFiles.Add(source);
      worker.FileCount = 1;
      const int64_t grown = PeakGrowth([&] { worker.ProcessFile(*FindEffectRoutine(effect)); });
      if (grown < 0) GTEST_SKIP() << "the peak resident memory cannot be set back here";
      ASSERT_EQ(FolderEntries(out.Path()).size(), 1u) << effect << " " << target.Extension;
      const bool resized = SameText(effect, "Resize...");
      const int64_t reserved =
          std::max(RoadBytes(job, w, h), resized ? RoadBytes(job, job.ResizeWidth, job.ResizeHeight) : 0);
      EXPECT_LE(grown, reserved) << effect << " to " << target.Extension << " (format "
                                 << int(job.BmpPixelFormat) << ", interlace " << job.PngInterlace << "): "
                                 << double(grown) / (3.0 * w * h) << " pictures";
    }
}
