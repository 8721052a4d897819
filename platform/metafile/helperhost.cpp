// The caller's side of the drawing helper: the pool's thread, which starts
// the helpers and keeps the idle ones, and each drawing's hand-over under
// the caller's limits, clock and stop flag.
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
#include <sys/uio.h>
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
#include <memory>
#include <mutex>
#include <optional>
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

// --- Reaching a helper's memory ----------------------------------------------------

// Whether this program may read and write its helpers' memory
// (process_vm_readv and process_vm_writev, which the system allows a
// process on a child of the same user that it has not collected, unless a
// policy or a container's filter forbids them). Found on the first helper
// started, and kept.
enum class TReach { Unknown, Yes, No };
std::atomic<TReach> Reach{TReach::Unknown};

// Reads a byte at address 0 of the helper, which nothing maps: the
// system's refusal (EPERM, or ENOSYS where there is no such call) comes
// before the address is looked at, so EFAULT tells that the helper can be
// reached. A helper that has gone tells nothing.
void FindReach(pid_t helper) {
  if (Reach.load() != TReach::Unknown) return;
  char byte = 0;
  const iovec here{&byte, 1}, there{nullptr, 1};
  if (process_vm_readv(helper, &here, 1, &there, 1, 0) >= 0 || errno == EFAULT)
    Reach = TReach::Yes;
  else if (errno == EPERM || errno == ENOSYS || errno == EACCES)
    Reach = TReach::No;
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
        for (TRequest* request : requests) {
          request->Started = Spawn(request->Path, request->Helper);
          if (request->Started) FindReach(request->Helper.Pid);
        }
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

// Sends a byte without a descriptor; false when the helper has gone.
bool Say(const THelper& helper, char byte) {
  ssize_t sent;
  while ((sent = send(helper.Channel, &byte, 1, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return sent == 1;
}

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

// The bytes of the buffer each band of rows moves the helper's pixels
// through: a few rows, which stay in the core's cache between converting
// and moving them.
constexpr size_t kStagingBytes = size_t(256) << 10;
// A frame of this many bytes on the helper's side comes back in a part
// each, the helper's memory of each part going once it is back, up to
// kMostParts.
constexpr uint64_t kPartBytes = uint64_t(16) << 20;
constexpr uint64_t kMostParts = 4;

// Where the helper's 32-bit pixels lie: in the block shared with it
// (Pixels), or on a surface in its own memory at Address (reached while
// the helper, not yet collected, keeps its process id).
struct TSurface {
  uint8_t* Pixels = nullptr;
  pid_t Helper = -1;
  uint64_t Address = 0;
};

// The frame's 24-bit rows and their 32-bit pixels on the helper's side:
// the frame goes out and comes back in bands of rows on every core, each
// band its own rows; straight into the block's pixels, or through a buffer
// of each band's into the helper's surface. Rows all of one colour (the
// first pixel's) go out without being converted, and when the frame's
// rows are the caller's alone (wholeRows) their memory goes while the
// helper draws (the bytes between rows kept aside): the frame is held
// about once, as the helper's. They come back with the drawing, or as
// they were when the drawing fails (Restore). The frame is read and
// written only here, within its rows (and the bytes between them).
class TFrame {
 public:
  TFrame(uint8_t* frame, ptrdiff_t stride, int width, int height, bool wholeRows)
      : FFrame(frame), FStride(stride), FWidth(width), FHeight(height), FRowBytes(4 * size_t(width)),
        FChunk(int(std::clamp<size_t>(kStagingBytes / FRowBytes, 1, size_t(height)))), FWhole(wholeRows && stride > 0),
        FGap(FWhole ? size_t(stride) - 3 * size_t(width) : 0), FGaps(FGap * size_t(height - 1)),
        FReleased(size_t(height)), FColour(3 * size_t(width)), FColour32(FRowBytes * size_t(FChunk)) {
    for (int x = 0; x < width; ++x) std::memcpy(&FColour[3 * size_t(x)], frame, 3);
    for (int y = 0; y < FChunk; ++y) mfjob::RowTo32(FColour.data(), width, &FColour32[FRowBytes * y]);
    for (int y = 0; y + 1 < height && FGap; ++y) std::memcpy(&FGaps[FGap * y], Row(y) + 3 * width, FGap);
  }
  uint64_t Bytes() const { return uint64_t(FRowBytes) * uint64_t(FHeight); }

  // To the surface; false when a move fell short (the helper has gone, or
  // its surface is not where it said). This program reads and writes
  // nothing but its own memory there, and the helper's only within the
  // frame's bytes from the surface's address, whatever the helper claims.
  bool Out(const TSurface& to) {
    return Fits(to) && Bands(0, FHeight, !to.Pixels, [&](int first, int last, uint8_t* staging) {
             bool uniform = true;
             for (int y = first; y < last; y += FChunk) {
               const int rows = std::min(FChunk, last - y);
               bool same = true;
               for (int i = 0; i < rows && same; ++i) same = std::memcmp(Row(y + i), FColour.data(), FColour.size()) == 0;
               uniform &= same;
               uint8_t* pixels = same ? FColour32.data() : to.Pixels ? to.Pixels + FRowBytes * y : staging;
               for (int i = 0; i < rows && !same; ++i) mfjob::RowTo32(Row(y + i), FWidth, pixels + FRowBytes * i);
               if (to.Pixels && same) std::memcpy(to.Pixels + FRowBytes * y, pixels, FRowBytes * rows);
               if (!to.Pixels && !Move(to.Helper, process_vm_writev, pixels, to.Address + FRowBytes * y, rows))
                 return false;
             }
             if (uniform) Release(first, last);
             return true;
           });
  }
  // From the surface, in parts of rows; gone(rows) once the first rows
  // are back, for each part. False when a move fell short.
  template <typename Gone>
  bool In(const TSurface& from, Gone gone) {
    if (!Fits(from)) return false;
    const int parts = int(std::clamp<uint64_t>(Bytes() / kPartBytes, 1, kMostParts));
    for (int part = 0, done = 0; part < parts; ++part) {
      const int end = int(int64_t(FHeight) * (part + 1) / parts);
      const bool back = Bands(done, end, !from.Pixels, [&](int first, int last, uint8_t* staging) {
        for (int y = first; y < last; y += FChunk) {
          const int rows = std::min(FChunk, last - y);
          uint8_t* pixels = from.Pixels ? from.Pixels + FRowBytes * y : staging;
          if (!from.Pixels && !Move(from.Helper, process_vm_readv, pixels, from.Address + FRowBytes * y, rows))
            return false;
          for (int i = 0; i < rows; ++i) {
            mfjob::RowFrom32(pixels + FRowBytes * i, FWidth, Row(y + i));
            Restored(y + i);
          }
        }
        return true;
      });
      if (!back) return false;
      gone(end);
      done = end;
    }
    return true;
  }
  // The rows whose memory went, as they were.
  void Restore() {
    ForEachRowInBands(FHeight, FWidth, [&](int y) {
      if (FReleased[y]) std::memcpy(Row(y), FColour.data(), FColour.size());
      Restored(y);
    });
  }

 private:
  using TMove = ssize_t(pid_t, const iovec*, unsigned long, const iovec*, unsigned long, unsigned long);
  bool Move(pid_t helper, TMove* move, uint8_t* staging, uint64_t at, int rows) const {
    const size_t bytes = FRowBytes * size_t(rows);
    const iovec here{staging, bytes}, there{reinterpret_cast<void*>(uintptr_t(at)), bytes};
    return move(helper, &here, 1, &there, 1, 0) == ssize_t(bytes);
  }
  bool Fits(const TSurface& surface) const { return surface.Pixels || surface.Address <= UINTPTR_MAX - Bytes(); }
  // Calls band(first, last, staging) over bands of the rows [from, to) on
  // every core, each with a buffer of its own of FChunk rows when staged;
  // false when one returned false (the bands not yet begun are left then).
  template <typename F>
  bool Bands(int from, int to, bool staged, F band) {
    std::atomic<bool> failed{false};
    ForEachBand(to - from, FWidth, [&](int first, int last) {
      if (failed.load(std::memory_order_relaxed)) return;
      std::unique_ptr<uint8_t[]> staging;
      if (staged) staging.reset(new uint8_t[FRowBytes * size_t(std::min(FChunk, last - first))]);
      if (!band(from + first, from + last, staging.get())) failed = true;
    });
    return !failed;
  }
  // Lets go of the memory of the whole pages of the rows [first, last) of
  // one colour, when they are the caller's alone.
  void Release(int first, int last) {
    if (!FWhole) return;
    const auto begin = uintptr_t(Row(first)), end = uintptr_t(last < FHeight ? Row(last) : Row(last - 1) + 3 * FWidth);
    if (PageUp(begin) < PageDown(end) &&
        madvise(reinterpret_cast<void*>(PageUp(begin)), PageDown(end) - PageUp(begin), MADV_DONTNEED) == 0)
      std::fill(FReleased.begin() + first, FReleased.begin() + last, 1);
  }
  // Row y, whose pixels are back, with the bytes after it when its memory went.
  void Restored(int y) {
    if (!FReleased[y]) return;
    // (Rows of a width that is a multiple of 4 have no bytes between them.)
    if (y + 1 < FHeight && FGap) std::memcpy(Row(y) + 3 * FWidth, FGaps.data() + FGap * y, FGap);
    FReleased[y] = 0;
  }
  uint8_t* Row(int y) const { return FFrame + FStride * y; }
  uint8_t* FFrame;
  ptrdiff_t FStride;
  int FWidth, FHeight;
  size_t FRowBytes;
  int FChunk;  // rows a buffer holds
  bool FWhole;
  size_t FGap;
  std::vector<uint8_t> FGaps, FReleased;
  std::vector<uint8_t> FColour, FColour32;  // a row of the first pixel's colour, and FChunk rows of it in 32 bits
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
// could still write the block). When own, the drawing is on the helper's
// own surface: the frame goes there once the helper holds it, and comes
// back once drawn. Raises when the helper fails; the helper is collected,
// or given back to the pool, either way (taken then holds none).
mfjob::TJobHeader Hand(const TBlock& block, TTaken& taken, const TTestSettings& settings, int64_t memoryBytes,
                       int64_t cpuSeconds, int64_t wallMilliseconds, TFrame& frame, bool own) {
  THelper& helper = taken.Helper;
  for (bool warm = taken.Warm;; warm = false) {
    if (!warm) {
      if (helper.Pid < 0) helper = Begin(settings.HelperPath.empty() ? HelperPath() : settings.HelperPath);
      Ready(helper);
    }
    double cpuStart = 0;
    const bool handed = (!warm || Quiet(helper)) && SetLimits(helper, memoryBytes, cpuSeconds, cpuStart) &&
                        Send(helper, block.Fd());
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(wallMilliseconds);
    const double cpuLimit = cpuStart + double(cpuSeconds) + 1;
    int answer = handed ? Await(helper, deadline, cpuLimit) : 0;
    TSurface surface{nullptr, helper.Pid, 0};
    if (own && answer == mfjob::kSurface) {
      surface.Address = std::atomic_ref<uint64_t>(block.Header().SurfaceAddress).load();
      answer = frame.Out(surface) && Say(helper, mfjob::kDraw) ? Await(helper, deadline, cpuLimit) : 0;
    }
    // A warm helper that had ended, or ended before it took the drawing:
    // a fresh one takes it, never another idle one that may have ended too.
    if (warm && answer == 0 && !std::atomic_ref<int32_t>(block.Header().Taken).load()) {
      End(helper);
      continue;
    }
    LastSeen = Seen(helper);
    LastSeen.OwnSurface = own;
    if (answer != mfjob::kDone) {
      const int status = End(helper);
      if (answer == -2) Fail(kStopped);
      if (answer == -1 || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) Fail(kTooLong);
      Fail(handed ? kCrashed : kNotStarted);
    }
    mfjob::TJobHeader answered;
    std::memcpy(&answered, &block.Header(), sizeof answered);
    answered.Message[sizeof answered.Message - 1] = 0;
    const bool drawn = answered.Outcome == mfjob::TOutcome::Drawn;
    // The helper lets its surface go part by part as the drawing comes back.
    const bool back = !own || !drawn || frame.In(surface, [&](int rows) {
      std::atomic_ref<int32_t>(block.Header().RowsBack).store(rows);
      Say(helper, mfjob::kFree);
    });
    if (!back) {
      End(helper);
      Fail(kCrashed);
    }
    // A helper stays warm only after a drawing it finished within its
    // bounds, having let its surface go, and without growing.
    const bool freed =
        drawn && (!own || Await(helper, std::max(deadline, TClock::now() + std::chrono::seconds(1))) == mfjob::kReady);
    if (settings.HelperPath.empty() && freed && AddressSpace(helper.Pid) <= helper.Baseline + kKeptBytes) {
      Pool().GiveBack(helper);
      helper = THelper();
    } else {
      End(helper);
    }
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
  // The first helper started tells whether helpers can be reached.
  TTaken taken = Take(settings);
  const bool own = !settings.SharedFrame && Reach.load() == TReach::Yes;
  mfjob::TJobHeader answered;
  std::optional<TFrame> pixels;
  try {
    const TBlock block(mfjob::BlockBytes(size, own ? 0 : uint64_t(width), own ? 0 : uint64_t(height)));
    mfjob::TJobHeader& header = *new (block.Data()) mfjob::TJobHeader();
    header.FileOffset = mfjob::FileOffset();
    header.FileSize = size;
    header.PixelsOffset = mfjob::PixelsOffset(size);
    header.Width = width;
    header.Height = height;
    header.Stride = 4 * width;
    header.OwnSurface = own;
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
    pixels.emplace(frame, stride, width, height, wholeRows);
    // Through the block, its memory goes part by part as the drawing comes
    // back.
    const uint64_t shared = mfjob::PixelsOffset(size);
    const TSurface inBlock{block.Data() + shared};
    if (!own) pixels->Out(inBlock);
    answered = Hand(block, taken, settings, memoryBytes, cpuSeconds, wallMilliseconds, *pixels, own);
    if (!own && answered.Outcome == mfjob::TOutcome::Drawn)
      pixels->In(inBlock, [&, done = uint64_t(0)](int rows) mutable {
        block.Release(shared + done, shared + 4 * uint64_t(width) * uint64_t(rows));
        done = 4 * uint64_t(width) * uint64_t(rows);
      });
  } catch (...) {
    if (taken.Helper.Pid > 0) End(taken.Helper);
    if (pixels) pixels->Restore();
    throw;
  }
  // A drawing that failed leaves the frame as it was.
  if (answered.Outcome != mfjob::TOutcome::Drawn) pixels->Restore();
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
