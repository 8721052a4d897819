// Threads with a synchronous hand-over to the main thread.
//
// A worker thread runs Execute. Synchronize hands a step to the main thread
// and waits until the main thread has run it; an exception the step raises
// is raised again in the worker. The main thread serves hand-overs in
// CheckSynchronize: a GUI calls it from its event loop (SetSynchronizeWakeUp
// tells it when one is pending, from any thread), a program without an event
// loop calls it in a loop of its own. Code that waits on the main thread in
// a loop of its own calls ProcessMessages between its waits, so that the
// hand-overs and the GUI's events (SetProcessMessagesHook) go on.
//
// Every thread also has a queue of posted messages (PostThreadMessage,
// PostQuitMessage, PeekMessage): a thread that waits for a long time in a
// loop of its own looks into it between its waits and ends on a quit
// message.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
 public:
  // The thread is made suspended: it begins running at Resume.
  TThread();
  // For a thread that does not free itself: waits until Execute has
  // returned. Must not be called from the thread itself unless it frees
  // itself.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the thread: the first call only, whichever threads call it at
  // the same time.
  void Resume();
  void Start() { Resume(); }
  // Asks Execute to end; Execute looks at Terminated when it sees fit.
  void Terminate() { FTerminated.store(true); }
  bool Terminated() const { return FTerminated.load(); }
  // The flag Terminate sets, for work on other threads that watches it.
  const std::atomic<bool>& TerminateFlag() const { return FTerminated; }
  // Execute has returned and OnTerminate has run.
  bool Finished() const { return FFinished.load(); }
  // Waits until the thread has finished, serving hand-overs meanwhile when
  // called on the main thread. Not for threads that free themselves.
  void WaitFor();

  // When set, the object deletes itself on its own thread once Execute has
  // returned and OnTerminate has run; nobody may use it after that.
  std::atomic<bool> FreeOnTerminate{false};
  // Kept for the callers' sake; every thread runs at the system's normal
  // priority.
  TThreadPriority Priority = tpNormal;
  // Runs on the main thread after Execute has returned (any way out).
  std::function<void()> OnTerminate;
  // An exception that escaped Execute, if any.
  std::exception_ptr FatalException;
  // The id of the system thread once it has started (Resume).
  std::thread::id ThreadId() const { return FThreadId; }

 protected:
  virtual void Execute() = 0;
  // Called on the thread once Execute has returned: hands OnTerminate, when
  // set, to the main thread.
  virtual void DoTerminate();
  // Runs the step on the main thread and waits for it (runs it at once when
  // called on the main thread). Re-raises the step's exception here.
  void Synchronize(const std::function<void()>& step);

 private:
  void Run();
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FStarted{false};
  std::thread::id FThreadId;
  std::mutex FLock;
  std::condition_variable FDone;
  bool FRunReturned = false;
};

// Waits until the system thread of that id (a thread object's ThreadId)
// has ended entirely, its thread-local data freed: a program that is about
// to end joins the threads that ran for it. Threads that have ended are
// joined too. Not from the thread itself.
void JoinThread(std::thread::id id);

// True on the thread that started the program.
bool IsMainThread();
// Runs every pending hand-over (main thread only). With a timeout, first
// waits up to that many milliseconds for one to arrive. True when at least
// one ran.
bool CheckSynchronize(int timeoutMs = 0);
// Called (from the worker's thread) each time a hand-over becomes pending,
// so that an event loop can call CheckSynchronize soon.
void SetSynchronizeWakeUp(std::function<void()> wakeUp);
// Runs every pending hand-over, then the hook that handles the pending
// events of the GUI's event loop, if one is set (main thread only; nothing
// elsewhere).
void ProcessMessages();
// The GUI's hook for ProcessMessages; an empty one takes it away.
void SetProcessMessagesHook(std::function<void()> hook);

// --- Thread messages ------------------------------------------------------------

// A message posted to a thread.
struct TMsg {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};
// Asks the thread's loop to end; wParam holds the exit code.
constexpr uint32_t WM_QUIT = 0x0012;
// The first number free for the program's own messages.
constexpr uint32_t WM_USER = 0x0400;
// What PeekMessage does with the message it returns.
enum : unsigned { PM_NOREMOVE = 0, PM_REMOVE = 1 };

// The calling thread's id, never 0. Its message queue lives as long as the
// thread.
uint32_t GetCurrentThreadId();
// Appends the message to the queue of the thread; false when no thread of
// that id is running.
bool PostThreadMessage(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Posts WM_QUIT with the exit code to the calling thread.
void PostQuitMessage(int exitCode);
// The oldest message posted to the calling thread, taken off the queue with
// PM_REMOVE; false when none is waiting. Never waits.
bool PeekMessage(TMsg& msg, unsigned removeMsg);
