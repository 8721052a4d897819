// Worker threads: steps handed to the main thread, and what happens once
// Execute has returned.
#include "platform/system/thread.h"

#include <gtest/gtest.h>

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
