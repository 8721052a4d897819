// The animation painter: plays the frames of a GIF image on a canvas with
// their delays, loops and disposal methods, on a thread of its own
// (goAsync, painting on the main thread through Synchronize) or on the
// caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "gif/gifimage.h"

// How painters tell the time (milliseconds, wrapping like a 32-bit counter)
// and how a synchronous painter, or a stop waiting for painters off the
// main thread, sleeps. They are the system's; a test puts in its own to
// play an animation without waiting.
struct TGIFPainterTiming {
  std::function<uint32_t()> Now;
  std::function<void(int milliseconds)> Sleep;
};
TGIFPainterTiming& GIFPainterTiming();

class TGIFPainter : public TThread {
 public:
  // Made suspended. painter, when given, is the caller's variable that the
  // painter clears when it ends.
  TGIFPainter(TGIFImage* image, TCanvas& canvas, const TRect& rect, TGIFDrawOptions options,
              TGIFPainter** painter = nullptr);
  ~TGIFPainter() override;

  bool Async() const { return FAsync; }
  TCanvas* Canvas() const { return FCanvas; }
  const TRect& Rect() const { return FRect; }
  TGIFDrawOptions DrawOptions() const { return FDrawOptions; }
  // The frame being shown, -1 when none.
  int ActiveImage() const { return FActiveImage; }
  // Only an existing frame's index is taken.
  void SetActiveImage(int index);
  // A frame has been painted.
  bool Started() const { return FStarted; }
  int AnimationSpeed() const { return FAnimationSpeed; }
  // Clamped to 0..1000; a change wakes the painter (or restarts a
  // synchronous one).
  void SetAnimationSpeed(int speed);

  // Resumes an asynchronous painter.
  void Start();
  // Asks the painter to end and wakes it.
  void Stop();
  // Plays from the first frame again.
  void Restart();
  // Holds the painter before its next frame until it is resumed.
  void Pause() { FPaused = true; }
  void Resume();
  // Plays the frames on the calling thread.
  void Play() { Execute(); }

 protected:
  void Execute() override;

 private:
  friend class TGIFImage;
  // Runs the step where the painter paints: on the main thread through
  // Synchronize when asynchronous, at once otherwise.
  void OnMain(const std::function<void()>& step);
  void Fire(const TNotifyEvent& event);
  void Wake();
  // Told to stop, or cut off from an image that is being freed: the
  // painter touches the image no more and ends at its next step. Whatever
  // a handler (or a step handed to the main thread) did to the image, the
  // painter looks here before it reaches into the image again.
  bool Ended() const { return Terminated() || !FImage; }
  // The painter is further up the calling thread's stack: a synchronous
  // painter playing on this thread, or an asynchronous one whose step runs
  // on the main thread right now (the caller is one of its handlers).
  // Waiting for such a painter to end would wait for ever.
  bool OnThisStack() const;
  // Plays the frames, loops and restarts until done or told to stop.
  void Animate();
  // Waits for the delay in milliseconds (-1: until woken); false when the
  // painter was told to stop or restart meanwhile. woken tells whether the
  // wait ended early. A synchronous painter sleeps in slices of at most
  // 100 ms and handles the thread's messages between them.
  bool Wait(int milliseconds, bool& woken);
  // Handles the calling thread's messages: on the main thread the pending
  // hand-overs and the GUI's events first (ProcessMessages). Posted
  // messages are taken; a quit message ends the painter (false) and is
  // posted again for the thread's own loop. On the main thread it is
  // posted marked as answered: a marked quit ends only the painters that
  // started before it was answered.
  bool HandleMessages();
  void PaintFrame();
  void ClearArea(TBitmap& buffer, const TRect& area);
  // The painter's end: leaves the image's list, clears the caller's
  // variable and frees the buffers. Nothing reaches the painter through the
  // image afterwards; a painter cut off from its image leaves no list.
  void Finish();

  // None once the image has cut the painter off (the image is being
  // freed). Written only while the painter cannot look: by the image's
  // destructor, run by one of the painter's handlers or steps.
  TGIFImage* FImage;
  TCanvas* FCanvas;
  TRect FRect;
  TGIFDrawOptions FDrawOptions;
  std::atomic<int> FAnimationSpeed;
  std::atomic<int> FActiveImage{-1};
  TDisposalMethod FDisposal = dmNone, FPreviousDisposal = dmNone;
  std::unique_ptr<TBitmap> FBackup, FFrameBuffer, FBackground;
  HDC FValidDC = nullptr;
  std::atomic<bool> FRestart{false};
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FPaused{false};
  // The frame being painted is the first of a pass.
  bool FFirstOfPass = false;
  TGIFPainter** FPainter;
  bool FAsync;
  // The thread a synchronous painter plays on (the one that made it).
  uint32_t FThreadId;
  // The quits answered on the painter's thread when it started.
  uint32_t FAnsweredAtStart = 0;
  // A step of this asynchronous painter runs on the main thread.
  std::atomic<bool> FInStep{false};
  std::mutex FEventLock;
  std::condition_variable FEvent;
  bool FSignaled = false;
  TColor FBackgroundColor;
  TNotifyEvent FOnStartPaint, FOnPaint, FOnAfterPaint, FOnLoop, FOnEndPaint;
};
