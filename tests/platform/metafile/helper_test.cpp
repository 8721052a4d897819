// Metafiles drawn in the helper program: a helper that crashes, passes a
// limit or is stopped ends its drawing with an error, and the next drawing
// draws; only the frame changes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/landlock.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/metafile/helperhost.h"
#include "platform/system/bands.h"
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

// Whether the condition holds within ten seconds.
template <typename F>
bool Eventually(F holds) {
  for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
    if (holds()) return true;
  return false;
}

// The helper has been collected (it is no zombie either), and no
// descriptor of this program leads to its channel.
bool Gone(const mfhost::THelperSeen& helper) {
  if (kill(helper.Pid, 0) == 0 || errno != ESRCH) return false;
  for (const std::string& fd : FolderEntries("/proc/self/fd/")) {
    char target[256] = {};
    if (readlink(("/proc/self/fd/" + fd).c_str(), target, sizeof target - 1) > 0 && helper.Channel == target)
      return false;
  }
  return true;
}

// Whether this process may read a child's memory (process_vm_readv), as
// the program reads its helpers'.
bool CanReachAChild() {
  static const char known[] = "known";
  const pid_t child = fork();
  if (child == 0) {
    pause();
    _exit(0);
  }
  char read[sizeof known] = {};
  const iovec here{read, sizeof read}, there{const_cast<char*>(known), sizeof known};
  const bool reached = process_vm_readv(child, &here, 1, &there, 1, 0) == ssize_t(sizeof read);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return reached && std::strcmp(read, known) == 0;
}

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
  // small frames and on frames past the first four million pixels, up to
  // the ceiling that holds every drawing; at the ceiling the bound stops
  // the drawing too. Neither limit passes its ceiling on the largest frame.
  const std::vector<uint8_t> data = RedSquare();
  for (int side : {40, 1000, 2100}) {
    const std::optional<TMetafileDrawUse> use = MetafileDrawUse(data.data(), data.size(), side, side);
    ASSERT_TRUE(use);
    EXPECT_GE(double(mfhost::CpuSeconds(int64_t(side) * side, data.size())),
              std::min(2e-9 * use->WorkLimit, double(mfhost::kCpuCeilingSeconds)))
        << side;
  }
  const int64_t largest = mfhost::CpuSeconds(int64_t(18918) * 18918, size_t(1) << 30);
  EXPECT_LE(largest, mfhost::kCpuCeilingSeconds);
  EXPECT_LE(mfhost::WallMilliseconds(largest), mfhost::kWallCeilingMilliseconds);
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

TEST(MetafileHelper, WhatAHelperMayNotDoFails) {
  // Each row tries what the helper's filter forbids in place of drawing,
  // every way there is, or what it may not open, where the system has
  // Landlock (elsewhere it reads any file). Outside it, witnesses: a named
  // datagram socket, a terminal with its input raw, this program's signals
  // and limits, and a folder with a file of the user's.
  TempDir dir, users;
  WriteTextFile(users.File("letter.txt"), "the user's");
  const std::string named = dir.File("socket");
  const int listener = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", named.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const std::string terminalPath = ptsname(master);
  const int terminal = open(terminalPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios raw{};
  ASSERT_TRUE(terminal >= 0 && tcgetattr(terminal, &raw) == 0);
  cfmakeraw(&raw);
  tcsetattr(terminal, TCSANOW, &raw);
  static std::atomic<int> signals{0};
  struct sigaction counting {}, before{};
  counting.sa_handler = [](int) { ++signals; };
  sigaction(SIGURG, &counting, &before);
  rlimit queues{}, queuesAfter{};
  getrlimit(RLIMIT_MSGQUEUE, &queues);
  static char witness[16] = "this program's";

  const bool landlock = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) > 0;
  const std::string here = std::to_string(uintptr_t(witness));
  const std::tuple<mfjob::TFault, std::string, bool> rows[] = {
      {mfjob::TFault::IoUring, "", false},
      {mfjob::TFault::Fork, "", false},
      {mfjob::TFault::CloneProcess, "", false},
      {mfjob::TFault::Signal, "", false},
      {mfjob::TFault::RaiseLimit, "", false},
      {mfjob::TFault::TypeCharacter, terminalPath, false},
      {mfjob::TFault::Datagram, named, false},
      {mfjob::TFault::ReachProgram, here, false},
      {mfjob::TFault::ReadFile, users.File("letter.txt"), true},
      {mfjob::TFault::ReadProgramMemory, here, true},
      {mfjob::TFault::ListFolder, users.Path(), true}};
  auto metafile = Load(RedSquare());
  for (const auto& [fault, path, files] : rows) {
    if (files && !landlock) continue;
    SCOPED_TRACE(int(fault));
    TTestHelper trying({.Fault = fault, .FaultPath = path});
    auto bitmap = MakeFlatBitmap(9, 9, clWhite);
    EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { bitmap->Canvas()->Draw(0, 0, metafile.get()); }), "refused");
  }
  sigaction(SIGURG, &before, nullptr);
  getrlimit(RLIMIT_MSGQUEUE, &queuesAfter);
  char byte = 0;
  EXPECT_EQ(signals.load(), 0);
  EXPECT_EQ(queuesAfter.rlim_cur, queues.rlim_cur);
  EXPECT_LT(recv(listener, &byte, 1, 0), 0);
  EXPECT_LT(read(terminal, &byte, 1), 0);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"socket"});
  EXPECT_STREQ(witness, "this program's");
  for (int fd : {listener, master, terminal}) close(fd);
}

TEST(MetafileHelper, TextInSeveralFontsDrawsAsInThisProcess) {
  // A helper opens a font's file when it first draws in it, once it has
  // locked itself down: DejaVu's sans, serif and mono, bold, italic and
  // turned, a face the machine lacks, and letters of other scripts, which
  // take fallback fonts where the machine has them.
  const struct {
    std::u16string Face;
    int Weight;
    bool Italic;
    int Escapement;
  } fonts[] = {{u"DejaVu Serif", 400, false, 0}, {u"DejaVu Sans Mono", 700, false, 0},
               {u"DejaVu Sans", 700, true, 450},  {u"DejaVu Serif", 700, true, 0},
               {u"No Such Face", 400, false, 900}, {u"DejaVu Sans Mono", 400, true, 0}};
  Emf e = SquareEmf(480);
  e.Rec(EMR_SETBKMODE, {1});
  for (int i = 0; i < 6; ++i)
    e.FaceFont(1 + i, -14 - 6 * i, fonts[i].Face, fonts[i].Weight, fonts[i].Italic, fonts[i].Escapement)
        .Select(1 + i)
        .TextOut(10, 20 + 75 * i, u"Mill 0123 \u00C6\u00DF \u0391\u03B2 \u0416\u044F \u65E5\u672C \u05D0 \u2211");
  const std::vector<uint8_t> data = e.Finish();
  MetafileDrawUse(data.data(), data.size(), 1, 1);  // this program's Qt application, for drawing here
  auto here = MakeFlatBitmap(480, 480, clWhite), drawn = MakeFlatBitmap(480, 480, clWhite);
  const ptrdiff_t stride = here->ScanLine(1) - here->ScanLine(0);
  DrawMetafileFrame(data.data(), data.size(), here->ScanLine(0), 480, 480, stride, 0, 0, 480, 480);
  drawn->Canvas()->Draw(0, 0, Load(data).get());
  EXPECT_LT(Count(*drawn, Bounds(0, 0, 480, 480), clWhite), 480 * 470);
  EXPECT_EQ(std::memcmp(drawn->ScanLine(0), here->ScanLine(0), stride * 480), 0);
}

TEST(MetafileHelper, ADrawingAfterThePoolsHelpersHaveEndedDraws) {
  // The helpers that drawings on three threads at once left idle end:
  // killed from outside, or retired by the program after an idle time of a
  // millisecond. The next drawing draws, and every ended helper is
  // collected with its channel.
  auto metafile = Load(RedSquare());
  auto draw = [&] {
    auto bitmap = MakeFlatBitmap(40, 40, clWhite);
    bitmap->Canvas()->Draw(0, 0, metafile.get());
    return Count(*bitmap, Bounds(0, 0, 40, 40), clRed);
  };
  for (const bool killed : {true, false}) {
    SCOPED_TRACE(killed ? "killed" : "retired");
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) threads.emplace_back(draw);
    for (std::thread& thread : threads) thread.join();
    const std::vector<mfhost::THelperSeen> idle = mfhost::IdleHelpers();
    ASSERT_FALSE(idle.empty());
    if (killed) {
      for (const mfhost::THelperSeen& helper : idle) kill(helper.Pid, SIGKILL);
    } else {
      TTestHelper brief({.IdleMilliseconds = 1});
      EXPECT_TRUE(Eventually([] { return mfhost::IdleHelpers().empty(); }));
    }
    EXPECT_EQ(draw(), 40 * 40);
    for (const mfhost::THelperSeen& helper : idle) EXPECT_TRUE(Eventually([&] { return Gone(helper); })) << helper.Pid;
  }
}

TEST(MetafileHelper, AHelperStoppedOrPastALimitIsGoneWithItsChannelWhenDrawReturns) {
  // A helper that would go on for a minute is ended by Stop, by the clock,
  // by its processor limit, or by the program's watch of its processor
  // time when it ignores the limit's signal.
  struct Row {
    const char* Name;
    mfhost::TTestSettings Settings;
    const char* Message;
  };
  const Row rows[] = {
      {"stop", {.Fault = mfjob::TFault::Spin, .CpuSeconds = 60}, mfhost::kStopped},
      {"clock", {.Fault = mfjob::TFault::Sleep, .WallMilliseconds = 200}, mfhost::kTooLong},
      {"processor", {.Fault = mfjob::TFault::Spin, .CpuSeconds = 1, .WallMilliseconds = 60000}, mfhost::kTooLong},
      {"signal ignored",
       {.Fault = mfjob::TFault::SpinPastSignal, .CpuSeconds = 1, .WallMilliseconds = 60000},
       mfhost::kTooLong},
  };
  auto metafile = Load(RedSquare());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TTestHelper failing(row.Settings);
    auto bitmap = MakeFlatBitmap(40, 40, clWhite);
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      stop = row.Message == mfhost::kStopped;
    });
    TMetafileStop scope(stop);
    EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { bitmap->Canvas()->Draw(0, 0, metafile.get()); }), row.Message);
    stopper.join();
    EXPECT_TRUE(Gone(mfhost::LastHelper()));
  }
}

TEST(MetafileHelper, AFrameOfWholeRowsComesBackWholeOrAsItWas) {
  // A picture of some megabytes, 1001 pixels wide (a byte between rows),
  // of noise or all white (whose memory goes while the helper draws),
  // through the helper's own surface or the shared block: a red square
  // drawn in its middle comes back and every other byte as it was, the
  // bytes between rows included. A drawing that fails, however, leaves
  // every byte as it was: a crash, a drawing stopped by its bound after
  // it drew some, and a helper that says its surface lies in this
  // program's memory or past the end of any.
  static char witness[16] = "this program's";
  const std::vector<uint8_t> square = SquareEmf(1001).RedFill().Rect(300, 300, 700, 700).Finish();
  // At its size, in the corner: a red fill, then inversions of it.
  Wmf page(0, 0, 256, 256, 96);
  page.Brush(0, clRed).Select(0).Rect(0, 0, 256, 256);
  for (int i = 0; i < 2000; ++i) page.Rec(META_PATBLT, {0x0049, 0x005A, 256, 256, 0, 0});
  const std::vector<uint8_t> costly = page.Finish();
  struct Row {
    const char* Name;
    mfhost::TTestSettings Settings;
    const std::vector<uint8_t>& Data;
    std::string Message;
  };
  const std::string here = std::to_string(uintptr_t(witness));
  const Row rows[] = {
      {"drawn", {}, square, "(nothing raised)"},
      {"drawn through the block", {.SharedFrame = true}, square, "(nothing raised)"},
      {"crash", {.Fault = mfjob::TFault::Crash}, square, mfhost::kCrashed},
      {"crash through the block", {.Fault = mfjob::TFault::Crash, .SharedFrame = true}, square, mfhost::kCrashed},
      {"stopped by its bound", {}, costly, "Metafile is too complex to draw"},
      {"stopped through the block", {.SharedFrame = true}, costly, "Metafile is too complex to draw"},
      {"surface said to be here", {.Fault = mfjob::TFault::FalseSurface, .FaultPath = here}, square, mfhost::kCrashed},
      {"surface said to be past the end",
       {.Fault = mfjob::TFault::FalseSurface, .FaultPath = "0xFFFFFFFFFFFFFF00"},
       square,
       mfhost::kCrashed},
  };
  for (const bool white : {false, true})
    for (const Row& row : rows) {
      if (row.Settings.Fault == mfjob::TFault::FalseSurface && !CanReachAChild()) continue;
      SCOPED_TRACE(std::string(row.Name) + (white ? ", white" : ", noise"));
      auto bitmap = white ? MakeFlatBitmap(1001, 1001, clWhite) : MakeNoiseBitmap(1001, 1001, 7);
      const ptrdiff_t stride = bitmap->ScanLine(1) - bitmap->ScanLine(0);
      for (int y = 0; y < 1001; ++y) bitmap->ScanLine(y)[3 * 1001] = uint8_t(y);
      std::vector<uint8_t> expected(bitmap->ScanLine(0), bitmap->ScanLine(0) + stride * 1001);
      const bool drawn = row.Message == "(nothing raised)";
      for (int y = 300; drawn && y < 700; ++y)
        for (int x = 300; x < 700; ++x) std::memcpy(&expected[stride * y + 3 * x], "\0\0\xFF", 3);
      TTestHelper settings(row.Settings);
      EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { bitmap->Canvas()->Draw(0, 0, Load(row.Data).get()); }),
                row.Message);
      EXPECT_EQ(std::memcmp(bitmap->ScanLine(0), expected.data(), expected.size()), 0);
    }
  EXPECT_STREQ(witness, "this program's");
}

TEST(MetafileHelper, ALargeFrameKeepsItsHelperWarm) {
  // A frame of 4000 x 3000 pixels, whose shared block takes 48 MB, twice:
  // the second drawing goes to the helper of the first, which runs in a
  // session of its own.
  const std::vector<uint8_t> data =
      Emf(0, 0, (4000 * 2540 + 48) / 96, (3000 * 2540 + 48) / 96).RedFill().Rect(0, 0, 4000, 3000).Finish();
  std::vector<pid_t> helpers;
  for (int i = 0; i < 2; ++i) {
    auto bitmap = MakeFlatBitmap(4000, 3000, clWhite);
    bitmap->Canvas()->Draw(0, 0, Load(data).get());
    EXPECT_EQ(PixelAt(*bitmap, 3999, 2999), clRed);
    helpers.push_back(mfhost::LastHelper().Pid);
  }
  EXPECT_EQ(helpers[1], helpers[0]);
  EXPECT_EQ(getsid(helpers[0]), helpers[0]);
}

TEST(MetafileHelper, TheHelpersOwnSurfaceAndTheSharedBlockDrawTheSamePixels) {
  // The chart over frames of 2901 x 2900 (a byte between rows, and two
  // parts coming back): white, noise, and white but for a band of noise;
  // through the helper's own surface (where this program can reach a
  // child's memory, as here) and through the shared block, the bytes of
  // a drawing in this process.
  const std::vector<uint8_t> chart = OrdinaryDrawings()[0].Data;
  MetafileDrawUse(chart.data(), chart.size(), 1, 1);  // this program's Qt application, for drawing here
  const int width = 2901, height = 2900;
  auto frame = [&](int kind) {
    auto bitmap = kind == 1 ? MakeNoiseBitmap(width, height, 3) : MakeFlatBitmap(width, height, clWhite);
    auto noise = MakeNoiseBitmap(width, 300, 5);
    for (int y = 0; kind == 2 && y < 300; ++y) std::memcpy(bitmap->ScanLine(1200 + y), noise->ScanLine(y), 3 * width);
    for (int y = 0; y < height; ++y) bitmap->ScanLine(y)[3 * width] = uint8_t(y);
    return bitmap;
  };
  const bool reached = CanReachAChild();
  for (int kind : {0, 1, 2}) {
    auto here = frame(kind);
    const ptrdiff_t stride = here->ScanLine(1) - here->ScanLine(0);
    DrawMetafileFrame(chart.data(), chart.size(), here->ScanLine(0), width, height, stride, 0, 0, width, height);
    for (const bool shared : {false, true}) {
      SCOPED_TRACE(std::to_string(kind) + (shared ? " through the block" : " on the helper's surface"));
      TTestHelper settings({.SharedFrame = shared});
      auto drawn = frame(kind);
      drawn->Canvas()->StretchDraw(::Rect(0, 0, width, height), Load(chart).get());
      EXPECT_EQ(mfhost::LastHelper().OwnSurface, reached && !shared);
      EXPECT_EQ(std::memcmp(drawn->ScanLine(0), here->ScanLine(0), stride * height), 0);
    }
  }
}

TEST(MetafileHelper, TheFrameGoesAndComesBackWithTheBytesOfOneThread) {
  // The chart at its size, its rows in bands from far smaller frames than
  // a run splits: through the helper and in this process, on one thread
  // and on eight, the same bytes.
  const int most = BandThreads();
  BandThresholdPixels = 4096;
  const std::vector<uint8_t> chart = OrdinaryDrawings()[0].Data;
  MetafileDrawUse(chart.data(), chart.size(), 1, 1);  // this program's Qt application, for drawing here
  auto drawn = [&](int threads, bool here) {
#ifdef _OPENMP
    omp_set_num_threads(threads);
#endif
    auto bitmap = MakeNoiseBitmap(1056, 816, threads);
    const ptrdiff_t stride = bitmap->ScanLine(1) - bitmap->ScanLine(0);
    if (here)
      DrawMetafileFrame(chart.data(), chart.size(), bitmap->ScanLine(0), 1056, 816, stride, 0, 0, 1056, 816);
    else
      bitmap->Canvas()->Draw(0, 0, Load(chart).get());
    return std::string(bitmap->ScanLine(0), bitmap->ScanLine(0) + stride * 816);
  };
  const std::string alone = drawn(1, false);
  for (const auto& [threads, here] : {std::pair{8, false}, {1, true}, {8, true}})
    EXPECT_TRUE(drawn(threads, here) == alone) << threads << (here ? " here" : " in the helper");
#ifdef _OPENMP
  omp_set_num_threads(most);
#endif
  BandThresholdPixels = kBandThresholdPixels;
}

}  // namespace
