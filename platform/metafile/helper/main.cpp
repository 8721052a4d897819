// brightmill-metafile: draws metafiles for the program that starts it
// (see platform/metafile/helperhost.h), one drawing at a time, on a
// surface of its own that the program fills and reads back (or straight
// into the drawing's shared memory). It holds no descriptor but its channel
// to the program (3) and Qt's own, may open no file but for reading its
// fonts, runs in a session of its own under a system-call filter and hard
// limits it cannot raise (the program sets each drawing's limits below
// them), and ends with the program. It waits for drawings until the
// program closes the channel or ends it.
#include <dirent.h>
#include <fcntl.h>
#include <linux/io_uring.h>
#include <linux/sched.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/metafile/helper/sandbox.h"
#include "platform/metafile/helperjob.h"
#include "platform/metafile/metafile.h"

namespace {

// The program that started the helper (its filter refuses getppid).
pid_t Program = -1;

// The address space the helper takes now.
int64_t AddressSpace() {
  FILE* file = std::fopen("/proc/self/statm", "re");
  if (!file) return 0;
  long pages = 0;
  if (std::fscanf(file, "%ld", &pages) != 1) pages = 0;
  std::fclose(file);
  return int64_t(pages) * sysconf(_SC_PAGESIZE);
}

void Limit(int resource, rlim_t limit) {
  const rlimit both{limit, limit};
  setrlimit(resource, &both);
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

// The next drawing's block, or -1 when the program has closed the channel.
int Receive() {
  mfjob::TMessage message;
  for (;;) {
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

// The program's next byte; 0 when it has closed the channel.
char ReceiveByte() {
  mfjob::TMessage message;
  for (;;) {
    const ssize_t got = recvmsg(mfjob::kChannel, &message.Header, MSG_CMSG_CLOEXEC);
    if (got < 0 && errno == EINTR) continue;
    return got == 1 ? message.Byte : 0;
  }
}

// --- What tests ask for in place of drawing ----------------------------------------

// Tries what the helper may not do; the drawing follows.
void TryToWrite(const std::string& path) {
  const int fd = open((path + ".new").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    (void)!write(fd, "written", 7);
    close(fd);
  }
  unlink(path.c_str());
}

// What the helper's descriptors lead to, one a line (it may not list
// /proc/self/fd, but it may read the links there).
std::string Descriptors() {
  std::string list;
  for (int fd = 0; fd < 4096; ++fd) {
    if (fcntl(fd, F_GETFD) < 0) continue;
    char target[256] = {};
    const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
    list += std::to_string(fd) + " " + (length > 0 ? std::string(target, size_t(length)) : "?") + "\n";
  }
  return list;
}

// Whether bytes could be read from the file at the offset.
bool ReadsFrom(const std::string& path, off_t offset) {
  const int fd = open(path.c_str(), O_RDONLY);
  char bytes[16];
  const bool read = fd >= 0 && pread(fd, bytes, sizeof bytes, offset) > 0;
  if (fd >= 0) close(fd);
  return read;
}

// A child that ends at once, if one was made: whether none was.
bool NoChild(long pid) {
  if (pid == 0) _exit(0);
  if (pid < 0) return true;
  waitpid(pid_t(pid), nullptr, __WALL);
  return false;
}

// Tries a forbidden operation every way the fault names: whether the
// system refused each of them.
bool Refused(mfjob::TFault fault, const std::string& path) {
  const pid_t program = Program;
  switch (fault) {
    case mfjob::TFault::IoUring: {
      io_uring_params parameters{};
      return syscall(SYS_io_uring_setup, 4, &parameters) < 0;
    }
    case mfjob::TFault::Fork:
      return NoChild(fork());
    case mfjob::TFault::CloneProcess: {
      // The child of clone runs on a copy of this stack, as after fork.
      clone_args arguments{};
      arguments.exit_signal = SIGCHLD;
      const bool clone3 = NoChild(syscall(SYS_clone3, &arguments, sizeof arguments));
      return NoChild(syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0)) && clone3;
    }
    case mfjob::TFault::Signal: {
      siginfo_t info{};
      info.si_code = SI_QUEUE;
      bool refused = kill(program, SIGURG) < 0;
      refused &= syscall(SYS_tgkill, program, program, SIGURG) < 0;
      refused &= syscall(SYS_tkill, program, SIGURG) < 0;
      refused &= syscall(SYS_rt_sigqueueinfo, program, SIGURG, &info) < 0;
      const long pidfd = syscall(SYS_pidfd_open, program, 0);
      return refused && (pidfd < 0 || syscall(SYS_pidfd_send_signal, int(pidfd), SIGURG, nullptr, 0) < 0);
    }
    case mfjob::TFault::RaiseLimit: {
      const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, little{4096, 4096};
      bool refused = setrlimit(RLIMIT_CPU, &unlimited) < 0;
      refused &= prlimit(0, RLIMIT_AS, &unlimited, nullptr) < 0;
      return refused && prlimit(program, RLIMIT_MSGQUEUE, &little, nullptr) < 0;
    }
    case mfjob::TFault::TypeCharacter: {
      const int terminal = open(path.c_str(), O_RDONLY | O_NOCTTY);
      const char typed = 'x';
      const bool refused = terminal < 0 || ioctl(terminal, TIOCSTI, &typed) < 0;
      if (terminal >= 0) close(terminal);
      return refused;
    }
    case mfjob::TFault::Datagram: {
      sockaddr_un named{};
      named.sun_family = AF_UNIX;
      std::snprintf(named.sun_path, sizeof named.sun_path, "%s", path.c_str());
      const auto* address = reinterpret_cast<const sockaddr*>(&named);
      int pair[2];
      bool refused = socketpair(AF_UNIX, SOCK_DGRAM, 0, pair) < 0 || send(pair[0], "x", 1, 0) < 0;
      const int datagram = socket(AF_UNIX, SOCK_DGRAM, 0);
      refused &= datagram < 0 || sendto(datagram, "x", 1, 0, address, sizeof named) < 0;
      // The channel's socket passes bytes to the program alone.
      return refused && sendto(mfjob::kChannel, "x", 1, MSG_NOSIGNAL, address, sizeof named) < 0;
    }
    case mfjob::TFault::ReachProgram: {
      // The program reaches the helper's memory; never the other way.
      char bytes[16] = "reached";
      const iovec here{bytes, sizeof bytes}, there{reinterpret_cast<void*>(std::strtoull(path.c_str(), nullptr, 0)),
                                                   sizeof bytes};
      bool refused = process_vm_readv(program, &here, 1, &there, 1, 0) < 0;
      refused &= process_vm_writev(program, &here, 1, &there, 1, 0) < 0;
      refused &= ptrace(PTRACE_SEIZE, program, nullptr, nullptr) < 0;
      refused &= ptrace(PTRACE_ATTACH, program, nullptr, nullptr) < 0;
      const int memory = open(("/proc/" + std::to_string(program) + "/mem").c_str(), O_RDWR);
      refused &= memory < 0 || pwrite(memory, bytes, sizeof bytes, off_t(uintptr_t(there.iov_base))) < 0;
      if (memory >= 0) close(memory);
      return refused;
    }
    case mfjob::TFault::ReadFile:
      return !ReadsFrom(path, 0);
    case mfjob::TFault::ReadProgramMemory:
      return !ReadsFrom("/proc/" + std::to_string(program) + "/mem", off_t(std::strtoull(path.c_str(), nullptr, 0)));
    case mfjob::TFault::ListFolder: {
      DIR* folder = opendir(path.c_str());
      const bool listed = folder && readdir(folder);
      if (folder) closedir(folder);
      return !listed;
    }
    default:
      return true;
  }
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
    case mfjob::TFault::SpinPastSignal:
      signal(SIGXCPU, SIG_IGN);
      [[fallthrough]];
    case mfjob::TFault::Spin:
      for (uint64_t n = 0;; ++n) asm volatile("" : "+r"(n));
    default:
      for (;;) sleep(60);
  }
  _exit(1);
}

// Plays the job, or does what a test asks in its place: the outcome, and
// the message of a refusal.
mfjob::TOutcome Play(const mfjob::TJobHeader& job, const uint8_t* block, uint8_t* pixels,
                     char (&message)[sizeof job.Message]) {
  const std::string path(job.FaultPath, strnlen(job.FaultPath, sizeof job.FaultPath));
  try {
    switch (job.Fault) {
      case mfjob::TFault::None:
        break;
      case mfjob::TFault::Write:
        TryToWrite(path);
        break;
      case mfjob::TFault::Descriptors:
        std::snprintf(message, sizeof message, "%s", Descriptors().c_str());
        return mfjob::TOutcome::Refused;
      case mfjob::TFault::Crash:
      case mfjob::TFault::Memory:
      case mfjob::TFault::Spin:
      case mfjob::TFault::SpinPastSignal:
      case mfjob::TFault::Sleep:
        Obey(job.Fault);
      default:
        std::snprintf(message, sizeof message, "%s", Refused(job.Fault, path) ? "refused" : "done");
        return mfjob::TOutcome::Refused;
    }
    DrawMetafilePixels(block + job.FileOffset, size_t(job.FileSize), pixels, job.Width, job.Height, job.Stride,
                       job.Left, job.Top, job.RectWidth, job.RectHeight);
    return mfjob::TOutcome::Drawn;
  } catch (const std::bad_alloc&) {
    return mfjob::TOutcome::NoMemory;
  } catch (const EOutOfMemory&) {
    return mfjob::TOutcome::NoMemory;
  } catch (const Exception& error) {
    std::snprintf(message, sizeof message, "%s", error.Message.c_str());
  } catch (...) {
    std::snprintf(message, sizeof message, "%s", "Metafile is not valid");
  }
  return mfjob::TOutcome::Refused;
}

const uint64_t kPageBytes = uint64_t(sysconf(_SC_PAGESIZE));

// A surface of the helper's own for the frame, in large pages where the
// system has them (the program's copies in and out then take a fraction
// of the time); null when the helper may not have that much.
uint8_t* NewSurface(uint64_t bytes) {
  void* at = mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at == MAP_FAILED) return nullptr;
  madvise(at, size_t(bytes), MADV_HUGEPAGE);
  return static_cast<uint8_t*>(at);
}

// Draws the job of the block; false when the helper should end.
bool Serve(int fd) {
  struct stat about {};
  void* at = MAP_FAILED;
  // The program has written every page: mapping them at once costs a
  // fraction of taking them one by one as the painter reaches them.
  if (fstat(fd, &about) == 0 && uint64_t(about.st_size) >= sizeof(mfjob::TJobHeader))
    at = mmap(nullptr, size_t(about.st_size), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, 0);
  close(fd);
  if (at == MAP_FAILED) return false;
  const uint64_t bytes = uint64_t(about.st_size);
  auto* block = static_cast<uint8_t*>(at);
  auto& shared = *reinterpret_cast<mfjob::TJobHeader*>(block);
  shared.Taken = 1;
  mfjob::TJobHeader job;
  std::memcpy(&job, &shared, sizeof job);
  const uint64_t frameBytes = uint64_t(std::max(job.Stride, 0)) * uint64_t(std::max(job.Height, 0));
  const bool fits = job.Magic == mfjob::kMagic && job.Width > 0 && job.Height > 0 && job.FileOffset <= bytes &&
                    job.FileSize <= bytes - job.FileOffset && int64_t(job.Stride) >= 4 * int64_t(job.Width) &&
                    (job.OwnSurface || (job.PixelsOffset <= bytes && frameBytes <= bytes - job.PixelsOffset));
  char message[sizeof job.Message] = "Metafile is not valid";
  mfjob::TOutcome outcome = mfjob::TOutcome::Refused;
  uint8_t* surface = nullptr;
  if (fits && job.OwnSurface) {
    // The program writes the frame on the surface, then says to draw.
    surface = NewSurface(frameBytes);
    if (surface) {
      const std::string said(job.FaultPath, strnlen(job.FaultPath, sizeof job.FaultPath));
      shared.SurfaceAddress = job.Fault == mfjob::TFault::FalseSurface ? std::strtoull(said.c_str(), nullptr, 0)
                                                                       : uint64_t(uintptr_t(surface));
      if (!Send(mfjob::kSurface) || ReceiveByte() != mfjob::kDraw) return false;
      outcome = Play(job, block, surface, message);
    } else {
      outcome = mfjob::TOutcome::NoMemory;
    }
  } else if (fits) {
    outcome = Play(job, block, block + job.PixelsOffset, message);
  }
  std::memcpy(shared.Message, message, sizeof message);
  shared.Outcome = outcome;
  // What the helper keeps after a drawing is its own, and the program
  // retires a helper that keeps too much: the surface goes as the program
  // reads it back (each time the whole pages below the rows it has read),
  // the block before the helper answers for the last time.
  if (surface) {
    if (!Send(mfjob::kDone)) return false;
    for (uint64_t gone = 0; gone < frameBytes;) {
      if (ReceiveByte() != mfjob::kFree) return false;
      const int rows = std::clamp(std::atomic_ref<int32_t>(shared.RowsBack).load(), 0, job.Height);
      const uint64_t back = rows == job.Height ? frameBytes
                                               : uint64_t(job.Stride) * uint64_t(rows) / kPageBytes * kPageBytes;
      if (back > gone) madvise(surface + gone, size_t(back - gone), MADV_DONTNEED);
      gone = std::max(gone, back);
    }
    munmap(surface, size_t(frameBytes));
  }
  munmap(block, bytes);
  malloc_trim(0);
  return Send(surface ? mfjob::kReady : mfjob::kDone);
}

}  // namespace

int main(int argc, char** argv) {
  // Ended with the program that started it: the signal first, then whether
  // that program is still the parent, since it may have ended before.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  Program = getppid();
  if (argc < 2 || Program != pid_t(std::atoll(argv[1]))) _exit(1);
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
  // Hard limits, for the helper's life: nothing to write, no core to dump,
  // few files to open (fontconfig opens a font's file while it loads it),
  // no more address space than the machine has memory, and a few minutes
  // of processor time in all. The program sets each drawing's limits below
  // them before it hands the drawing over; the filter keeps the helper from
  // setting any.
  Limit(RLIMIT_FSIZE, 0);
  Limit(RLIMIT_CORE, 0);
  Limit(RLIMIT_NOFILE, 16);
  Limit(RLIMIT_AS, rlim_t(AddressSpace() + int64_t(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) +
                          mfjob::kSlackBytes));
  Limit(RLIMIT_CPU, rlim_t(mfjob::kLifeCpuSeconds));
  // Where the rules on files or the filter cannot be installed, the helper
  // does not draw.
  if (!LockDownHelper(getpid())) _exit(1);
  // The helper ends without tearing Qt down: nothing of it needs saving.
  if (!Send(mfjob::kReady)) _exit(0);
  for (;;) {
    const int fd = Receive();
    if (fd < 0 || !Serve(fd)) _exit(0);
  }
}
