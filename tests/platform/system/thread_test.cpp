// Worker threads: steps handed to the main thread, and what happens once
// Execute has returned.
#include "platform/system/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/sysutils.h"

namespace {

class TStepsThread : public TThread {
 public:
  std::vector<std::string> Seen;
  std::string Caught;
  bool ThrowAtEnd = false;

 protected:
  void Execute() override {
    Synchronize([this] { Seen.push_back(IsMainThread() ? "step on main" : "step elsewhere"); });
    try {
      Synchronize([] { throw EConvertError("raised on main"); });
    } catch (const EConvertError& e) {
      Caught = e.what();
    }
    if (ThrowAtEnd) throw std::runtime_error("escaped");
  }
};

// A thread that says itself what follows its end.
class TOwnEndThread : public TStepsThread {
 public:
  bool EndedOnWorker = false;

 protected:
  void DoTerminate() override {
    EndedOnWorker = !IsMainThread();
    TStepsThread::DoTerminate();
  }
};

}  // namespace

TEST(Thread, StepsRunOnTheMainThreadAndTheirFailuresComeBack) {
  TStepsThread thread;
  thread.ThrowAtEnd = true;
  thread.OnTerminate = [&] { thread.Seen.push_back(IsMainThread() ? "end on main" : "end elsewhere"); };
  EXPECT_FALSE(thread.Finished());
  thread.Resume();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.Seen, (std::vector<std::string>{"step on main", "end on main"}));
  EXPECT_EQ(thread.Caught, "raised on main");
  // What escaped Execute is kept, and the end still ran.
  ASSERT_TRUE(thread.FatalException);
  EXPECT_THROW(std::rethrow_exception(thread.FatalException), std::runtime_error);
}

TEST(Thread, DoTerminateRunsOnTheWorkerAndHandsOnTerminateOver) {
  TOwnEndThread thread;
  thread.OnTerminate = [&] { thread.Seen.push_back(IsMainThread() ? "end on main" : "end elsewhere"); };
  thread.Resume();
  thread.WaitFor();
  EXPECT_TRUE(thread.EndedOnWorker);
  EXPECT_EQ(thread.Seen, (std::vector<std::string>{"step on main", "end on main"}));
  EXPECT_FALSE(thread.FatalException);

  // Without OnTerminate nothing is handed over at the end.
  TOwnEndThread quiet;
  quiet.Resume();
  quiet.WaitFor();
  EXPECT_TRUE(quiet.EndedOnWorker);
  EXPECT_EQ(quiet.Seen, (std::vector<std::string>{"step on main"}));
}

TEST(Thread, PostedMessagesReachOnlyTheirThreadInOrder) {
  TMsg msg;
  while (PeekMessage(msg, PM_REMOVE)) {
  }
  const uint32_t self = GetCurrentThreadId();
  EXPECT_NE(self, 0u);
  EXPECT_EQ(GetCurrentThreadId(), self);
  EXPECT_TRUE(PostThreadMessage(self, WM_USER, 1, 2));
  EXPECT_TRUE(PostThreadMessage(self, WM_USER + 1, 3, -4));
  // A peek without removing leaves the message first in line.
  ASSERT_TRUE(PeekMessage(msg, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(msg.lParam, 2);
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1);
  EXPECT_EQ(msg.lParam, -4);
  EXPECT_FALSE(PeekMessage(msg, PM_REMOVE));

  // Another thread has a queue of its own: it sees nothing of this one's,
  // posts here, and its own quit (with a negative exit code) stays its own.
  PostQuitMessage(1);
  uint32_t other = 0;
  std::vector<std::string> seen;
  std::thread thread([&] {
    other = GetCurrentThreadId();
    TMsg own;
    if (PeekMessage(own, PM_REMOVE)) seen.push_back("foreign message");
    PostThreadMessage(self, WM_USER + 2, 0, 0);
    PostQuitMessage(-5);
    if (PeekMessage(own, PM_REMOVE) && own.message == WM_QUIT) seen.push_back(std::to_string(int(intptr_t(own.wParam))));
  });
  thread.join();
  EXPECT_NE(other, self);
  EXPECT_EQ(seen, (std::vector<std::string>{"-5"}));
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2);
  EXPECT_FALSE(PeekMessage(msg, PM_REMOVE));
  // A thread that has ended takes no messages.
  EXPECT_FALSE(PostThreadMessage(other, WM_QUIT, 0, 0));
  EXPECT_FALSE(PostThreadMessage(0, WM_QUIT, 0, 0));
}

TEST(Thread, ResumeRacedFromManyThreadsRunsExecuteOnce) {
  // Four threads resume each thread object at once; the objects live to
  // the end, so that a second run would be counted.
  struct TCounting : TThread {
    std::atomic<int> Runs{0};
    void Execute() override { ++Runs; }
  };
  std::vector<TCounting> threads(200);
  for (TCounting& thread : threads) {
    std::atomic<int> ready{0};
    std::vector<std::jthread> racers;
    for (int i = 0; i < 4; ++i)
      racers.emplace_back([&] {
        for (++ready; ready < 4;) std::this_thread::yield();
        thread.Resume();
      });
  }
  int runs = 0;
  for (TCounting& thread : threads) {
    thread.WaitFor();
    runs += thread.Runs;
  }
  EXPECT_EQ(runs, 200);
}

TEST(Thread, JoinThreadWaitsForTheThreadsOwnEnd) {
  // A thread that frees itself, as a run's worker does, with data of its
  // own whose destructor takes a while after the object is gone: once
  // joined, nothing of it runs any more, so a program may end.
  static std::atomic<bool> freed{false};
  struct TSlowLocal {
    ~TSlowLocal() {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      freed = true;
    }
  };
  class TLocalThread : public TThread {
   protected:
    void Execute() override {
      static thread_local TSlowLocal local;
      (void)&local;
      Synchronize([] {});
    }
  };
  bool ended = false;
  auto* thread = new TLocalThread;
  thread->FreeOnTerminate = true;
  thread->OnTerminate = [&] { ended = true; };
  thread->Resume();
  // Safe: the thread waits for its first step until this serves it.
  const std::thread::id id = thread->ThreadId();
  while (!ended) CheckSynchronize(10);
  JoinThread(id);
  EXPECT_TRUE(freed);
}
