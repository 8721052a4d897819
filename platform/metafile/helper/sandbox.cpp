// The helper's system-call filter: once Qt and its fonts are up, the helper
// may still read files (fonts load lazily) but no longer open one for
// writing, create, remove, rename or change one, start a program, open a
// connection or signal another process. Each of those fails with EPERM.
#include "platform/metafile/helper/sandbox.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

bool LockDownHelper() {
#if defined(__x86_64__)
  const sock_filter deny = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM);
  const sock_filter allow = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
  const uint32_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;
  const int denied[] = {
      SYS_creat,     SYS_openat2,   SYS_unlink,     SYS_unlinkat,  SYS_rename,     SYS_renameat, SYS_renameat2,
      SYS_rmdir,     SYS_mkdir,     SYS_mkdirat,    SYS_mknod,     SYS_mknodat,    SYS_truncate, SYS_ftruncate,
      SYS_fallocate, SYS_link,      SYS_linkat,     SYS_symlink,   SYS_symlinkat,  SYS_chmod,    SYS_fchmod,
      SYS_fchmodat,  SYS_chown,     SYS_fchown,     SYS_lchown,    SYS_fchownat,   SYS_utime,    SYS_utimes,
      SYS_utimensat, SYS_futimesat, SYS_setxattr,   SYS_lsetxattr, SYS_fsetxattr,  SYS_execve,   SYS_execveat,
      SYS_fork,      SYS_vfork,     SYS_kill,       SYS_socket,    SYS_connect,    SYS_bind,     SYS_ptrace,
      SYS_process_vm_writev, SYS_name_to_handle_at, SYS_open_by_handle_at, SYS_memfd_create};
  std::vector<sock_filter> program;
  // Only this architecture's calls, and none of the x32 numbers.
  program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0));
  program.push_back(deny);
  program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1));
  program.push_back(deny);
  // open and openat only for reading: their flags are the second and the
  // third argument.
  for (const auto& [call, argument] : {std::pair{SYS_open, 1}, std::pair{SYS_openat, 2}}) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(call), 0, 4));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, uint32_t(offsetof(seccomp_data, args) + 8 * argument)));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, writing, 0, 1));
    program.push_back(deny);
    program.push_back(allow);
  }
  for (int call : denied) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(call), 0, 1));
    program.push_back(deny);
  }
  program.push_back(allow);
  sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
#else
  return false;
#endif
}
