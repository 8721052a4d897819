// Makes every file write of this process beyond a few bytes fail for as long
// as the object lives, also for root, whom folder permissions do not stop.
#pragma once

#include <sys/resource.h>

#include <csignal>

class TWriteLimit {
 public:
  explicit TWriteLimit(rlim_t bytes = 8) {
    FOldSignal = std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
    getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TWriteLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    std::signal(SIGXFSZ, FOldSignal);
  }
  TWriteLimit(const TWriteLimit&) = delete;
  TWriteLimit& operator=(const TWriteLimit&) = delete;

 private:
  rlimit FOld{};
  void (*FOldSignal)(int) = nullptr;
};
