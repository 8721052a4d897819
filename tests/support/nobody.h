// Makes the file accesses of the calling thread those of a user without
// rights of its own ("nobody") for as long as the object lives, when the
// tests run as root, who may otherwise write every file. Any other user is
// refused a file without write bits already. Files made meanwhile belong to
// nobody; the test's own folders must be open to all (0777) to be used.
#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

class TFileAccessOfNobody {
 public:
  static constexpr unsigned Nobody = 65534;
  TFileAccessOfNobody() : FSwitched(geteuid() == 0) {
    if (!FSwitched) return;
    setfsgid(Nobody);
    setfsuid(Nobody);
  }
  ~TFileAccessOfNobody() {
    if (!FSwitched) return;
    setfsuid(0);
    setfsgid(0);
  }
  TFileAccessOfNobody(const TFileAccessOfNobody&) = delete;
  TFileAccessOfNobody& operator=(const TFileAccessOfNobody&) = delete;

 private:
  bool FSwitched;
};
