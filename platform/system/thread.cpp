#include "platform/system/thread.h"

#include <chrono>
#include <deque>
#include <thread>
#include <unordered_map>
#include <vector>

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
  std::function<void()> ProcessEvents;  // the GUI's pending events
};

// The system threads of the thread objects. A thread's own end (the
// destructors of its thread-local data, the libraries' among them) goes on
// after its object is gone: threads are joined, so that none still ends
// while the program ends and the libraries are taken down.
struct TSystemThread {
  std::thread Thread;
  std::shared_ptr<std::atomic<bool>> Ran;  // Run has returned
};
void Join(std::thread& thread) {
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();
  else
    thread.join();
}
struct TSystemThreads {
  std::mutex Lock;
  std::vector<TSystemThread> Threads;
  // Takes out of the list the threads that have run, or the one of that id.
  std::vector<std::thread> Take(std::thread::id id = {}) {
    std::vector<std::thread> taken;
    std::lock_guard<std::mutex> hold(Lock);
    for (size_t i = 0; i < Threads.size();)
      if (Threads[i].Ran->load() || Threads[i].Thread.get_id() == id) {
        taken.push_back(std::move(Threads[i].Thread));
        Threads[i] = std::move(Threads.back());
        Threads.pop_back();
      } else {
        ++i;
      }
    return taken;
  }
  // At the program's end, threads that have run are joined; any other is
  // let go.
  ~TSystemThreads() {
    for (std::thread& thread : Take()) Join(thread);
    for (TSystemThread& thread : Threads) thread.Thread.detach();
  }
};
TSystemThreads& SystemThreads() {
  static TSystemThreads threads;
  return threads;
}

SyncQueue& Queue() {
  static SyncQueue* queue = new SyncQueue;  // lives to the very end of the process
  return *queue;
}

// The message queues of the running threads, by thread id.
struct MessageQueues {
  std::mutex Lock;
  std::unordered_map<uint32_t, std::deque<TMsg>> Queues;
  uint32_t LastId = 0;
};

MessageQueues& Messages() {
  static MessageQueues* queues = new MessageQueues;  // threads may end after the statics
  return *queues;
}

// The calling thread's id and queue, made on first use and dropped with the
// thread.
struct OwnQueue {
  uint32_t Id;
  OwnQueue() {
    MessageQueues& m = Messages();
    std::lock_guard<std::mutex> guard(m.Lock);
    do Id = ++m.LastId;
    while (Id == 0 || m.Queues.count(Id) != 0);
    m.Queues[Id];
  }
  ~OwnQueue() {
    MessageQueues& m = Messages();
    std::lock_guard<std::mutex> guard(m.Lock);
    m.Queues.erase(Id);
  }
};

}  // namespace

uint32_t GetCurrentThreadId() {
  thread_local OwnQueue own;
  return own.Id;
}

bool PostThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  MessageQueues& m = Messages();
  std::lock_guard<std::mutex> guard(m.Lock);
  auto queue = m.Queues.find(threadId);
  if (queue == m.Queues.end()) return false;
  queue->second.push_back(TMsg{message, wParam, lParam});
  return true;
}

void PostQuitMessage(int exitCode) {
  PostThreadMessage(GetCurrentThreadId(), WM_QUIT, uintptr_t(intptr_t(exitCode)), 0);
}

bool PeekMessage(TMsg& msg, unsigned removeMsg) {
  uint32_t id = GetCurrentThreadId();
  MessageQueues& m = Messages();
  std::lock_guard<std::mutex> guard(m.Lock);
  auto queue = m.Queues.find(id);
  if (queue == m.Queues.end() || queue->second.empty()) return false;
  msg = queue->second.front();
  if (removeMsg & PM_REMOVE) queue->second.pop_front();
  return true;
}

bool IsMainThread() { return std::this_thread::get_id() == kMainThread; }

void SetSynchronizeWakeUp(std::function<void()> wakeUp) {
  std::lock_guard<std::mutex> guard(Queue().Lock);
  Queue().WakeUp = std::move(wakeUp);
}

void SetProcessMessagesHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(Queue().Lock);
  Queue().ProcessEvents = std::move(hook);
}

void ProcessMessages() {
  if (!IsMainThread()) return;
  CheckSynchronize();
  std::function<void()> processEvents;
  {
    std::lock_guard<std::mutex> guard(Queue().Lock);
    processEvents = Queue().ProcessEvents;
  }
  if (processEvents) processEvents();
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
  if (!FStarted.load() || FreeOnTerminate.load()) return;
  std::unique_lock<std::mutex> lock(FLock);
  FDone.wait(lock, [&] { return FRunReturned; });
}

void TThread::Resume() {
  if (FStarted.exchange(true)) return;
  TSystemThreads& threads = SystemThreads();
  for (std::thread& thread : threads.Take()) Join(thread);
  auto ran = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard<std::mutex> hold(threads.Lock);
  // The thread begins once it is in the list and its id is noted: a thread
  // that frees itself may have gone by the time the list's lock is free.
  std::thread thread([this, ran, &threads] {
    { std::lock_guard<std::mutex> listed(threads.Lock); }
    Run();
    ran->store(true);
  });
  FThreadId = thread.get_id();
  threads.Threads.push_back({std::move(thread), ran});
}

void JoinThread(std::thread::id id) {
  if (id == std::thread::id()) return;
  for (std::thread& thread : SystemThreads().Take(id)) Join(thread);
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
