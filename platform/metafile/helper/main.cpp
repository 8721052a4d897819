// brightmill-metafile: draws metafiles for the program that starts it
// (see platform/metafile/helperhost.h), one drawing at a time, each under
// hard limits set before it reads the file. It holds no descriptor but its
// channel to the caller (3) and, while it draws, the drawing's shared
// memory; it may write nothing but that memory. It ends when the caller
// closes the channel, or after a drawing that left it larger than it may
// stay.
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/metafile/helper/sandbox.h"
#include "platform/metafile/helperjob.h"
#include "platform/metafile/metafile.h"

namespace {

// What the limit of a drawing's memory leaves beside what the caller
// reckoned: fonts the drawing loads (their files are mapped), threads'
// stacks, the allocator's rounding; and in a sanitizer's build the address
// space its allocator reserves and keeps (never touched memory).
#ifdef BRIGHTMILL_SANITIZED
constexpr int64_t kSlackBytes = int64_t(8) << 30;
#else
constexpr int64_t kSlackBytes = int64_t(64) << 20;
#endif
// A helper that stays this much above its baseline after a drawing ends.
constexpr int64_t kKeptBytes = int64_t(32) << 20;

// The address space the helper takes now.
int64_t AddressSpace() {
  FILE* file = std::fopen("/proc/self/statm", "re");
  if (!file) return 0;
  long pages = 0;
  if (std::fscanf(file, "%ld", &pages) != 1) pages = 0;
  std::fclose(file);
  return int64_t(pages) * sysconf(_SC_PAGESIZE);
}

void Limit(int resource, rlim_t soft, rlim_t hard) {
  rlimit limit{soft, hard};
  setrlimit(resource, &limit);
}
void LimitSoft(int resource, rlim_t soft) {
  rlimit limit{};
  getrlimit(resource, &limit);
  limit.rlim_cur = std::min(soft, limit.rlim_max);
  setrlimit(resource, &limit);
}

int64_t CpuSecondsUsed() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1;
}

// Qt's fonts come up on first use: a line of text is drawn once, so that
// what they take is in the baseline.
// Qt converts large pictures on the threads of its pool, each with a
// descriptor for its events: one thread, kept once started, does that work
// here.
void WarmUp() {
  QThreadPool* pool = QThreadPool::globalInstance();
  pool->setMaxThreadCount(1);
  pool->setExpiryTimeout(-1);
  (void)QFontDatabase::families();
  QImage image(64, 16, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.drawText(0, 12, QStringLiteral("Warm 0123"));
}

bool Send(char byte) {
  ssize_t sent;
  while ((sent = send(mfjob::kChannel, &byte, 1, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return sent == 1;
}

// A helper left idle this long ends, so that a program that drew some
// metafiles long ago holds no helpers' memory; its caller starts a fresh
// one when it draws again.
constexpr int kIdleMilliseconds = 60 * 1000;

// The next drawing's block, or -1 when the caller has gone or left the
// helper idle too long.
int Receive() {
  mfjob::TMessage message;
  for (;;) {
    pollfd channel{mfjob::kChannel, POLLIN, 0};
    const int ready = poll(&channel, 1, kIdleMilliseconds);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return -1;
    const ssize_t got = recvmsg(mfjob::kChannel, &message.Header, MSG_CMSG_CLOEXEC);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return -1;
    cmsghdr* rights = CMSG_FIRSTHDR(&message.Header);
    if (!rights || rights->cmsg_level != SOL_SOCKET || rights->cmsg_type != SCM_RIGHTS) return -1;
    int fd;
    std::memcpy(&fd, CMSG_DATA(rights), sizeof fd);
    return fd;
  }
}

// Tries what the helper may not do; the drawing follows.
void TryToWrite(mfjob::TJobHeader& job) {
  job.FaultPath[sizeof job.FaultPath - 1] = 0;
  const std::string path = job.FaultPath;
  const int fd = open((path + ".new").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    (void)!write(fd, "written", 7);
    close(fd);
  }
  unlink(path.c_str());
}

// What the helper's descriptors lead to, one a line, into the message.
void ListDescriptors(mfjob::TJobHeader& job) {
  std::string list;
  if (DIR* folder = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(folder)) {
      if (entry->d_name[0] == '.' || atoi(entry->d_name) == dirfd(folder)) continue;
      char target[256] = {};
      const ssize_t length = readlinkat(dirfd(folder), entry->d_name, target, sizeof target - 1);
      list += std::string(entry->d_name) + " " + (length > 0 ? std::string(target, size_t(length)) : "?") + "\n";
    }
    closedir(folder);
  }
  std::snprintf(job.Message, sizeof job.Message, "%s", list.c_str());
}

[[noreturn]] void Obey(mfjob::TFault fault) {
  switch (fault) {
    case mfjob::TFault::Crash:
      raise(SIGSEGV);
      break;
    case mfjob::TFault::Memory:
      // Address space straight from the system, whatever allocator the
      // build has, never touched.
      for (;;)
        if (mmap(nullptr, 64 << 20, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED)
          throw std::bad_alloc();
    case mfjob::TFault::Spin:
      for (uint64_t n = 0;; ++n) asm volatile("" : "+r"(n));
    default:
      for (;;) pause();
  }
  _exit(1);
}

// Draws the job of the block; false when the helper should end.
bool Serve(int fd, int64_t baseline) {
  struct stat about {};
  void* at = MAP_FAILED;
  if (fstat(fd, &about) == 0 && uint64_t(about.st_size) >= sizeof(mfjob::TJobHeader))
    at = mmap(nullptr, size_t(about.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (at == MAP_FAILED) return false;
  const uint64_t bytes = uint64_t(about.st_size);
  auto* block = static_cast<uint8_t*>(at);
  auto& job = *reinterpret_cast<mfjob::TJobHeader*>(block);
  const bool fits = job.Magic == mfjob::kMagic && job.Width > 0 && job.Height > 0 &&
                    job.FileOffset <= bytes && job.FileSize <= bytes - job.FileOffset &&
                    job.PixelsOffset <= bytes && uint64_t(job.Stride) >= uint64_t(job.Width) * 3 &&
                    uint64_t(job.Stride) * uint64_t(job.Height) <= bytes - job.PixelsOffset;
  job.Outcome = mfjob::TOutcome::Refused;
  if (fits) {
    // The limits, before the file is read: memory above the baseline (the
    // block is mapped already and counts), processor time from now on.
    LimitSoft(RLIMIT_AS, rlim_t(baseline + std::max<int64_t>(job.MemoryBytes, 0) + kSlackBytes));
    LimitSoft(RLIMIT_CPU, rlim_t(CpuSecondsUsed() + std::max<int64_t>(job.CpuSeconds, 1)));
    try {
      if (job.Fault == mfjob::TFault::Write)
        TryToWrite(job);
      else if (job.Fault == mfjob::TFault::Descriptors)
        ListDescriptors(job);
      else if (job.Fault != mfjob::TFault::None)
        Obey(job.Fault);
      if (job.Fault != mfjob::TFault::Descriptors)
        DrawMetafileFrame(block + job.FileOffset, size_t(job.FileSize), block + job.PixelsOffset, job.Width,
                          job.Height, job.Stride, job.Left, job.Top, job.RectWidth, job.RectHeight);
      job.Outcome = job.Fault == mfjob::TFault::Descriptors ? mfjob::TOutcome::Refused : mfjob::TOutcome::Drawn;
    } catch (const std::bad_alloc&) {
      job.Outcome = mfjob::TOutcome::NoMemory;
    } catch (const EOutOfMemory&) {
      job.Outcome = mfjob::TOutcome::NoMemory;
    } catch (const Exception& error) {
      std::snprintf(job.Message, sizeof job.Message, "%s", error.Message.c_str());
    } catch (...) {
      std::snprintf(job.Message, sizeof job.Message, "%s", "Metafile is not valid");
    }
    LimitSoft(RLIMIT_CPU, RLIM_INFINITY);
    LimitSoft(RLIMIT_AS, RLIM_INFINITY);
  } else {
    std::snprintf(job.Message, sizeof job.Message, "%s", "Metafile is not valid");
  }
  malloc_trim(0);
  job.Retiring = AddressSpace() > baseline + kKeptBytes;
  const bool stay = !job.Retiring;
  munmap(block, bytes);
  return Send(mfjob::kDone) && stay;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  // A write to a file fails rather than ending the helper.
  signal(SIGXFSZ, SIG_IGN);
  // One arena and small stacks for any thread Qt starts: the address space
  // stays close to what the helper uses.
  mallopt(M_ARENA_MAX, 1);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, size_t(1) << 20);
  pthread_setattr_default_np(&attributes);
  pthread_attr_destroy(&attributes);
  // No display: the offscreen platform has the same fonts.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_NO_GLIB", "1");
  QGuiApplication application(argc, argv);
  WarmUp();
  const int64_t baseline = AddressSpace();
  // Nothing to write, no core to dump, few files to open (fontconfig opens
  // a font's file while it loads it).
  Limit(RLIMIT_FSIZE, 0, 0);
  Limit(RLIMIT_CORE, 0, 0);
  Limit(RLIMIT_NOFILE, 16, 16);
  LockDownHelper();
  // The helper ends without tearing Qt down: nothing of it needs saving.
  if (!Send(mfjob::kReady)) _exit(0);
  for (;;) {
    const int fd = Receive();
    if (fd < 0 || !Serve(fd, baseline)) _exit(0);
  }
}
