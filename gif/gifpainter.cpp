// The animation painter and the image's drawing: a still frame is drawn at
// once, an animation is played by a painter.
#include "gif/gifpainter.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

bool Has(TGIFDrawOptions options, TGIFDrawOption option) { return (options & DrawOption(option)) != 0; }

// A 24-bit bitmap of the size filled with one colour.
std::unique_ptr<TBitmap> FilledBitmap(int width, int height, TColor color) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  bitmap->Canvas()->Brush.Color = color;
  bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
  return bitmap;
}

// A bitmap of the rectangle's size holding the canvas's pixels under it
// (the colour where the canvas has none).
std::unique_ptr<TBitmap> CopyOfCanvas(TCanvas& canvas, const TRect& rect, TColor fill) {
  std::unique_ptr<TBitmap> bitmap = FilledBitmap(rect.Width(), rect.Height(), fill);
  bitmap->Canvas()->CopyRect(Rect(0, 0, rect.Width(), rect.Height()), canvas, rect);
  return bitmap;
}

}  // namespace

TGIFPainterTiming& GIFPainterTiming() {
  static TGIFPainterTiming timing{
      [] { return GetTickCount(); },
      [](int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }};
  return timing;
}

// --- TGIFPainter --------------------------------------------------------------

TGIFPainter::TGIFPainter(TGIFImage* image, TCanvas& canvas, const TRect& rect, TGIFDrawOptions options,
                         TGIFPainter** painter)
    : FImage(image),
      FCanvas(&canvas),
      FRect(rect),
      FDrawOptions(options),
      FAnimationSpeed(image->AnimationSpeed()),
      FPainter(painter),
      FAsync(Has(options, goAsync) && Has(options, goAnimate) && image->Frames().Count() > 1),
      FThreadId(GetCurrentThreadId()),
      FOnStartPaint(image->OnStartPaint),
      FOnPaint(image->OnPaint),
      FOnAfterPaint(image->OnAfterPaint),
      FOnLoop(image->OnLoop),
      FOnEndPaint(image->OnEndPaint) {
  if (image->DrawBackgroundColor != clNone)
    FBackgroundColor = image->DrawBackgroundColor;
  else if (image->GlobalColorMap().Count() == 0)
    FBackgroundColor = ColorToRGB(clWindow);
  else
    FBackgroundColor = image->Header().BackgroundColor();
  // Buffers only for the disposal methods in use.
  bool background = Has(options, goClearOnLoop), restore = background;
  for (int i = 0; i < image->Frames().Count(); ++i) {
    TGIFGraphicControlExtension* gce = image->Frames().SubImages(i)->GraphicControlExtension();
    TDisposalMethod disposal = gce ? gce->Disposal() : dmNone;
    background = background || disposal == dmBackground;
    restore = restore || disposal == dmBackground || disposal == dmPrevious;
  }
  if (background && Has(options, goTransparent)) FBackground = CopyOfCanvas(canvas, rect, FBackgroundColor);
  if (restore) {
    FBackup = CopyOfCanvas(canvas, rect, FBackgroundColor);
    FFrameBuffer = FilledBitmap(rect.Width(), rect.Height(), FBackgroundColor);
  }
}

TGIFPainter::~TGIFPainter() = default;

void TGIFPainter::SetActiveImage(int index) {
  if (FImage && index >= 0 && index < FImage->Frames().Count()) FActiveImage = index;
}

void TGIFPainter::SetAnimationSpeed(int speed) {
  speed = std::clamp(speed, 0, 1000);
  if (speed == FAnimationSpeed) return;
  FAnimationSpeed = speed;
  if (FAsync)
    Wake();
  else
    FRestart = true;
}

void TGIFPainter::Wake() {
  std::lock_guard<std::mutex> guard(FEventLock);
  FSignaled = true;
  FEvent.notify_all();
}

void TGIFPainter::Start() {
  if (FAsync) TThread::Resume();
}

void TGIFPainter::Stop() {
  Terminate();
  FPaused = false;
  Wake();
  Priority = tpNormal;
  if (FAsync) TThread::Resume();
}

void TGIFPainter::Restart() {
  FRestart = true;
  Wake();
  if (FAsync) TThread::Resume();
}

void TGIFPainter::Resume() {
  FPaused = false;
  Wake();
}

bool TGIFPainter::OnThisStack() const {
  if (FAsync) return IsMainThread() && FInStep;
  return FThreadId == GetCurrentThreadId();
}

void TGIFPainter::OnMain(const std::function<void()>& step) {
  if (!FAsync) {
    step();
    return;
  }
  Synchronize([&] {
    struct InStep {
      std::atomic<bool>& Flag;
      ~InStep() { Flag = false; }
    } inStep{FInStep};
    FInStep = true;
    step();
  });
}

void TGIFPainter::Fire(const TNotifyEvent& event) {
  // A painter cut off from its image has no image to tell.
  if (event && FImage) OnMain([&] { event(FImage); });
}

bool TGIFPainter::Wait(int milliseconds, bool& woken) {
  auto stopped = [&] { return Ended() || FRestart; };
  woken = false;
  if (FAsync) {
    std::unique_lock<std::mutex> lock(FEventLock);
    auto signaled = [&] { return FSignaled; };
    if (milliseconds < 0) {
      FEvent.wait(lock, signaled);
      woken = true;
    } else {
      woken = FEvent.wait_for(lock, std::chrono::milliseconds(milliseconds), signaled);
    }
    FSignaled = false;
    while (FPaused && !stopped()) {
      FEvent.wait(lock, signaled);
      FSignaled = false;
      woken = true;
    }
  } else {
    const auto& sleep = GIFPainterTiming().Sleep;
    for (int left = milliseconds; HandleMessages() && left > 0 && !stopped(); left -= 100)
      sleep(std::min(left, 100));
  }
  return !stopped();
}

namespace {

// The mark of a quit that a painter on the main thread has answered and
// posted again. On the main thread the program's own loop is the GUI's,
// which takes nothing from the posted queue: the quit stays there, and a
// later painter on that thread, whose loop is not the one the quit is for,
// leaves it where it is instead of ending at once on a quit it had no part
// in. A quit posted anew ends the next painter as before.
constexpr intptr_t kAnsweredQuit = 0x47494650;

// How many quits the painters on this thread have answered. A painter
// notes it when it starts: a marked quit answered since then (by a painter
// it started, or one started by an event it served) ends it as well.
thread_local uint32_t AnsweredQuits = 0;

}  // namespace

bool TGIFPainter::HandleMessages() {
  const bool main = IsMainThread();
  // The main thread's windows and the other painters' steps go on while
  // this one waits there.
  if (main) ProcessMessages();
  TMsg msg;
  bool answered = false;
  uintptr_t answeredCode = 0;
  bool ended = false;
  while (!ended && PeekMessage(msg, PM_REMOVE)) {
    // Messages posted to the thread reach no window: taking them is all
    // there is to handling them.
    if (msg.message != WM_QUIT) continue;
    const bool marked = main && msg.lParam == kAnsweredQuit;
    if (marked && AnsweredQuits == FAnsweredAtStart) {
      answered = true;
      answeredCode = msg.wParam;
      continue;
    }
    if (main && !marked) ++AnsweredQuits;
    // The thread's own loop must see the quit as well.
    PostThreadMessage(GetCurrentThreadId(), WM_QUIT, msg.wParam, main ? kAnsweredQuit : 0);
    Terminate();
    ended = true;
    answered = false;  // the quit just posted stands for an earlier one
  }
  if (answered) PostThreadMessage(GetCurrentThreadId(), WM_QUIT, answeredCode, kAnsweredQuit);
  return !ended;
}

void TGIFPainter::Execute() {
  // However the painting ends (played out, stopped, or a step or handler
  // raising), the painter leaves the image before Execute returns: an
  // asynchronous painter frees itself right after.
  struct Ending {
    TGIFPainter& Painter;
    ~Ending() { Painter.Finish(); }
  } ending{*this};
  FAnsweredAtStart = AnsweredQuits;
  Animate();
  FActiveImage = -1;
  Fire(FOnEndPaint);
}

void TGIFPainter::Animate() {
  if (Has(FDrawOptions, goValidateCanvas)) FValidDC = FCanvas->Handle();
  bool animate = Has(FDrawOptions, goAnimate);
  bool loop = animate && Has(FDrawOptions, goLoop);
  bool endless = Has(FDrawOptions, goLoopContinously);
  const auto& now = GIFPainterTiming().Now;
  // Every handler and every step on the main thread may stop the painter,
  // clear the image or free it: after each, Ended() is asked before the
  // image or the frame is touched again.
  do {
    FRestart = false;
    FActiveImage = 0;
    Fire(FOnStartPaint);
    int loops = 1, loopPoint = 0, delay = FAsync ? 0 : 1;
    bool loopFound = false;
    // When the frame shown last was due: what it took beyond that (drawing
    // it, making the next one) is its overrun, and half of that comes off
    // the next wait, so that a slow picture keeps its pace.
    uint32_t due = now();
    for (int pass = 0; !Ended() && !FRestart && (loops != 0 || endless); ++pass) {
      if (pass > 0) {
        Fire(FOnLoop);
        if (Ended()) break;
      }
      FActiveImage = loopPoint;
      FFirstOfPass = true;
      while (!Ended() && !FRestart) {
        int index = FActiveImage;
        if (index < 0 || index >= FImage->Frames().Count()) break;
        TGIFSubImage* frame = FImage->Frames().SubImages(index);
        if (frame->Empty()) break;
        if (delay > 0) {
          OnMain([&] { frame->Bitmap(); });
          if (Ended()) break;
          int overrun = std::max(0, int32_t(now() - due));
          int speed = FAnimationSpeed;
          int milliseconds = speed > 0 ? std::max(0, delay * GIFDelayExp - overrun / 2) * 100 / speed
                             : FAsync  ? -1
                                       : GIFMaximumDelay * GIFDelayExp;
          uint32_t start = now();
          bool woken;
          if (!Wait(milliseconds, woken)) break;
          // A wake-up starts the timing afresh.
          due = woken ? now() : start + uint32_t(milliseconds);
        } else {
          std::this_thread::yield();
          due = now();
        }
        Fire(FOnPaint);
        if (Ended()) break;
        for (int i = 0; i < frame->Extensions().Count() && !loopFound; ++i) {
          auto* extension = dynamic_cast<TGIFAppExtNSLoop*>(frame->Extensions().Extensions(i));
          if (!extension) continue;
          loopFound = true;
          loopPoint = index;
          loops = extension->Loops();
          if (FAsync && (loops == 0 || endless)) loops = -1;  // without end
        }
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        FPreviousDisposal = FDisposal;
        FDisposal = gce ? gce->Disposal() : dmNone;
        delay = gce && gce->Delay() > 0 ? gce->Delay() : GIFDefaultDelay;
        delay = std::max(delay, GIFMinimumDelay);
        if (!FAsync) delay = std::min(delay, GIFMaximumDelay);
        OnMain([&] { PaintFrame(); });
        FFirstOfPass = false;
        FStarted = true;
        Fire(FOnAfterPaint);
        if (Ended()) break;
        if (FActiveImage == index) FActiveImage = index + 1;
        if (!animate) break;
      }
      if (loops > 0) --loops;
      if (!loop) break;
    }
  } while (FRestart && !Ended());
}

void TGIFPainter::ClearArea(TBitmap& buffer, const TRect& area) {
  TCanvas& canvas = *buffer.Canvas();
  if (Has(FDrawOptions, goTransparent) && FBackground) {
    canvas.CopyRect(area, *FBackground->Canvas(), area);
  } else {
    canvas.Brush.Color = FBackgroundColor;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(area);
  }
}

void TGIFPainter::PaintFrame() {
  int index = FActiveImage;
  if (!FImage || index < 0 || index >= FImage->Frames().Count()) return;
  if (Has(FDrawOptions, goValidateCanvas) && FCanvas->Handle() != FValidDC) {
    Terminate();
    return;
  }
  TGIFSubImage* frame = FImage->Frames().SubImages(index);
  bool transparent = Has(FDrawOptions, goTransparent), tile = Has(FDrawOptions, goTile);
  if (!FBackup) {
    frame->Draw(*FCanvas, FRect, transparent, tile);
    return;
  }
  TRect area = ::Rect(0, 0, FRect.Width(), FRect.Height());
  if (Has(FDrawOptions, goClearOnLoop) && FFirstOfPass) ClearArea(*FBackup, area);
  if (FDisposal == dmPrevious) {
    // The backup keeps the picture from before this frame.
    if (FPreviousDisposal == dmNone || FPreviousDisposal == dmNoDisposal) {
      frame->Draw(*FCanvas, FRect, transparent, tile);
    } else {
      FFrameBuffer->Canvas()->CopyRect(area, *FBackup->Canvas(), area);
      frame->Draw(*FFrameBuffer->Canvas(), area, transparent, tile);
      FCanvas->CopyRect(FRect, *FFrameBuffer->Canvas(), area);
    }
    return;
  }
  frame->Draw(*FBackup->Canvas(), area, transparent, tile);
  FCanvas->CopyRect(FRect, *FBackup->Canvas(), area);
  if (FDisposal == dmBackground) ClearArea(*FBackup, tile ? area : frame->ScaleRect(area));
}

void TGIFPainter::Finish() {
  FActiveImage = -1;
  if (FImage) {
    TList& list = FImage->Painters().LockList();
    list.Remove(this);
    if (FPainter && *FPainter == this) *FPainter = nullptr;
    FImage->Painters().UnlockList();
  }
  FBackup.reset();
  FFrameBuffer.reset();
  FBackground.reset();
}

// --- Drawing the image --------------------------------------------------------

TGIFPainter* TGIFImage::InternalPaint(TGIFPainter** painter, TCanvas& canvas, const TRect& rect,
                                      TGIFDrawOptions options) {
  if (rect.Width() <= 0 || rect.Height() <= 0 || Empty()) return nullptr;
  if (FFrames->Count() == 1) options &= TGIFDrawOptions(~DrawOption(goAnimate));
  auto* result = new TGIFPainter(this, canvas, rect, options, painter);
  if (result->Async()) {
    // Started under the list's lock: a stop from another thread finds it
    // listed and running, never half made; and until it leaves the list it
    // is alive.
    TListLock lock(FPainters);
    lock.List().Add(result);
    result->Priority = ThreadPriority;
    result->FreeOnTerminate = true;
    if (painter) *painter = result;
    result->Start();
    return result;
  }
  FPainters.Add(result);
  std::unique_ptr<TGIFPainter> played(result);
  // Nothing of the image is touched once the frames have been played: a
  // handler may have freed it.
  played->Play();
  return nullptr;
}

TGIFPainter* TGIFImage::Paint(TCanvas& canvas, const TRect& rect, TGIFDrawOptions options) {
  return InternalPaint(nullptr, canvas, rect, options);
}

namespace {

// Calls the step for every painter of the list under its lock.
void ForEachPainter(TThreadList& painters, const std::function<void(TGIFPainter&)>& step) {
  TListLock lock(painters);
  for (void* item : lock.List()) step(*static_cast<TGIFPainter*>(item));
}

// Lets painters go on for a while: on the main thread the steps they hand
// over are served meanwhile; elsewhere the thread sleeps as painters do.
void LetPaintersGoOn() {
  if (IsMainThread())
    CheckSynchronize(10);
  else
    GIFPainterTiming().Sleep(10);
}

// Lets painters go on until running() is false. False when the image was
// freed meanwhile (by a handler run here); the caller then touches it no
// more.
bool WaitForPainters(const std::weak_ptr<void>& alive, const std::function<bool()>& running) {
  for (;;) {
    if (alive.expired()) return false;
    if (!running()) return true;
    LetPaintersGoOn();
  }
}

}  // namespace

bool TGIFImage::StopPainters(const std::function<bool(TGIFPainter&)>& which, const std::function<void()>& then) {
  // Two threads may stop the image at once, each from a handler of a
  // painter on its own stack: each would wait for the other's painter for
  // ever. A stop notes the painters it stands on, and a stop that stands on
  // painters itself does not wait for a painter noted so. A stop on a
  // thread that plays no painter of the image waits for every painter: the
  // handler whose stop holds one may still use the image when its stop
  // returns. The image is touched only under the stops' lock (a stop acting
  // on another thread may be freeing it) or while acting.
  const std::shared_ptr<TStops> stops = FStops;
  const uint32_t self = GetCurrentThreadId();
  std::vector<TGIFPainter*> standsOn;
  {
    std::lock_guard<std::mutex> guard(stops->Lock);
    if (stops->Freed) return false;
    ForEachPainter(FPainters, [&](TGIFPainter& painter) {
      if (painter.OnThisStack()) standsOn.push_back(&painter);
    });
    stops->Held.insert(stops->Held.end(), standsOn.begin(), standsOn.end());
  }
  // Leaving, the painters are let go before another stop may act: that one
  // waits for them then.
  struct Leave {
    TStops& Stops;
    const std::vector<TGIFPainter*>& StandsOn;
    bool Acting = false;
    ~Leave() {
      std::lock_guard<std::mutex> guard(Stops.Lock);
      for (TGIFPainter* painter : StandsOn)
        Stops.Held.erase(std::find(Stops.Held.begin(), Stops.Held.end(), painter));
      if (Acting && --Stops.Acts == 0) Stops.Actor = 0;
    }
  } leave{*stops, standsOn};
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(stops->Lock);
      if (stops->Freed) return false;
      // Painters made meanwhile (by a handler) are stopped as well.
      bool waiting = false;
      ForEachPainter(FPainters, [&](TGIFPainter& painter) {
        if (!which(painter)) return;
        painter.Stop();
        const bool held =
            !standsOn.empty() && std::count(stops->Held.begin(), stops->Held.end(), &painter) != 0;
        waiting = waiting || !(painter.OnThisStack() || held);
      });
      if (!waiting && (stops->Actor == 0 || stops->Actor == self)) {
        stops->Actor = self;
        ++stops->Acts;
        leave.Acting = true;
        break;
      }
    }
    LetPaintersGoOn();
  }
  if (then) then();
  return true;
}

void TGIFImage::PaintStart() {
  ForEachPainter(FPainters, [](TGIFPainter& painter) { painter.Start(); });
}

void TGIFImage::PaintStop() { StopAllPainters(); }

bool TGIFImage::StopAllPainters(const std::function<void()>& then) {
  return StopPainters([](TGIFPainter&) { return true; }, [&] {
    FDrawBitmap.reset();
    if (then) then();
  });
}

void TGIFImage::PaintPause() {
  ForEachPainter(FPainters, [](TGIFPainter& painter) { painter.Pause(); });
}

void TGIFImage::PaintResume() {
  ForEachPainter(FPainters, [](TGIFPainter& painter) { painter.Resume(); });
}

void TGIFImage::PaintRestart() {
  ForEachPainter(FPainters, [](TGIFPainter& painter) { painter.Restart(); });
}

bool TGIFImage::StopDraw() {
  // The painters Draw made, asynchronous or playing on some thread.
  return StopPainters([this](TGIFPainter& painter) { return painter.FPainter == &FDrawPainter; },
                      [this] { FDrawBitmap.reset(); });
}

void TGIFImage::Cleanup() {
  StopAllPainters([this] {
    // Painters still listed run further up this thread's stack, one of
    // their handlers freeing the image, or wait in a stop on another
    // thread: they end at their next step without it.
    ForEachPainter(FPainters, [](TGIFPainter& painter) {
      painter.Terminate();
      painter.FImage = nullptr;
      painter.FPainter = nullptr;
    });
    TListLock(FPainters).List().Clear();
    FDrawPainter = nullptr;
    ClearContents();
    std::lock_guard<std::mutex> guard(FStops->Lock);
    FStops->Freed = true;
  });
}

void TGIFImage::SetAnimationSpeed(int speed) {
  speed = std::clamp(speed, 0, 1000);
  if (speed == FAnimationSpeed) return;
  FAnimationSpeed = speed;
  TListLock lock(FPainters);
  if (FDrawPainter) FDrawPainter->SetAnimationSpeed(speed);
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (FDrawing || Empty()) return;
  // Handlers run while painters play or end may free the image: once it is
  // gone, Draw returns without touching it.
  std::weak_ptr<void> alive = FAlive;
  FDrawing = true;
  struct Release {
    bool& Guard;
    std::weak_ptr<void>& Alive;
    ~Release() {
      if (!Alive.expired()) Guard = false;
    }
  } release{FDrawing, alive};
  bool transparent = Has(FDrawOptions, goTransparent), tile = Has(FDrawOptions, goTile);
  if (FFrames->Count() == 1 || !Has(FDrawOptions, goAnimate)) {
    FFrames->SubImages(0)->Draw(canvas, rect, transparent, tile);
    return;
  }
  bool direct = Has(FDrawOptions, goDirectDraw);
  if (FDrawBitmap && !direct) {
    DrawPainted(canvas, rect);
    return;
  }
  {
    TListLock lock(FPainters);
    if (FDrawPainter && FDrawPainter->Canvas() == &canvas && FDrawPainter->Rect() == rect) return;
  }
  if (!StopDraw()) return;
  if (direct) {
    InternalPaint(&FDrawPainter, canvas, rect, FDrawOptions);
    return;
  }
  FDrawBitmap = CopyOfCanvas(canvas, rect, clWhite);
  TGIFPainter* painter = InternalPaint(&FDrawPainter, *FDrawBitmap->Canvas(),
                                       Rect(0, 0, rect.Width(), rect.Height()), FDrawOptions);
  if (alive.expired()) return;
  // Until the first frame is on the bitmap or the painter has ended.
  if (painter && !WaitForPainters(alive, [&] {
        TListLock lock(FPainters);
        return FDrawPainter == painter && !painter->Started();
      }))
    return;
  // A handler may have stopped the painting and dropped the bitmap.
  if (FDrawBitmap) DrawPainted(canvas, rect);
}

void TGIFImage::DrawPainted(TCanvas& canvas, const TRect& rect) {
  if (!Has(FDrawOptions, goTile)) {
    canvas.StretchDraw(rect, FDrawBitmap.get());
    return;
  }
  const int stepX = std::max(1, Width()), stepY = std::max(1, Height());
  for (int y = rect.Top; y < rect.Bottom; y += stepY)
    for (int x = rect.Left; x < rect.Right; x += stepX) {
      int width = std::min(stepX, rect.Right - x), height = std::min(stepY, rect.Bottom - y);
      canvas.CopyRect(Bounds(x, y, width, height), *FDrawBitmap->Canvas(), Rect(0, 0, width, height));
    }
}
