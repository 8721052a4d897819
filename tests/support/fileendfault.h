// Makes the end of chosen written files fail for as long as the object
// lives: their close (the handle is let go all the same, as a network file
// system does when it reports a write it lost) or their sync reports an
// error, after everything written so far went through as usual.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/system/sysutils.h"

class TFileEndFault {
 public:
  enum TCall { Close, Sync };
  // Files whose name (the last part of the path) holds `name` fail, every
  // written file when it is empty.
  explicit TFileEndFault(TCall call, std::string name = "", int error = EIO) {
    Name() = std::move(name);
    Error() = error;
    Count() = 0;
    if (call == Close) SetFileEndCalls(nullptr, FailingClose);
    else SetFileEndCalls(FailingSync, nullptr);
  }
  ~TFileEndFault() { SetFileEndCalls(nullptr, nullptr); }
  TFileEndFault(const TFileEndFault&) = delete;
  TFileEndFault& operator=(const TFileEndFault&) = delete;

  // How many ends failed so far.
  int Failures() const { return Count(); }

 private:
  static std::string& Name() {
    static std::string name;
    return name;
  }
  static int& Error() {
    static int error;
    return error;
  }
  static int& Count() {
    static int count;
    return count;
  }
  static bool Chosen(int handle) {
    char buffer[4096];
    ssize_t n = readlink(("/proc/self/fd/" + std::to_string(handle)).c_str(), buffer, sizeof buffer);
    std::string path = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    return ExtractFileName(path).find(Name()) != std::string::npos;
  }
  static int Fail() {
    ++Count();
    errno = Error();
    return -1;
  }
  static int FailingClose(int handle) {
    bool chosen = Chosen(handle);
    int result = ::close(handle);
    return chosen ? Fail() : result;
  }
  static int FailingSync(int handle) { return Chosen(handle) ? Fail() : ::fsync(handle); }
};
