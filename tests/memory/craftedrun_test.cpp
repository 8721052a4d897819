// Small crafted files, each run alone through the engine to its log line
// and counted at the heap: each ends as its row says, holding no more
// than its row allows. One table for the files of every kind: a row names
// the file, builds it, and gives the outcome and the bound.
#include "tests/engine/runfixture.h"
#include "tests/memory/allocationcount.h"
#include "tests/support/craftedfiles.h"

namespace {

struct TCraftedRun {
  const char* Name;  // the file's name: its extension chooses the loader
  std::function<std::vector<uint8_t>()> Build;
  const char* Outcome;  // how the file's log line begins: "Success: " or "Error: "
  int64_t MostBytes;    // the most the run may hold from the heap at once
  const char* Target = ".bmp";
};

constexpr int64_t kMiB = int64_t(1) << 20;

}  // namespace

class CraftedRun : public RunFixture {};

TEST_F(CraftedRun, EachFileEndsAsItShouldWithinItsMemory) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  const TCraftedRun rows[] = {
      // Pictures no target of the run can hold, in 1080 bytes: refused
      // before they are loaded (loaded, the tall one takes 1 GiB).
      {"tall.bmp", [] { return CraftedRleBmp(1, 268435456); }, "Error: ", 16 * kMiB, ".png"},
      {"tall.bmp", [] { return CraftedRleBmp(1, 268435456); }, "Error: ", 16 * kMiB, ".gif"},
      {"tall.bmp", [] { return CraftedRleBmp(1, 268435456); }, "Error: ", 16 * kMiB, ".jpg"},
      {"wide.bmp", [] { return CraftedRleBmp(65501, 1); }, "Error: ", 16 * kMiB, ".jpg"},
      // As tall as a PNG holds.
      {"tall.bmp", [] { return CraftedRleBmp(1, 65535); }, "Success: ", 16 * kMiB, ".png"},
  };
  Job.FilesInFlight = 1;
  const std::string path = Source.File("warm.bmp");
  WriteFile(path, CraftedRleBmp(1, 1));
  // A first run makes what stays for the process (the threads' own, the
  // codecs' tables).
  RunOn("Convert to selected format", path);
  for (const TCraftedRun& row : rows) {
    SCOPED_TRACE(std::string(row.Name) + " to " + row.Target);
    TempDir source;
    WriteFile(source.File(row.Name), row.Build());
    Job.TargetExtension = row.Target;
    Lines body;
    const TAllocations run =
        MeasureAllocations([&] { body = RunOn("Convert to selected format", source.File(row.Name)); });
    ASSERT_FALSE(body.empty());
    EXPECT_EQ(body[0], row.Outcome + std::string(row.Name));
    EXPECT_LE(run.Peak, row.MostBytes);
  }
}
