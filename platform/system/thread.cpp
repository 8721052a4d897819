#include "platform/system/thread.h"

#include <chrono>
#include <deque>
#include <thread>

namespace {

const std::thread::id kMainThread = std::this_thread::get_id();

// A step waiting for the main thread.
struct PendingStep {
  const std::function<void()>* Step;
  std::exception_ptr Error;
  bool Done = false;
};

struct SyncQueue {
  std::mutex Lock;
  std::condition_variable Arrived;  // a step was queued
  std::condition_variable Served;   // a step was run
  std::deque<PendingStep*> Steps;
  std::function<void()> WakeUp;
};

SyncQueue& Queue() {
  static SyncQueue* queue = new SyncQueue;  // lives to the very end of the process
  return *queue;
}

}  // namespace

bool IsMainThread() { return std::this_thread::get_id() == kMainThread; }

void SetSynchronizeWakeUp(std::function<void()> wakeUp) {
  std::lock_guard<std::mutex> guard(Queue().Lock);
  Queue().WakeUp = std::move(wakeUp);
}

bool CheckSynchronize(int timeoutMs) {
  if (!IsMainThread()) return false;
  SyncQueue& q = Queue();
  std::unique_lock<std::mutex> lock(q.Lock);
  if (timeoutMs > 0 && q.Steps.empty())
    q.Arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !q.Steps.empty(); });
  bool ran = false;
  while (!q.Steps.empty()) {
    PendingStep* pending = q.Steps.front();
    q.Steps.pop_front();
    lock.unlock();
    try {
      (*pending->Step)();
    } catch (...) {
      pending->Error = std::current_exception();
    }
    lock.lock();
    pending->Done = true;
    q.Served.notify_all();
    ran = true;
  }
  return ran;
}

TThread::TThread() = default;

TThread::~TThread() {
  if (!FStarted || FreeOnTerminate.load()) return;
  std::unique_lock<std::mutex> lock(FLock);
  FDone.wait(lock, [&] { return FRunReturned; });
}

void TThread::Resume() {
  if (FStarted) return;
  FStarted = true;
  std::thread([this] { Run(); }).detach();
}

void TThread::Run() {
  try {
    Execute();
  } catch (...) {
    FatalException = std::current_exception();
  }
  try {
    DoTerminate();
  } catch (...) {
    if (!FatalException) FatalException = std::current_exception();
  }
  FFinished.store(true);
  if (FreeOnTerminate.load()) {
    delete this;
    return;
  }
  std::lock_guard<std::mutex> guard(FLock);
  FRunReturned = true;
  FDone.notify_all();
}

void TThread::WaitFor() {
  while (!FFinished.load()) {
    if (IsMainThread()) {
      CheckSynchronize(10);
    } else {
      std::unique_lock<std::mutex> lock(FLock);
      FDone.wait_for(lock, std::chrono::milliseconds(10), [&] { return FRunReturned; });
    }
  }
  std::unique_lock<std::mutex> lock(FLock);
  FDone.wait(lock, [&] { return FRunReturned || FreeOnTerminate.load(); });
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize(OnTerminate);
}

void TThread::Synchronize(const std::function<void()>& step) {
  if (IsMainThread()) {
    step();
    return;
  }
  SyncQueue& q = Queue();
  PendingStep pending{&step, nullptr, false};
  std::function<void()> wakeUp;
  {
    std::lock_guard<std::mutex> guard(q.Lock);
    q.Steps.push_back(&pending);
    wakeUp = q.WakeUp;
    q.Arrived.notify_all();
  }
  if (wakeUp) wakeUp();
  {
    std::unique_lock<std::mutex> lock(q.Lock);
    q.Served.wait(lock, [&] { return pending.Done; });
  }
  if (pending.Error) std::rethrow_exception(pending.Error);
}
