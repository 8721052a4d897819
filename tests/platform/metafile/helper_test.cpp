// Metafiles drawn in the helper program: a helper that crashes, passes a
// limit or is stopped ends its drawing with an error, and the next drawing
// draws; only the frame changes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "platform/metafile/helperhost.h"
#include "tests/platform/metafile/metafilebuild.h"

using namespace mftest;

namespace {

// Test settings for the drawings while it lives.
class TTestHelper {
 public:
  explicit TTestHelper(const mfhost::TTestSettings& settings) { mfhost::SetTestSettings(settings); }
  ~TTestHelper() { mfhost::SetTestSettings({}); }
};

// A red square filling a 40 x 40 metafile.
std::vector<uint8_t> RedSquare() { return SquareEmf(40).RedFill().Rect(0, 0, 40, 40).Finish(); }

TEST(MetafileHelper, AHelperThatFailsEndsItsDrawingAloneAndLeavesTheCanvas) {
  struct Row {
    const char* Name;
    mfhost::TTestSettings Settings;
    const char* Message;
  };
  const Row rows[] = {
      {"crash", {.Fault = mfjob::TFault::Crash}, mfhost::kCrashed},
      {"memory", {.Fault = mfjob::TFault::Memory}, mfhost::kNoMemory},
      {"processor time", {.Fault = mfjob::TFault::Spin, .CpuSeconds = 1}, mfhost::kTooLong},
      {"wall-clock time", {.Fault = mfjob::TFault::Sleep, .WallMilliseconds = 200}, mfhost::kTooLong},
      {"no helper", {.HelperPath = "/nonexistent/brightmill-metafile"}, mfhost::kNotStarted},
  };
  auto metafile = Load(RedSquare());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    auto bitmap = MakeFlatBitmap(40, 40, clWhite);
    {
      TTestHelper failing(row.Settings);
      EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { bitmap->Canvas()->Draw(0, 0, metafile.get()); }),
                row.Message);
    }
    EXPECT_EQ(Count(*bitmap, Bounds(0, 0, 40, 40), clWhite), 40 * 40);
    // The helper that failed is gone; a new one draws.
    bitmap->Canvas()->Draw(0, 0, metafile.get());
    EXPECT_EQ(Count(*bitmap, Bounds(0, 0, 40, 40), clRed), 40 * 40);
  }
}

TEST(MetafileHelper, ADrawingItsWorkBoundLetsThroughIsNeverEndedByTheProcessorLimit) {
  // The limit stands at twice the time the bound's units stand for, on
  // small frames and on frames past the first four million pixels.
  const std::vector<uint8_t> data = RedSquare();
  for (int side : {40, 1000, 2100}) {
    const std::optional<TMetafileDrawUse> use = MetafileDrawUse(data.data(), data.size(), side, side);
    ASSERT_TRUE(use);
    EXPECT_GE(double(mfhost::CpuSeconds(int64_t(side) * side, data.size())), 2e-9 * use->WorkLimit) << side;
  }
}

TEST(MetafileHelper, StopEndsADrawingAtOnce) {
  // A helper that would use the processor for a minute: the thread's stop
  // flag, set while it draws, ends it.
  TTestHelper spinning({.Fault = mfjob::TFault::Spin, .CpuSeconds = 60});
  auto metafile = Load(RedSquare());
  auto bitmap = MakeFlatBitmap(40, 40, clWhite);
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
  });
  TMetafileStop scope(stop);
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { bitmap->Canvas()->Draw(0, 0, metafile.get()); }),
            mfhost::kStopped);
  stopper.join();
}

TEST(MetafileHelper, AHelperNeitherWritesNorRemovesFiles) {
  TempDir dir;
  WriteTextFile(dir.File("keep.txt"), "keep me");
  TTestHelper writing({.Fault = mfjob::TFault::Write, .FaultPath = dir.File("keep.txt")});
  auto bitmap = MakeFlatBitmap(40, 40, clWhite);
  bitmap->Canvas()->Draw(0, 0, Load(RedSquare()).get());
  EXPECT_EQ(Count(*bitmap, Bounds(0, 0, 40, 40), clRed), 40 * 40);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"keep.txt"});
}

TEST(MetafileHelper, AHelperHoldsNoDescriptorButItsOwn) {
  // A file this program holds open, to be inherited by any child that does
  // not close it.
  TempDir dir;
  WriteTextFile(dir.File("open.txt"), "open");
  const int open = ::open(dir.File("open.txt").c_str(), O_RDONLY);
  ASSERT_GE(open, 0);
  TTestHelper listing({.Fault = mfjob::TFault::Descriptors});
  auto bitmap = MakeFlatBitmap(9, 9, clWhite);
  const std::string list =
      RaisedMessage<EInvalidGraphic>([&] { bitmap->Canvas()->Draw(0, 0, Load(RedSquare()).get()); });
  ::close(open);
  // The standard ones on /dev/null (or this program's error output, which
  // a sanitizer's build keeps), the channel and the events of Qt's threads
  // (the drawing's block is mapped, its descriptor closed).
  char errors[256] = {};
  (void)!readlink("/proc/self/fd/2", errors, sizeof errors - 1);
  std::istringstream lines(list);
  int count = 0;
  for (std::string fd, target; lines >> fd >> target; ++count) {
    SCOPED_TRACE(fd + " " + target);
    EXPECT_TRUE(target == "/dev/null" || (fd == "2" && target == errors) || target.rfind("socket:", 0) == 0 ||
                target == "anon_inode:[eventfd]");
  }
  EXPECT_GE(count, 5);
}

TEST(MetafileHelper, DrawingsOnSeveralThreadsAtOnceEachGetTheirOwn) {
  // Four threads draw squares of their own colour, five times each, on
  // helpers started for them or left warm by another.
  const TColor colors[] = {clRed, clLime, clBlue, clYellow};
  std::vector<std::thread> threads;
  std::atomic<int> right{0};
  for (TColor color : colors)
    threads.emplace_back([&right, color] {
      const std::vector<uint8_t> data =
          SquareEmf(40).SolidBrush(1, color).Select(1).Select(kNullPen).Rect(0, 0, 40, 40).Finish();
      for (int i = 0; i < 5; ++i) {
        auto bitmap = MakeFlatBitmap(40, 40, clWhite);
        bitmap->Canvas()->Draw(0, 0, Load(data).get());
        if (Count(*bitmap, Bounds(0, 0, 40, 40), color) == 40 * 40) ++right;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(right, 20);
}

TEST(MetafileHelper, OnlyTheFrameChanges) {
  // The metafile paints beyond its own frame; drawn into (10, 5)-(30, 25),
  // partly outside the canvas on the left, on canvases of every format.
  const std::vector<uint8_t> data = SquareEmf(40).RedFill().Rect(-100, -100, 200, 200).Finish();
  for (TPixelFormat format : {pf24bit, pf32bit, pf8bit}) {
    SCOPED_TRACE(format);
    auto bitmap = MakeFlatBitmap(40, 30, clWhite, format);
    bitmap->Canvas()->StretchDraw(::Rect(-10, 5, 30, 25), Load(data).get());
    EXPECT_EQ(Count(*bitmap, Bounds(0, 5, 30, 20), clRed), 30 * 20);
    EXPECT_EQ(Count(*bitmap, Bounds(0, 0, 40, 30), clWhite), 40 * 30 - 30 * 20);
  }
}

}  // namespace
