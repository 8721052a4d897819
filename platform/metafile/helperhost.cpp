// The caller's side of the drawing helper: starting helpers, keeping the
// idle ones warm, handing each drawing over in shared memory and waiting
// for it under the caller's clock and stop flag.
#include "platform/metafile/helperhost.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/metafile/internal.h"
#include "platform/metafile/metafile.h"
#include "platform/system/sysutils.h"

extern char** environ;

namespace mfhost {

const char* const kCrashed = "Metafile drawing ended abnormally";
const char* const kNoMemory = "Metafile needs too much memory to draw";
const char* const kTooLong = "Metafile takes too long to draw";
const char* const kStopped = "Metafile drawing was stopped";
const char* const kNotStarted = "Metafile drawing could not be started";

namespace {

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

// The idle helpers, warm: at most as many as drawings ran at once.
std::mutex IdleLock;
std::vector<THelper> Idle;

// The stop flag of the thread, polled while it waits.
bool StopRequested() { return TMetafileStop::Requested(); }

// Waits for one byte from the helper while the clock and the stop flag
// allow: the byte, 0 when the helper ended, -1 past the deadline, -2 when
// stopped.
int Await(const THelper& helper, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (StopRequested()) return -2;
    if (std::chrono::steady_clock::now() >= deadline) return -1;
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

// Starts a helper and waits until it is ready: its descriptors are the
// channel (kChannel) and /dev/null read-only as its standard ones, its
// signals at their defaults.
bool Start(THelper& helper, const std::string& path) {
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
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char* argv[] = {const_cast<char*>(mfjob::kHelperName), nullptr};
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
  // Qt and the fonts come up in well under a second on any machine.
  const int answer = Await(helper, std::chrono::steady_clock::now() + std::chrono::seconds(30));
  if (answer == mfjob::kReady) return true;
  End(helper);
  if (answer == -2) Fail(kStopped);
  return false;
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

// A job's block of shared memory, unmapped and closed when it goes.
class TBlock {
 public:
  explicit TBlock(uint64_t bytes) : FBytes(bytes) {
    FFd = memfd_create("brightmill-metafile", MFD_CLOEXEC);
    if (FFd < 0 || ftruncate(FFd, off_t(bytes)) != 0) Fail(kNoMemory);
    void* at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, FFd, 0);
    if (at == MAP_FAILED) Fail(kNoMemory);
    FData = static_cast<uint8_t*>(at);
  }
  ~TBlock() {
    if (FData) munmap(FData, FBytes);
    if (FFd >= 0) close(FFd);
  }
  TBlock(const TBlock&) = delete;
  TBlock& operator=(const TBlock&) = delete;
  int Fd() const { return FFd; }
  uint8_t* Data() const { return FData; }
  mfjob::TJobHeader& Header() const { return *reinterpret_cast<mfjob::TJobHeader*>(FData); }

 private:
  uint64_t FBytes;
  int FFd = -1;
  uint8_t* FData = nullptr;
};

THelper TakeHelper(const TTestSettings& settings) {
  if (settings.HelperPath.empty()) {
    std::lock_guard<std::mutex> hold(IdleLock);
    if (!Idle.empty()) {
      THelper helper = Idle.back();
      Idle.pop_back();
      return helper;
    }
  }
  THelper helper;
  if (!Start(helper, settings.HelperPath.empty() ? HelperPath() : settings.HelperPath)) Fail(kNotStarted);
  return helper;
}

void GiveBack(THelper helper) {
  std::lock_guard<std::mutex> hold(IdleLock);
  Idle.push_back(helper);
}

}  // namespace

int64_t CpuSeconds(int64_t framePixels, size_t fileBytes) {
  // Several seconds, and twice the time the player's own bound of the
  // drawing's work stands for (a unit is about a nanosecond of the
  // painter's): a drawing the bound lets through is never ended by this
  // limit, while one whose cost the bound does not see is ended in time.
  // The sanitizers' builds draw several times slower.
#ifdef BRIGHTMILL_SANITIZED
  constexpr double kSlower = 8;
#else
  constexpr double kSlower = 1;
#endif
  return 5 + int64_t(std::ceil(2e-9 * kSlower * mf::WorkLimit(framePixels, fileBytes)));
}

int64_t WallMilliseconds(int64_t cpuSeconds) { return 3000 * cpuSeconds; }

void SetTestSettings(const TTestSettings& settings) {
  std::lock_guard<std::mutex> hold(SettingsLock);
  Settings = settings;
}

void Draw(const uint8_t* data, size_t size, int64_t memoryBytes, uint8_t* frame, int width, int height,
          ptrdiff_t stride, double left, double top, double rectWidth, double rectHeight) {
  if (width <= 0 || height <= 0) return;
  const TTestSettings settings = CurrentSettings();
  const uint64_t rowBytes = uint64_t(AlignedRowBytes(width, 24));
  TBlock block(mfjob::BlockBytes(size, rowBytes, uint64_t(height)));
  mfjob::TJobHeader& header = *new (block.Data()) mfjob::TJobHeader();
  header.FileOffset = mfjob::FileOffset();
  header.FileSize = size;
  header.PixelsOffset = mfjob::PixelsOffset(size);
  header.Width = width;
  header.Height = height;
  header.Stride = int32_t(rowBytes);
  header.Left = left;
  header.Top = top;
  header.RectWidth = rectWidth;
  header.RectHeight = rectHeight;
  header.MemoryBytes = memoryBytes;
  header.CpuSeconds = settings.CpuSeconds > 0 ? settings.CpuSeconds : CpuSeconds(int64_t(width) * height, size);
  header.Fault = settings.Fault;
  std::snprintf(header.FaultPath, sizeof header.FaultPath, "%s", settings.FaultPath.c_str());
  if (size) std::memcpy(block.Data() + header.FileOffset, data, size);
  uint8_t* pixels = block.Data() + header.PixelsOffset;
  for (int y = 0; y < height; ++y) std::memcpy(pixels + rowBytes * y, frame + stride * y, size_t(width) * 3);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(settings.WallMilliseconds > 0 ? settings.WallMilliseconds
                                                                                : WallMilliseconds(header.CpuSeconds));

  THelper helper = TakeHelper(settings);
  // A warm helper may have gone meanwhile: a fresh one takes its place.
  if (!Send(helper, block.Fd())) {
    End(helper);
    helper = TakeHelper(settings);
    if (!Send(helper, block.Fd())) {
      End(helper);
      Fail(kNotStarted);
    }
  }
  const int answer = Await(helper, deadline);
  if (answer != mfjob::kDone) {
    if (answer == -2) {
      End(helper);
      Fail(kStopped);
    }
    if (answer == -1) {
      End(helper);
      Fail(kTooLong);
    }
    const int status = End(helper);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) Fail(kTooLong);
    Fail(kCrashed);
  }
  // A helper stays warm only after a drawing it finished within its bounds
  // and without growing.
  if (header.Retiring || header.Outcome != mfjob::TOutcome::Drawn)
    End(helper);
  else
    GiveBack(helper);
  switch (header.Outcome) {
    case mfjob::TOutcome::Drawn:
      for (int y = 0; y < height; ++y) std::memcpy(frame + stride * y, pixels + rowBytes * y, size_t(width) * 3);
      return;
    case mfjob::TOutcome::Refused:
      header.Message[sizeof header.Message - 1] = 0;
      throw EInvalidGraphic(header.Message);
    case mfjob::TOutcome::NoMemory:
      Fail(kNoMemory);
    default:
      Fail(kCrashed);
  }
}

}  // namespace mfhost
