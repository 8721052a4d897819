// The caller's side of the drawing helper: the pool's thread, which starts
// the helpers and keeps the idle ones, and each drawing's hand-over in
// shared memory under the caller's limits, clock and stop flag.
#include "platform/metafile/helperhost.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/metafile/internal.h"
#include "platform/metafile/metafile.h"
#include "platform/system/bands.h"

extern char** environ;

namespace mfhost {

const char* const kCrashed = "Metafile drawing ended abnormally";
const char* const kNoMemory = "Metafile needs too much memory to draw";
const char* const kTooLong = "Metafile takes too long to draw";
const char* const kStopped = "Metafile drawing was stopped";
const char* const kNotStarted = "Metafile drawing could not be started";

#ifdef BRIGHTMILL_SANITIZED
constexpr int64_t kSlower = 8;
#else
constexpr int64_t kSlower = 1;
#endif
const int64_t kCpuCeilingSeconds = 8 * kSlower;
const int64_t kWallCeilingMilliseconds = 10000 * kSlower;

namespace {

using TClock = std::chrono::steady_clock;

// A helper left idle this long is retired, so that a program that drew
// some metafiles long ago holds no helpers' memory.
constexpr auto kIdleTime = std::chrono::minutes(1);
// A helper that stays this much above its address space when it was
// ready, after a drawing, is retired.
constexpr int64_t kKeptBytes = int64_t(32) << 20;
// Qt and the fonts come up in well under a second on any machine.
constexpr auto kStartTime = std::chrono::seconds(30);

std::mutex SettingsLock;
TTestSettings Settings;

TTestSettings CurrentSettings() {
  std::lock_guard<std::mutex> hold(SettingsLock);
  return Settings;
}

[[noreturn]] void Fail(const char* message) { throw EInvalidGraphic(message); }

// --- Finding the helper ------------------------------------------------------------

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The helper named by the test variable, else the one beside this program,
// else the one the build made.
std::string HelperPath() {
  if (const char* named = getenv(mfjob::kHelperVariable); named && *named) return named;
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    const std::string beside = Folder(std::string(self, size_t(length))) + "/" + mfjob::kHelperName;
    if (access(beside.c_str(), X_OK) == 0) return beside;
  }
#ifdef BRIGHTMILL_METAFILE_HELPER
  return BRIGHTMILL_METAFILE_HELPER;
#else
  return mfjob::kHelperName;
#endif
}

// --- Helpers -----------------------------------------------------------------------

struct THelper {
  pid_t Pid = -1;
  int Channel = -1;
  int64_t Baseline = 0;  // its address space once it was ready
};

// Kills the helper and collects it: what it ended with (its wait status;
// that of its own end when it had ended already).
int End(THelper& helper) {
  int status = 0;
  if (helper.Pid > 0) {
    kill(helper.Pid, SIGKILL);
    while (waitpid(helper.Pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (helper.Channel >= 0) close(helper.Channel);
  helper = THelper();
  return status;
}

// The address space a process takes (0 when it cannot be read).
int64_t AddressSpace(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/statm", int(pid));
  FILE* file = std::fopen(path, "re");
  if (!file) return 0;
  long pages = 0;
  if (std::fscanf(file, "%ld", &pages) != 1) pages = 0;
  std::fclose(file);
  return int64_t(pages) * sysconf(_SC_PAGESIZE);
}

// The processor seconds a process has used; -1 when it has gone.
double CpuTime(pid_t pid) {
  clockid_t clock;
  timespec used{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0) return -1;
  return double(used.tv_sec) + 1e-9 * double(used.tv_nsec);
}

// Starts a helper (on the pool's thread): its descriptors are the channel
// (kChannel) and /dev/null read-only as its standard ones, its signals at
// their defaults, in a session of its own.
bool Spawn(const std::string& path, THelper& helper) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
  // The helper's end must not sit on the channel's number already: its
  // close-on-exec flag would stay.
  if (pair[1] == mfjob::kChannel) {
    const int moved = fcntl(pair[1], F_DUPFD_CLOEXEC, mfjob::kChannel + 1);
    close(pair[1]);
    if (moved < 0) {
      close(pair[0]);
      return false;
    }
    pair[1] = moved;
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  // Sanitizer builds keep the helper's error output: their reports go there.
#ifdef BRIGHTMILL_SANITIZED
  const int quiet = 2;
#else
  const int quiet = 3;
#endif
  for (int fd = 0; fd < quiet; ++fd) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pair[1], mfjob::kChannel);
  posix_spawn_file_actions_addclosefrom_np(&actions, mfjob::kChannel + 1);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
  // The helper checks that this program is its parent.
  std::string program = std::to_string(getpid());
  char* argv[] = {const_cast<char*>(mfjob::kHelperName), program.data(), nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pair[1]);
  if (failed != 0) {
    close(pair[0]);
    return false;
  }
  helper.Pid = pid;
  helper.Channel = pair[0];
  return true;
}

THelperSeen Seen(const THelper& helper) {
  struct stat about {};
  fstat(helper.Channel, &about);
  return {helper.Pid, "socket:[" + std::to_string(about.st_ino) + "]"};
}

// --- The pool ----------------------------------------------------------------------

// One thread of the program, started with its first drawing and living as
// long as the program, starts every helper: a helper's parent-death signal
// comes when the thread that started it ends, which then is the program's
// end, never that of a worker thread. It also keeps the idle helpers,
// retires those left idle too long, and collects at once any that ends
// while idle (its channel hangs up), so that none is handed out again nor
// left a zombie with its channel open.
class TPool {
 public:
  TPool() : FWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) { std::thread([this] { Run(); }).detach(); }

  // A fresh helper, not yet ready; false when none could be started.
  bool Start(const std::string& path, THelper& helper) {
    TRequest request{path};
    std::unique_lock<std::mutex> hold(FLock);
    FRequests.push_back(&request);
    Wake();
    FStarted.wait(hold, [&] { return request.Done; });
    helper = request.Helper;
    return request.Started;
  }
  // An idle helper, the one given back last; false when there is none.
  bool Take(THelper& helper) {
    {
      std::lock_guard<std::mutex> hold(FLock);
      if (FIdle.empty()) return false;
      helper = FIdle.back().Helper;
      FIdle.pop_back();
    }
    Wake();  // its channel is no longer the pool's to watch
    return true;
  }
  void GiveBack(const THelper& helper) {
    {
      std::lock_guard<std::mutex> hold(FLock);
      FIdle.push_back({helper, TClock::now()});
    }
    Wake();
  }
  std::vector<THelperSeen> Idle() {
    std::lock_guard<std::mutex> hold(FLock);
    std::vector<THelperSeen> seen;
    for (const TIdle& idle : FIdle) seen.push_back(Seen(idle.Helper));
    return seen;
  }
  void Wake() {
    const uint64_t one = 1;
    (void)!write(FWake, &one, sizeof one);
  }

 private:
  struct TRequest {
    std::string Path;
    THelper Helper = {};
    bool Started = false, Done = false;
  };
  struct TIdle {
    THelper Helper;
    TClock::time_point Since;
  };

  void Run() {
    for (;;) {
      std::vector<TRequest*> requests;
      std::vector<THelper> ending;
      std::vector<pollfd> watched{{FWake, POLLIN, 0}};
      int timeout = -1;
      {
        std::lock_guard<std::mutex> hold(FLock);
        requests.swap(FRequests);
        const TClock::time_point now = TClock::now();
        const int64_t idle = CurrentSettings().IdleMilliseconds;
        const TClock::duration idleTime = idle > 0 ? std::chrono::milliseconds(idle) : TClock::duration(kIdleTime);
        for (auto at = FIdle.begin(); at != FIdle.end();) {
          if (now - at->Since >= idleTime) {
            ending.push_back(at->Helper);
            at = FIdle.erase(at);
            continue;
          }
          const auto left = std::chrono::ceil<std::chrono::milliseconds>(at->Since + idleTime - now).count();
          timeout = timeout < 0 ? int(left) : std::min(timeout, int(left));
          watched.push_back({at->Helper.Channel, POLLIN, 0});
          ++at;
        }
      }
      if (!requests.empty()) {
        for (TRequest* request : requests) request->Started = Spawn(request->Path, request->Helper);
        std::lock_guard<std::mutex> hold(FLock);
        for (TRequest* request : requests) request->Done = true;
        FStarted.notify_all();
      }
      for (THelper& helper : ending) End(helper);
      if (!requests.empty() || !ending.empty()) continue;
      if (poll(watched.data(), watched.size(), timeout) <= 0) continue;
      uint64_t count;
      (void)!read(FWake, &count, sizeof count);
      // An idle helper says nothing: one whose channel shows anything has
      // ended (or misbehaves). A channel taken meanwhile is not the pool's.
      std::vector<THelper> gone;
      {
        std::lock_guard<std::mutex> hold(FLock);
        for (size_t i = 1; i < watched.size(); ++i) {
          if (!watched[i].revents) continue;
          const auto at = std::find_if(FIdle.begin(), FIdle.end(),
                                       [&](const TIdle& idle) { return idle.Helper.Channel == watched[i].fd; });
          if (at == FIdle.end()) continue;
          gone.push_back(at->Helper);
          FIdle.erase(at);
        }
      }
      for (THelper& helper : gone) End(helper);
    }
  }

  const int FWake;
  std::mutex FLock;
  std::condition_variable FStarted;
  std::vector<TRequest*> FRequests;
  std::vector<TIdle> FIdle;
};

// The pool lives as long as the program: its thread is never joined.
TPool& Pool() {
  static TPool* pool = new TPool;
  return *pool;
}

// --- A drawing ---------------------------------------------------------------------

thread_local THelperSeen LastSeen;

// The stop flag of the thread, polled while it waits.
bool StopRequested() { return TMetafileStop::Requested(); }

// Waits for one byte from the helper while the clock, the helper's
// processor time (cpuLimit seconds, none when negative) and the stop flag
// allow: the byte, 0 when the helper ended, -1 past a limit, -2 when
// stopped. The caller's watch of the processor ends a helper that ignores
// the signal of its own limit.
int Await(const THelper& helper, TClock::time_point deadline, double cpuLimit = -1) {
  for (;;) {
    if (StopRequested()) return -2;
    if (TClock::now() >= deadline || (cpuLimit >= 0 && CpuTime(helper.Pid) > cpuLimit)) return -1;
    pollfd entry{helper.Channel, POLLIN, 0};
    const int ready = poll(&entry, 1, 10);
    if (ready < 0 && errno != EINTR) return 0;
    if (ready <= 0) continue;
    char byte = 0;
    const ssize_t got = recv(helper.Channel, &byte, 1, 0);
    if (got == 1) return static_cast<unsigned char>(byte);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return 0;
  }
}

// A fresh helper, started: it gets ready while the caller goes on.
THelper Begin(const std::string& path) {
  THelper helper;
  if (!Pool().Start(path, helper)) Fail(kNotStarted);
  return helper;
}

// Waits until a fresh helper is ready, and notes its baseline.
void Ready(THelper& helper) {
  const int answer = Await(helper, TClock::now() + kStartTime);
  helper.Baseline = answer == mfjob::kReady ? AddressSpace(helper.Pid) : 0;
  if (helper.Baseline > 0) return;
  End(helper);
  if (answer == -2) Fail(kStopped);
  Fail(kNotStarted);
}

// An idle helper's channel shows nothing: it has not ended.
bool Quiet(const THelper& helper) {
  pollfd entry{helper.Channel, POLLIN, 0};
  return poll(&entry, 1, 0) == 0;
}

// Sets the drawing's soft limits on the helper, below the hard ones it set
// itself when it started (the helper can set none: its filter): memory
// above its baseline, and processor seconds from what it has used. The
// processor time it has used when set (cpuStart); false when the helper
// has gone, or has used so much in its life that this drawing could pass
// the hard limit.
bool SetLimits(const THelper& helper, int64_t memoryBytes, int64_t cpuSeconds, double& cpuStart) {
  rlimit cpu{}, memory{};
  cpuStart = CpuTime(helper.Pid);
  if (cpuStart < 0 || prlimit(helper.Pid, RLIMIT_CPU, nullptr, &cpu) != 0 ||
      prlimit(helper.Pid, RLIMIT_AS, nullptr, &memory) != 0)
    return false;
  cpu.rlim_cur = rlim_t(std::ceil(cpuStart)) + rlim_t(cpuSeconds);
  if (cpu.rlim_max != RLIM_INFINITY && cpu.rlim_cur >= cpu.rlim_max) return false;
  const int64_t address = helper.Baseline + std::max<int64_t>(memoryBytes, 0) + mfjob::kSlackBytes;
  memory.rlim_cur = memory.rlim_max == RLIM_INFINITY ? rlim_t(address) : std::min(memory.rlim_max, rlim_t(address));
  return prlimit(helper.Pid, RLIMIT_CPU, &cpu, nullptr) == 0 && prlimit(helper.Pid, RLIMIT_AS, &memory, nullptr) == 0;
}

// Sends the block to the helper; false when it has gone.
bool Send(const THelper& helper, int block) {
  mfjob::TMessage message;
  message.Byte = 'J';
  cmsghdr* rights = CMSG_FIRSTHDR(&message.Header);
  rights->cmsg_level = SOL_SOCKET;
  rights->cmsg_type = SCM_RIGHTS;
  rights->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(rights), &block, sizeof(int));
  ssize_t sent;
  while ((sent = sendmsg(helper.Channel, &message.Header, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return sent == 1;
}


const size_t kPageBytes = size_t(sysconf(_SC_PAGESIZE));
// The whole pages within [begin, end), as offsets or addresses.
uintptr_t PageUp(uintptr_t at) { return (at + kPageBytes - 1) / kPageBytes * kPageBytes; }
uintptr_t PageDown(uintptr_t at) { return at / kPageBytes * kPageBytes; }

// A drawing's block of shared memory, sealed against shrinking once sized
// (the helper cannot take pages from under the caller), unmapped and closed
// when it goes.
class TBlock {
 public:
  explicit TBlock(uint64_t bytes) : FBytes(bytes) {
    FFd = memfd_create("brightmill-metafile", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (FFd < 0) Fail(kNoMemory);
    void* at = MAP_FAILED;
    if (ftruncate(FFd, off_t(bytes)) == 0 && fcntl(FFd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0)
      at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, FFd, 0);
    if (at == MAP_FAILED) {
      close(FFd);
      Fail(kNoMemory);
    }
    FData = static_cast<uint8_t*>(at);
  }
  ~TBlock() {
    munmap(FData, FBytes);
    close(FFd);
  }
  TBlock(const TBlock&) = delete;
  TBlock& operator=(const TBlock&) = delete;
  int Fd() const { return FFd; }
  uint8_t* Data() const { return FData; }
  mfjob::TJobHeader& Header() const { return *reinterpret_cast<mfjob::TJobHeader*>(FData); }
  // Lets go of the memory of the whole pages within [begin, end).
  void Release(uint64_t begin, uint64_t end) const {
    const uint64_t first = PageUp(begin), last = PageDown(end);
    if (first < last) fallocate(FFd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(first), off_t(last - first));
  }

 private:
  uint64_t FBytes;
  int FFd = -1;
  uint8_t* FData = nullptr;
};

// The frame's 24-bit rows and the block's 32-bit pixels: the frame goes in
// and comes back in bands of rows on every core, each band its own rows.
// Of whole rows, the memory of each band's rows goes once they are in the
// block (the bytes between rows are kept aside), and on the way back that
// of the band's pixels in the block: the frame is held about once.
class TFrame {
 public:
  TFrame(uint8_t* frame, ptrdiff_t stride, int width, int height, bool wholeRows, const TBlock& block)
      : FFrame(frame), FStride(stride), FWidth(width), FHeight(height), FWhole(wholeRows), FBlock(block),
        FPixelsOffset(block.Header().PixelsOffset), FGap(wholeRows ? size_t(stride) - 3 * size_t(width) : 0) {
    FGaps.resize(FGap * size_t(height - 1));
  }
  void Out() {
    uint8_t* pixels = FBlock.Data() + FPixelsOffset;
    ForEachBand(FHeight, FWidth, [&](int first, int last) {
      for (int y = first; y < last; ++y) {
        mfjob::RowTo32(Row(y), FWidth, pixels + 4 * size_t(FWidth) * y);
        if (FGap && y + 1 < FHeight) std::memcpy(FGaps.data() + FGap * y, Row(y) + 3 * FWidth, FGap);
      }
      if (!FWhole) return;
      const auto begin = uintptr_t(Row(first)), end = uintptr_t(last < FHeight ? Row(last) : Row(last - 1) + 3 * FWidth);
      if (PageUp(begin) < PageDown(end))
        madvise(reinterpret_cast<void*>(PageUp(begin)), PageDown(end) - PageUp(begin), MADV_DONTNEED);
    });
  }
  void In() {
    // The block's memory goes in two parts: letting go of it band by band
    // costs more than the whole, and half the frame back beside the block
    // is still below what the picture takes once saved.
    const int half = FHeight / 2;
    In(0, half);
    FBlock.Release(FPixelsOffset, FPixelsOffset + 4 * uint64_t(FWidth) * half);
    In(half, FHeight);
  }

 private:
  void In(int from, int to) {
    const uint8_t* pixels = FBlock.Data() + FPixelsOffset;
    ForEachBand(to - from, FWidth, [&](int first, int last) {
      for (int y = from + first; y < from + last; ++y) {
        mfjob::RowFrom32(pixels + 4 * size_t(FWidth) * y, FWidth, Row(y));
        if (FGap && y + 1 < FHeight) std::memcpy(Row(y) + 3 * FWidth, FGaps.data() + FGap * y, FGap);
      }
    });
  }
  uint8_t* Row(int y) const { return FFrame + FStride * y; }
  uint8_t* FFrame;
  ptrdiff_t FStride;
  int FWidth, FHeight;
  bool FWhole;
  const TBlock& FBlock;
  uint64_t FPixelsOffset;
  size_t FGap;
  std::vector<uint8_t> FGaps;
};

// A helper for a drawing: an idle one (warm) when there is one, else a
// fresh one, which gets ready while the caller fills the block.
struct TTaken {
  THelper Helper;
  bool Warm = false;
};
TTaken Take(const TTestSettings& settings) {
  TTaken taken;
  const bool own = !settings.HelperPath.empty();
  taken.Warm = !own && Pool().Take(taken.Helper);
  if (!taken.Warm) taken.Helper = Begin(own ? settings.HelperPath : HelperPath());
  return taken;
}

// Hands the drawing in the block to the helper taken for it, and waits for
// it: what the helper wrote in the block's header, copied out (the helper
// could still write the block). Raises when the helper fails; the helper
// is collected, or given back to the pool, either way.
mfjob::TJobHeader Hand(const TBlock& block, TTaken taken, const TTestSettings& settings, int64_t memoryBytes,
                       int64_t cpuSeconds, int64_t wallMilliseconds) {
  THelper& helper = taken.Helper;
  for (bool warm = taken.Warm;; warm = false) {
    if (!warm) {
      if (helper.Pid < 0) helper = Begin(settings.HelperPath.empty() ? HelperPath() : settings.HelperPath);
      Ready(helper);
    }
    double cpuStart = 0;
    const bool handed = (!warm || Quiet(helper)) && SetLimits(helper, memoryBytes, cpuSeconds, cpuStart) &&
                        Send(helper, block.Fd());
    const int answer = handed ? Await(helper, TClock::now() + std::chrono::milliseconds(wallMilliseconds),
                                      cpuStart + double(cpuSeconds) + 1)
                              : 0;
    // A warm helper that had ended, or ended before it took the drawing:
    // a fresh one takes it, never another idle one that may have ended too.
    if (warm && answer == 0 && !std::atomic_ref<int32_t>(block.Header().Taken).load()) {
      End(helper);
      continue;
    }
    LastSeen = Seen(helper);
    if (answer != mfjob::kDone) {
      const int status = End(helper);
      if (answer == -2) Fail(kStopped);
      if (answer == -1 || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) Fail(kTooLong);
      Fail(handed ? kCrashed : kNotStarted);
    }
    mfjob::TJobHeader answered;
    std::memcpy(&answered, &block.Header(), sizeof answered);
    answered.Message[sizeof answered.Message - 1] = 0;
    // A helper stays warm only after a drawing it finished within its
    // bounds and without growing.
    if (settings.HelperPath.empty() && answered.Outcome == mfjob::TOutcome::Drawn &&
        AddressSpace(helper.Pid) <= helper.Baseline + kKeptBytes)
      Pool().GiveBack(helper);
    else
      End(helper);
    return answered;
  }
}

}  // namespace

int64_t CpuSeconds(int64_t framePixels, size_t fileBytes) {
  // Twice the time the player's own bound of the drawing's work stands for
  // (a unit is about a nanosecond of the painter's), and a second for the
  // limit's whole seconds: a drawing the bound lets through is never ended
  // by this limit, while one whose cost the bound does not see is ended in
  // time. Never more than the ceiling.
  const double bound = 2e-9 * double(kSlower) * mf::WorkLimit(framePixels, fileBytes);
  return std::min<int64_t>(kCpuCeilingSeconds, 1 + int64_t(std::ceil(std::min(bound, double(kCpuCeilingSeconds)))));
}

int64_t WallMilliseconds(int64_t cpuSeconds) { return std::min(kWallCeilingMilliseconds, 3000 * cpuSeconds); }

void SetTestSettings(const TTestSettings& settings) {
  {
    std::lock_guard<std::mutex> hold(SettingsLock);
    Settings = settings;
  }
  Pool().Wake();  // the idle time may have changed
}

std::vector<THelperSeen> IdleHelpers() { return Pool().Idle(); }

THelperSeen LastHelper() { return LastSeen; }

void Draw(const uint8_t* data, size_t size, int64_t memoryBytes, uint8_t* frame, int width, int height,
          ptrdiff_t stride, bool wholeRows, double left, double top, double rectWidth, double rectHeight) {
  if (width <= 0 || height <= 0) return;
  const TTestSettings settings = CurrentSettings();
  TBlock block(mfjob::BlockBytes(size, uint64_t(width), uint64_t(height)));
  mfjob::TJobHeader& header = *new (block.Data()) mfjob::TJobHeader();
  header.FileOffset = mfjob::FileOffset();
  header.FileSize = size;
  header.PixelsOffset = mfjob::PixelsOffset(size);
  header.Width = width;
  header.Height = height;
  header.Stride = 4 * width;
  header.Left = left;
  header.Top = top;
  header.RectWidth = rectWidth;
  header.RectHeight = rectHeight;
  header.Fault = settings.Fault;
  std::snprintf(header.FaultPath, sizeof header.FaultPath, "%s", settings.FaultPath.c_str());
  if (size) std::memcpy(block.Data() + header.FileOffset, data, size);
  const int64_t cpuSeconds =
      settings.CpuSeconds > 0 ? settings.CpuSeconds : CpuSeconds(int64_t(width) * height, size);
  const int64_t wallMilliseconds =
      settings.WallMilliseconds > 0 ? settings.WallMilliseconds : WallMilliseconds(cpuSeconds);

  // The frame comes back whatever becomes of the drawing: its memory may
  // have gone meanwhile. A fresh helper gets ready while the frame goes
  // out.
  TFrame pixels(frame, stride, width, height, wholeRows, block);
  TTaken taken = Take(settings);
  pixels.Out();
  mfjob::TJobHeader answered;
  try {
    answered = Hand(block, taken, settings, memoryBytes, cpuSeconds, wallMilliseconds);
  } catch (...) {
    pixels.In();
    throw;
  }
  pixels.In();
  switch (answered.Outcome) {
    case mfjob::TOutcome::Drawn:
      return;
    case mfjob::TOutcome::Refused:
      throw EInvalidGraphic(answered.Message);
    case mfjob::TOutcome::NoMemory:
      Fail(kNoMemory);
    default:
      Fail(kCrashed);
  }
}

}  // namespace mfhost
