// What a run reserves for a file in work covers what the file's road
// really holds at its peak, in every target format: the growth of the
// process's peak resident memory over the road of one large picture, with
// the allocator giving large blocks back to the system as soon as they are
// freed, so that none is counted twice and none hides in a block freed
// before. Those allocator settings hold for the whole process and cannot
// be read back to be restored (setting them also ends the allocator's
// sliding threshold for good), so the measurement runs in a process of its
// own: this program, run again for this test alone.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>

#include "tests/engine/runfixture.h"

namespace {

// Set in the process that measures.
constexpr char kMeasureHere[] = "BRIGHTMILL_MEASURE_ROAD_MEMORY";

// Sets the peak resident memory back to the present; false when it cannot.
bool ResetPeak() {
  try {
    WriteTextFile("/proc/self/clear_refs", "5");
    return true;
  } catch (...) {
    return false;
  }
}

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
  if (!ResetPeak()) return -1;
  const int64_t before = PeakResidentBytes();
  road();
  return PeakResidentBytes() - before;
}

// The road of one source picture through a worker that is never started:
// its steps run right here.
struct TRoad {
  TRoad(TJobRecord& job, const std::string& source, const std::string& target) : View(job), Worker(View) {
    Worker.Log = std::make_unique<TStringList>();
    Worker.TargetDir = target;
    Worker.SourceFiles.Add(source);
    Worker.FileCount = 1;
  }
  void Run(const char* effect) { Worker.ProcessFile(*FindEffectRoutine(effect)); }
  TRecordingRunView View;
  TApplyEffectThread Worker;
};

}  // namespace

TEST(RoadMemory, AFileHoldsNoMoreThanTheRunReservesForIt) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps memory of its own";
#endif
  if (!std::getenv(kMeasureHere)) {
    if (!ResetPeak()) GTEST_SKIP() << "the peak resident memory cannot be set back here";
    EXPECT_EQ(RunCurrentTestInOwnProcess({std::string(kMeasureHere) + "=1"}), 0) << "the measurement in a process of its own failed (its output is above)";
    return;
  }
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
  // those whose result is larger than the picture: a resize in proportion,
  // one to a free size (drawn beside the picture, which stays until the
  // save) and a turn by 45 degrees.
  const struct {
    const char* Caption;
    bool Kept;
  } effects[] = {{"Convert to selected format", true}, {"Oil paint...", true}, {"Resize...", true},
                 {"Resize...", false}, {"Rotate...", true}};
  auto jobFor = [](TJobRecord& job, const TTarget& target, bool kept) {
    job.TargetExtension = target.Extension;
    target.Options(job);
    job.ResizeWidth = 2400;
    job.ResizeHeight = 1600;
    job.ResizePreserveAspect = kept;
  };
  // Each road once unmeasured: what stays for the rest of the process (the
  // OpenMP team of the effects' bands, the threads' own allocator arenas)
  // is made before the measured roads.
  for (const auto& effect : effects) {
    TempDir out;
    TJobRecord job(out.Path());
    jobFor(job, targets[0], effect.Kept);
    TRoad(job, source, out.Path()).Run(effect.Caption);
  }
  for (const auto& effect : effects)
    for (const TTarget& target : targets) {
      TempDir out;
      TJobRecord job(out.Path());
      jobFor(job, target, effect.Kept);
      TRoad road(job, source, out.Path());
      const int64_t grown = PeakGrowth([&] { road.Run(effect.Caption); });
      if (grown < 0) GTEST_SKIP() << "the peak resident memory cannot be set back here";
      ASSERT_EQ(FolderEntries(out.Path()).size(), 1u) << effect.Caption << " " << target.Extension;
      const int64_t reserved = EffectRoadBytes(job, *FindEffectRoutine(effect.Caption), w, h);
      EXPECT_LE(grown, reserved) << effect.Caption << (effect.Kept ? "" : " (free)") << " to "
                                 << target.Extension << " (format "
                                 << int(job.BmpPixelFormat) << ", interlace " << job.PngInterlace << "): "
                                 << double(grown) / (3.0 * w * h) << " pictures";
    }
}

TEST(RoadMemory, WhatOneThreadFreedIsWhatTheNextThreadTakes) {
  // Set up for runs (in a process of its own, from its start), the
  // allocator gives what one thread freed to the next: four threads in
  // turn each take 40 MB in small blocks and free them but the last (as a
  // load leaves its log lines), and the arenas hold what one of them took.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps memory of its own";
#endif
  if (!std::getenv(kMeasureHere)) {
    EXPECT_EQ(RunCurrentTestInOwnProcess({std::string(kMeasureHere) + "=1"}), 0);
    return;
  }
  SetUpRunMemory();
  size_t held[4];
  std::atomic<int> done{0};
  std::mutex lock;
  lock.lock();  // a thread done waits on it, so that the next is another
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      std::vector<void*> blocks(200000);
      for (void*& block : blocks) std::memset(block = std::malloc(200), 1, 200);
      for (void* block : blocks) std::free(block == blocks.back() ? nullptr : block);
      held[i] = mallinfo2().arena;
      done = i + 1;
      std::lock_guard<std::mutex> wait(lock);
    });
    while (done <= i) std::this_thread::yield();
  }
  lock.unlock();
  for (std::thread& thread : threads) thread.join();
  EXPECT_LE(held[3], held[0] + held[0] / 2);
}
