// The helper's system-call filter, an allow-list: once Qt and its fonts are
// up, the helper may use memory, futexes and threads, read files (fonts
// load lazily; no open for writing), read the clocks, talk over its channel
// to the program and end. Every other call fails with EPERM, among them
// io_uring, starting a process (clone only makes threads, and clone3
// answers ENOSYS so that the C library falls back on clone), a signal to
// any process but itself, a new resource limit, a socket, an ioctl, and
// reaching another process's memory (ptrace, process_vm_readv and
// process_vm_writev: the program reaches the helper's, never the other
// way).
#include "platform/metafile/helper/sandbox.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/sched.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/metafile/helperjob.h"

namespace {

#if defined(__x86_64__)
constexpr uint32_t kArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kArchitecture = AUDIT_ARCH_AARCH64;
#endif

// A condition on the low 32 bits of an argument (descriptors, process ids,
// flags and commands are 32-bit for the kernel), or on all 64 (Zero).
struct TTest {
  enum TKind { In, Clear, Set, Zero } Kind;
  int Argument;
  std::initializer_list<uint32_t> Values;  // In: any of them; Clear, Set: one mask
};
TTest ArgIn(int argument, std::initializer_list<uint32_t> values) { return {TTest::In, argument, values}; }
// None of the bits of the mask set, or all of them.
TTest ArgClear(int argument, std::initializer_list<uint32_t> mask) { return {TTest::Clear, argument, mask}; }
TTest ArgSet(int argument, std::initializer_list<uint32_t> mask) { return {TTest::Set, argument, mask}; }
TTest ArgZero(int argument) { return {TTest::Zero, argument, {}}; }

uint32_t Low(int argument) { return uint32_t(offsetof(seccomp_data, args) + 8 * argument); }
uint32_t High(int argument) { return Low(argument) + 4; }

class TFilter {
 public:
  TFilter() {
    // Only this machine's calls (on x86-64, none of the x32 numbers).
    Add(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    Add(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArchitecture, 1, 0));
    Add(Return(SECCOMP_RET_KILL_PROCESS));
    Add(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
#if defined(__x86_64__)
    Add(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1));
    Add(Return(SECCOMP_RET_KILL_PROCESS));
#endif
  }

  // The call passes when every test does, else it fails with EPERM.
  TFilter& Allow(long call, std::initializer_list<TTest> tests = {}) {
    std::vector<sock_filter> block;
    std::vector<size_t> failing;  // jumps to the block's last statement
    for (const TTest& test : tests) {
      block.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, Low(test.Argument)));
      switch (test.Kind) {
        case TTest::In: {
          size_t left = test.Values.size();
          for (uint32_t value : test.Values) {
            --left;
            block.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, uint8_t(left), 0));
            if (!left) failing.push_back(block.size() - 1);
          }
          break;
        }
        case TTest::Clear:
          block.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, *test.Values.begin(), 0, 1));
          block.push_back(BPF_JUMP(BPF_JMP | BPF_JA, 0, 0, 0));
          failing.push_back(block.size() - 1);
          break;
        case TTest::Set:
          block.push_back(BPF_STMT(BPF_ALU | BPF_AND | BPF_K, *test.Values.begin()));
          block.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, *test.Values.begin(), 0, 0));
          failing.push_back(block.size() - 1);
          break;
        case TTest::Zero:
          block.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 0));
          failing.push_back(block.size() - 1);
          block.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, High(test.Argument)));
          block.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 0));
          failing.push_back(block.size() - 1);
          break;
      }
    }
    block.push_back(Return(SECCOMP_RET_ALLOW));
    if (tests.size()) {
      block.push_back(Return(SECCOMP_RET_ERRNO | EPERM));
      const size_t deny = block.size() - 1;
      for (size_t at : failing) {
        if (BPF_OP(block[at].code) == BPF_JA)
          block[at].k = uint32_t(deny - at - 1);
        else
          block[at].jf = uint8_t(deny - at - 1);
      }
    }
    return Call(call, block);
  }
  TFilter& Fail(long call, int error) { return Call(call, {Return(SECCOMP_RET_ERRNO | uint32_t(error))}); }

  // Every call not named fails with EPERM.
  bool Install() {
    Add(Return(SECCOMP_RET_ERRNO | EPERM));
    const sock_fprog program{static_cast<unsigned short>(FProgram.size()), FProgram.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
  }

 private:
  static sock_filter Return(uint32_t action) { return BPF_STMT(BPF_RET | BPF_K, action); }
  void Add(sock_filter statement) { FProgram.push_back(statement); }
  // The number is still in the accumulator here: each block ends in a
  // return, so no block needs it back.
  TFilter& Call(long call, const std::vector<sock_filter>& block) {
    Add(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(call), 0, uint8_t(block.size())));
    FProgram.insert(FProgram.end(), block.begin(), block.end());
    return *this;
  }
  std::vector<sock_filter> FProgram;
};

}  // namespace

bool LockDownHelper(pid_t self) {
#if defined(__x86_64__) || defined(__aarch64__)
  const uint32_t pid = uint32_t(self), channel = uint32_t(mfjob::kChannel);
  const uint32_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;
  const uint32_t thread = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD | CLONE_SYSVSEM;
  TFilter filter;
  // Memory and threads, the most frequent first.
  filter.Allow(SYS_futex).Allow(SYS_mmap).Allow(SYS_munmap).Allow(SYS_mprotect).Allow(SYS_madvise);
  filter.Allow(SYS_mremap).Allow(SYS_brk).Allow(SYS_sched_yield).Allow(SYS_set_robust_list).Allow(SYS_rseq);
  filter.Allow(SYS_clone, {ArgSet(0, {thread})}).Fail(SYS_clone3, ENOSYS);
  filter.Allow(SYS_exit).Allow(SYS_exit_group).Allow(SYS_gettid).Allow(SYS_getpid);
  filter.Allow(SYS_sched_getaffinity).Allow(SYS_getrandom).Allow(SYS_membarrier);
  filter.Allow(SYS_prctl, {ArgIn(0, {PR_SET_NAME, PR_GET_NAME})});
  // Signals: its own handlers and masks, and only to itself.
  filter.Allow(SYS_rt_sigaction).Allow(SYS_rt_sigprocmask).Allow(SYS_rt_sigreturn).Allow(SYS_sigaltstack);
  filter.Allow(SYS_tgkill, {ArgIn(0, {pid})}).Allow(SYS_tkill, {ArgIn(0, {pid})}).Allow(SYS_kill, {ArgIn(0, {pid})});
  // Its limits may be read, not set.
  filter.Allow(SYS_prlimit64, {ArgIn(0, {0, pid}), ArgZero(2)}).Allow(SYS_getrlimit).Allow(SYS_getrusage);
  // Clocks and waits.
  filter.Allow(SYS_clock_gettime).Allow(SYS_clock_getres).Allow(SYS_clock_nanosleep).Allow(SYS_nanosleep);
  filter.Allow(SYS_gettimeofday).Allow(SYS_ppoll);
  // Files, for reading: the fonts, and the descriptors it holds.
  filter.Allow(SYS_openat, {ArgClear(2, {writing})}).Allow(SYS_read).Allow(SYS_pread64).Allow(SYS_readv);
  filter.Allow(SYS_close).Allow(SYS_fstat).Allow(SYS_newfstatat).Allow(SYS_statx).Allow(SYS_lseek);
  filter.Allow(SYS_getdents64).Allow(SYS_readlinkat).Allow(SYS_faccessat).Allow(SYS_faccessat2);
  filter.Allow(SYS_fstatfs).Allow(SYS_statfs).Allow(SYS_getcwd).Allow(SYS_uname).Allow(SYS_sysinfo);
  filter.Allow(SYS_fcntl, {ArgIn(1, {F_GETFD, F_SETFD, F_GETFL, F_SETFL, F_DUPFD_CLOEXEC})});
  filter.Allow(SYS_getuid).Allow(SYS_geteuid).Allow(SYS_getgid).Allow(SYS_getegid);
  // Qt's threads wake each other through event descriptors.
  filter.Allow(SYS_eventfd2).Allow(SYS_write);
  // The channel: descriptors in, bytes out, to the program alone.
  filter.Allow(SYS_recvmsg, {ArgIn(0, {channel})}).Allow(SYS_sendto, {ArgIn(0, {channel}), ArgZero(4)});
#ifdef BRIGHTMILL_SANITIZED
  // The sanitizers find whether memory can be read through a pipe of their
  // own.
  filter.Allow(SYS_pipe2);
#endif
#if defined(__x86_64__)
  // The calls x86-64 keeps beside their newer forms.
  filter.Allow(SYS_open, {ArgClear(1, {writing})}).Allow(SYS_stat).Allow(SYS_lstat).Allow(SYS_access);
  filter.Allow(SYS_readlink).Allow(SYS_poll);
#ifdef BRIGHTMILL_SANITIZED
  filter.Allow(SYS_pipe);
#endif
#endif
  return filter.Install();
#else
  (void)self;
  return false;
#endif
}
