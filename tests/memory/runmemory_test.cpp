// A run of pictures made to cost more memory than they look, counted at the
// heap: every file's reserve is read from its headers before it loads, so
// the run stays within a small budget and still writes every file.
#include <omp.h>

#include "tests/engine/runfixture.h"
#include "tests/memory/allocationcount.h"
#include "tests/support/craftedfiles.h"

class RunMemory : public RunFixture {};

TEST_F(RunMemory, CraftedFilesStayWithinTheBudget) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  const std::vector<uint8_t> jpeg = CraftedJpeg(2500, 2500, TJpegCraft::Baseline);
  const std::pair<const char*, std::vector<uint8_t>> files[] = {
      // A frame far wider than its 10 x 300 screen: the screen is what is
      // resized, to 440 x 13200.
      {"frame.gif", CraftedGif(10, 300, 3001, 1)},
      {"stray.jpg", WithStrayBytesBeforeFrame(jpeg)},
      {"comments.jpg", WithComments(jpeg, 10001)},
      {"cmyk.jpg", CraftedJpeg(2500, 2500, TJpegCraft::ProgressiveCmyk)},
      // Entries of 1600 and 1800 pixels listed as 32 and 16.
      {"listed.ico", CraftedIcon({{CraftedPng(1600, 1600), 32, 32}, {CraftedPng(1800, 1800), 16, 16}})},
      // Twelve text chunks of 8 MiB each.
      {"text.png", CraftedPng(1, 1, 12, int64_t(8) << 20)},
      {"tail.bmp", WithTail(CraftedBmp(1, 1, 24), int64_t(60) << 20)},
      {"tail.ico", WithTail(CraftedIcon({{CraftedIconDib(16, 16, 32)}}), int64_t(60) << 20)},
  };
  int count = 0;
  for (int copy = 1; copy <= 3; ++copy)
    for (const auto& [name, data] : files) {
      const std::string path = Source.File(std::to_string(copy) + name);
      WriteFile(path, data);
      AddFile(path);
      ++count;
    }
  Job.EffectName = "Resize...";
  Job.ResizeWidth = Job.ResizeHeight = 440;
  Job.FilesInFlight = 8;
  Job.MemoryBudget = int64_t(128) << 20;
  const int most = omp_get_max_threads();
  omp_set_num_threads(8);
  // A first run makes what stays for the process (the threads' own, the
  // codecs' tables).
  RunToEnd();
  TempDir target;
  Job.TargetDir = target.Path();
  const TAllocations run = MeasureAllocations([&] { RunToEnd(); });
  omp_set_num_threads(most);
  const Lines body = Body();
  EXPECT_EQ(std::count_if(body.begin(), body.end(), [](const std::string& l) { return l.rfind("Success: ", 0) == 0; }),
            count);
  EXPECT_EQ(FolderEntries(target.Path()).size(), size_t(count));
  EXPECT_LE(run.Peak, Job.MemoryBudget);
  EXPECT_LE(View.PeakSharedBytes, Job.MemoryBudget);
}
