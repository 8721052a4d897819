// The helper's lock-down, once Qt and its fonts are up: what it may open,
// and a system-call filter.
//
// Files (Landlock): it may open for reading the files beneath the folders
// fontconfig takes its fonts and caches from, fontconfig's configuration
// files and any font file that lies elsewhere (fonts load lazily: a font's
// file is opened when Qt first draws in it), and nothing else: no other
// file or folder of the user, nothing under /proc (the program's memory
// among it), no file to create, write, truncate, link or run. Where the
// system has Landlock, it also keeps the helper from reaching TCP, abstract
// Unix sockets and the signals of other processes, as far as its version
// governs them. Where the system has no Landlock, the helper draws under
// the filter alone (see helperhost.h).
//
// The filter, an allow-list: the helper may use memory, futexes and
// threads, open files for reading (no open for writing), read the clocks,
// talk over its channel to the program and end. Every other call fails
// with EPERM, among them io_uring, starting a process (clone only makes
// threads, and clone3 answers ENOSYS so that the C library falls back on
// clone), a signal to any process but itself, a new resource limit, a
// socket, an ioctl, Landlock's calls, and reaching another process's
// memory (ptrace, process_vm_readv and process_vm_writev: the program
// reaches the helper's, never the other way).
#include "platform/metafile/helper/sandbox.h"

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/sched.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <unordered_set>
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

  // Every call not named fails with EPERM (the helper has set no new
  // privileges).
  bool Install() {
    Add(Return(SECCOMP_RET_ERRNO | EPERM));
    const sock_fprog program{static_cast<unsigned short>(FProgram.size()), FProgram.data()};
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
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

// --- What the helper may open ---------------------------------------------------------

// What the helper reads once locked down, as fontconfig has it: the folders
// of its fonts (every folder below them included) and of its caches, its
// configuration files, and each font file that is a link or lies outside
// the fonts' folders (a rule on a link holds for its target, which may lie
// anywhere).
std::vector<std::string> FontPaths() {
  FcConfig* config = FcConfigGetCurrent();
  std::vector<std::string> paths;
  std::unordered_set<std::string> folders;
  auto take = [&](FcStrList* list, bool fonts) {
    if (!list) return;
    while (const FcChar8* path = FcStrListNext(list)) {
      paths.emplace_back(reinterpret_cast<const char*>(path));
      if (fonts) folders.insert(paths.back());
    }
    FcStrListDone(list);
  };
  take(FcConfigGetFontDirs(config), true);
  take(FcConfigGetCacheDirs(config), false);
  take(FcConfigGetConfigFiles(config), false);
  const FcFontSet* fonts = FcConfigGetFonts(config, FcSetSystem);
  const char* last = "";
  for (int i = 0; fonts && i < fonts->nfont; ++i) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
    const char* path = reinterpret_cast<const char*>(file);
    if (std::strcmp(path, last) == 0) continue;  // the next face of a file
    last = path;
    const char* slash = std::strrchr(path, '/');
    struct stat link {};
    if (!slash || !folders.count(std::string(path, slash)) || (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)))
      paths.emplace_back(path);
  }
  return paths;
}

// Landlock's rights to read a file and to list a folder; what it governs
// as each version adds to it (the system's header may know fewer): files
// (1: bits 0 to 12; 2: moving and linking across folders, 13; 3: truncating,
// 14; 5: the ioctls of devices, 15), binding and connecting TCP (4), and
// abstract Unix sockets and signals out of the helper (6).
constexpr uint64_t kReadFile = LANDLOCK_ACCESS_FS_READ_FILE, kReadFolder = LANDLOCK_ACCESS_FS_READ_DIR;
struct TRuleset {
  uint64_t Files = 0, Network = 0, Scopes = 0;
};

enum class TRestricted { Yes, NoLandlock, Failed };

// Lets the helper open files for reading beneath the paths (folders or
// files) and nothing else Landlock governs: everything that version knows
// is governed and nothing but reading granted. A path that does not exist
// is passed over.
TRestricted ReadOnlyBeneath(const std::vector<std::string>& paths) {
  // No Landlock: a system without it, with it left out when it started, or
  // a filter of the program's own surroundings that keeps the helper from
  // asking (the system itself never refuses the question).
  const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (version < 0)
    return errno == ENOSYS || errno == EOPNOTSUPP || errno == EPERM ? TRestricted::NoLandlock : TRestricted::Failed;
  TRuleset governed;
  governed.Files = (uint64_t(1) << (version >= 5 ? 16 : version >= 3 ? 15 : version >= 2 ? 14 : 13)) - 1;
  governed.Network = version >= 4 ? 3 : 0;
  governed.Scopes = version >= 6 ? 3 : 0;
  const size_t size = version >= 6 ? 24 : version >= 4 ? 16 : 8;
  const int ruleset = int(syscall(SYS_landlock_create_ruleset, &governed, size, 0));
  if (ruleset < 0) return TRestricted::Failed;
  bool added = true;
  for (const std::string& path : paths) {
    const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat about {};
    landlock_path_beneath_attr rule{};
    rule.parent_fd = fd;
    rule.allowed_access = fstat(fd, &about) == 0 && S_ISDIR(about.st_mode) ? kReadFile | kReadFolder : kReadFile;
    added &= syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
    close(fd);
  }
  added = added && syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  close(ruleset);
  return added ? TRestricted::Yes : TRestricted::Failed;
}

// The helper's threads: the rules and the filter hold for the thread that
// sets them and the threads it starts later, so the helper locks itself
// down while it has one.
int Threads() {
  FILE* file = std::fopen("/proc/self/status", "re");
  int threads = 0;
  char line[256];
  while (file && !threads && std::fgets(line, sizeof line, file)) std::sscanf(line, "Threads: %d", &threads);
  if (file) std::fclose(file);
  return threads;
}

}  // namespace

bool LockDownHelper(pid_t self) {
#if defined(__x86_64__) || defined(__aarch64__)
  // The rules first: the filter then refuses Landlock's calls.
  if (Threads() != 1 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  std::vector<std::string> paths = FontPaths();
#ifdef BRIGHTMILL_SANITIZED
  // The sanitizers' reports name the lines of the helper and of the
  // system's libraries: they read the helper's own /proc, its program file
  // and the libraries'.
  char program[4096] = {};
  if (readlink("/proc/self/exe", program, sizeof program - 1) > 0) paths.push_back(program);
  paths.insert(paths.end(), {"/proc/self", "/usr", "/lib"});
#endif
  if (ReadOnlyBeneath(paths) == TRestricted::Failed) return false;
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
