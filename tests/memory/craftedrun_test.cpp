// Small crafted files of every kind, each run alone through the engine and
// counted at the heap: each ends as its row says, within its row's bound.
#include "tests/engine/runfixture.h"
#include "tests/memory/allocationcount.h"
#include "tests/support/craftedfiles.h"

struct TCraftedRun {
  const char* Name;  // its extension chooses the loader
  std::function<std::vector<uint8_t>()> Build;
  const char* Outcome;  // how the file's log line begins: "Success: " or "Error: "
  int64_t MostBytes;    // the most the run may hold from the heap at once
  const char* Target = ".bmp";
};

class CraftedRun : public RunFixture {};

TEST_F(CraftedRun, EachFileEndsAsItShouldWithinItsMemory) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  constexpr int64_t kMiB = int64_t(1) << 20;
  const TCraftedRun rows[] = {
      // 1080 bytes whose picture (1 GiB loaded) only a BMP holds; as long a
      // side as each target holds.
      {"tall.bmp", [] { return CraftedRleBmp(1, 268435456); }, "Error: ", 16 * kMiB, ".png"},
      {"tall.bmp", [] { return CraftedRleBmp(1, 268435456); }, "Error: ", 16 * kMiB, ".gif"},
      {"tall.bmp", [] { return CraftedRleBmp(1, 268435456); }, "Error: ", 16 * kMiB, ".jpg"},
      {"tall.bmp", [] { return CraftedRleBmp(1, 65535); }, "Success: ", 16 * kMiB, ".png"},
      {"wide.bmp", [] { return CraftedRleBmp(65500, 1); }, "Success: ", 16 * kMiB, ".jpg"},
      // A few kilobytes of arithmetic-coded data whose trained statistics
      // would decode dense blocks from zero bits to the picture's end.
      {"trained.jpg", [] { return CraftedTrainedJpeg(1024, 1024, TJpegCraft::Baseline, 2048, 32); }, "Error: ",
       16 * kMiB},
      // Piles of small chunks, extensions and sub-blocks: what the load keeps
      // follows their bytes.
      {"headers.png", [] { return CraftedPngPile(8, 8, "IHDR", {0, 0, 0, 8, 0, 0, 0, 8, 8, 0, 0, 0, 0}, 200000); },
       "Success: ", 16 * kMiB},
      {"transparency.png", [] { return CraftedPngPile(8, 8, "tRNS", {0, 0}, 300000); }, "Success: ", 16 * kMiB},
      {"comments.gif", [] { return CraftedGif(4, 4, 4, 4, 300000, 0); }, "Success: ", 8 * kMiB},
      {"one comment.gif", [] { return CraftedGif(4, 4, 4, 4, 1, 1000000); }, "Success: ", 16 * kMiB},
      // Texts that inflate megabytes, then fail their check: the run goes on
      // within the file's text room.
      {"texts.png", [] { return CraftedPngPile(8, 8, "zTXt", CraftedZtxtData(2 << 20, true), 16); }, "Success: ",
       48 * kMiB},
  };
  WriteFile(Source.File("first.bmp"), CraftedRleBmp(1, 1));
  RunOn("Convert to selected format", Source.File("first.bmp"));  // what stays for the process
  for (const TCraftedRun& row : rows) {
    TempDir source;
    WriteFile(source.File(row.Name), row.Build());
    Job.TargetExtension = row.Target;
    Lines body;
    const TAllocations run =
        MeasureAllocations([&] { body = RunOn("Convert to selected format", source.File(row.Name)); });
    EXPECT_EQ(body.at(0), row.Outcome + std::string(row.Name)) << row.Target;
    EXPECT_LE(run.Peak, row.MostBytes) << row.Name << " to " << row.Target;
  }
}
