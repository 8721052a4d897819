// The animation painter played on the test's thread with a clock of the
// test's own: the waits between frames and the clearing before each pass.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <utility>

#include "gif/gifpainter.h"
#include "tests/gif/gifsupport.h"

namespace {

// Serves the painters' hand-overs until the condition holds; false when it
// still does not after a minute.
bool ServeUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    CheckSynchronize(10);
  }
  return true;
}

int PainterCount(TGIFImage& image) { return image.Painters().Count(); }

const TGIFDrawOptions kForEver = DrawOption(goAnimate) | DrawOption(goLoop) | DrawOption(goLoopContinously);

// A clock that moves only when the painter sleeps or the test moves it.
struct FakeTiming {
  std::atomic<uint32_t> Clock{1000};
  std::atomic<int> Slept{0};  // a worker's stop may sleep here too
  TGIFPainterTiming Saved = GIFPainterTiming();
  FakeTiming() {
    GIFPainterTiming().Now = [this] { return Clock.load(); };
    GIFPainterTiming().Sleep = [this](int milliseconds) {
      EXPECT_LE(milliseconds, 100);  // in slices
      Clock += uint32_t(milliseconds);
      Slept += milliseconds;
    };
  }
  ~FakeTiming() { GIFPainterTiming() = Saved; }
};

// A screen of 4 x 1 pixels: frame 0 fills it with red, frames 1 and 2 put
// lime and blue at x = 1 and x = 2.
std::unique_ptr<TGIFImage> ThreeFrames(const std::vector<int>& delays) {
  auto image = MakeImage(4, 4, 1, {1, 1, 1, 1});
  AddFrame(*image, 1, 0, 1, 1).Data()[0] = 2;
  AddFrame(*image, 2, 0, 1, 1).Data()[0] = 3;
  const TColor colors[] = {clRed, clLime, clBlue};
  for (int i = 0; i < 3; ++i) {
    image->GlobalColorMap().SetColors(i + 1, TGIFColorMap::Color2RGB(colors[i]));
    TGIFSubImage& frame = FrameOf(*image, i);
    auto* gce = new TGIFGraphicControlExtension(&frame);
    frame.Extensions().Add(gce);
    gce->SetDelay(uint16_t(delays[size_t(i)]));
  }
  return image;
}

// The waits before each frame, in milliseconds, when drawing a frame takes
// drawing milliseconds.
std::vector<int> Waits(TGIFImage& image, int drawing) {
  FakeTiming timing;
  std::vector<int> waits;
  image.OnPaint = [&](TObject*) {
    waits.push_back(timing.Slept.load());
    timing.Slept = 0;
  };
  image.OnAfterPaint = [&](TObject*) { timing.Clock += uint32_t(drawing); };
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  EXPECT_EQ(image.Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), DrawOption(goAnimate)), nullptr);
  return waits;
}

}  // namespace

TEST(GifPainter, SlowFramesShortenTheNextWait) {
  // Delays 10, 1 (raised to 3) and 5 hundredths of a second, 12 ms each; a
  // synchronous painter waits 1 unit before the first frame.
  auto image = ThreeFrames({10, 1, 5});
  EXPECT_EQ(Waits(*image, 0), std::vector<int>({12, 120, 36}));
  // Half of what a frame overran comes off the next wait.
  EXPECT_EQ(Waits(*image, 30), std::vector<int>({12, 105, 21}));
  // An overrun above the whole delay leaves no wait at all.
  EXPECT_EQ(Waits(*image, 1000), std::vector<int>({12, 0, 0}));
  // Twice as fast: half the waits.
  image->SetAnimationSpeed(200);
  EXPECT_EQ(Waits(*image, 30), std::vector<int>({6, 52, 10}));
  // At speed 0 a synchronous painter waits the longest delay.
  image->SetAnimationSpeed(0);
  EXPECT_EQ(Waits(*image, 1000), std::vector<int>({12000, 12000, 12000}));
}

TEST(GifPainter, DelaysKeepToTheirBounds) {
  // No delay waits the default 10 units, a long one at most 1000 units
  // (synchronous painters); 12 ms a unit.
  auto image = ThreeFrames({0, 2000, 10});
  EXPECT_EQ(Waits(*image, 0), std::vector<int>({12, 120, 12000}));
}

TEST(GifPainter, AnAsynchronousPainterOverrunningItsDelaysGoesOn) {
  auto image = ThreeFrames({10, 1, 5});
  FakeTiming timing;
  int painted = 0;
  image->OnPaint = [&](TObject*) { ++painted; };
  image->OnAfterPaint = [&](TObject*) { timing.Clock += 1000; };
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), DrawOption(goAsync) | DrawOption(goAnimate));
  EXPECT_TRUE(ServeUntil([&] { return painted == 3; }));
  image->PaintStop();
}

TEST(GifPainter, ClearOnLoopClearsBeforeEveryPass) {
  // Two passes; the second starts at frame 1, which holds the loop.
  auto image = ThreeFrames({10, 10, 10});
  auto* loop = new TGIFAppExtNSLoop(&FrameOf(*image, 1));
  FrameOf(*image, 1).Extensions().Add(loop);
  loop->SetLoops(2);
  image->DrawBackgroundColor = clYellow;
  FakeTiming timing;
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  std::vector<std::string> shown;
  image->OnAfterPaint = [&](TObject*) { shown.push_back(ColorLetters(*canvas)); };
  TGIFDrawOptions options = DrawOption(goAnimate) | DrawOption(goLoop);
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), options | DrawOption(goClearOnLoop));
  EXPECT_EQ(shown, std::vector<std::string>({"RRRR", "RGRR", "RGBR", "YGYY", "YGBY"}));
  // Without the option the second pass starts on what the first left.
  shown.clear();
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), options);
  EXPECT_EQ(shown, std::vector<std::string>({"RRRR", "RGRR", "RGBR", "RGBR", "RGBR"}));
}

TEST(GifPainter, TiledAnimationsRepeatWhatWasPainted) {
  // A screen of 2 x 1: red and lime; the second frame turns the left pixel
  // blue. Drawn tiled over 4 x 1, then what was painted is drawn again over
  // 8 x 1: repeated in steps of the screen, never stretched.
  auto image = MakeImage(4, 2, 1, {1, 2});
  image->GlobalColorMap().SetColors(1, TGIFColorMap::Color2RGB(clRed));
  image->GlobalColorMap().SetColors(2, TGIFColorMap::Color2RGB(clLime));
  image->GlobalColorMap().SetColors(3, TGIFColorMap::Color2RGB(clBlue));
  AddFrame(*image, 0, 0, 1, 1).Data()[0] = 3;
  image->SetDrawOptions(DrawOption(goAnimate) | DrawOption(goTile));
  FakeTiming timing;
  auto first = MakeFlatBitmap(4, 1, clBlack);
  image->Draw(*first->Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(ColorLetters(*first), "BGBG");
  auto second = MakeFlatBitmap(8, 1, clBlack);
  image->Draw(*second->Canvas(), Rect(0, 0, 8, 1));
  EXPECT_EQ(ColorLetters(*second), "BGBGBGBG");
  // Without tiling the painted picture is stretched.
  image->SetDrawOptions(DrawOption(goAnimate));
  image->Draw(*first->Canvas(), Rect(0, 0, 4, 1));
  image->Draw(*second->Canvas(), Rect(0, 0, 8, 1));
  EXPECT_EQ(ColorLetters(*second), "BBBBGGGG");
}

TEST(GifPainter, PaintStartStartsPaintersMadeSuspended) {
  auto image = ThreeFrames({10, 10, 10});
  FakeTiming timing;
  std::atomic<int> painted{0};
  image->OnPaint = [&](TObject*) { ++painted; };
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  auto* painter =
      new TGIFPainter(image.get(), *canvas->Canvas(), Rect(0, 0, 4, 1), DrawOption(goAsync) | DrawOption(goAnimate));
  painter->FreeOnTerminate = true;
  image->Painters().LockList().Add(painter);
  image->Painters().UnlockList();
  for (int i = 0; i < 5; ++i) CheckSynchronize(10);
  EXPECT_EQ(painted, 0);
  image->PaintStart();
  EXPECT_TRUE(ServeUntil([&] { return painted == 3; }));
  image->PaintStop();
}

TEST(GifPainter, APainterWhoseStepRaisesLeavesTheImage) {
  auto image = ThreeFrames({10, 10, 10});
  FakeTiming timing;
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  const TGIFDrawOptions async = DrawOption(goAsync) | DrawOption(goAnimate) | DrawOption(goLoop);
  int painted = 0;
  // An asynchronous painter whose handler runs out of memory at the
  // second frame ends and leaves the list; stopping the image afterwards
  // reaches no painter.
  image->OnAfterPaint = [&](TObject*) {
    if (++painted == 2) throw std::bad_alloc();
  };
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), async | DrawOption(goLoopContinously));
  ASSERT_TRUE(ServeUntil([&] { return PainterCount(*image) == 0; }));
  EXPECT_EQ(painted, 2);
  image->PaintStop();

  // The painter of Draw raising before its first frame: Draw gets no
  // painter back to compare against, and the next Draw of the same place
  // starts a new one that paints.
  painted = 0;
  bool raise = true;
  image->OnAfterPaint = nullptr;
  image->OnPaint = [&](TObject*) {
    if (raise) throw EOutOfMemory("Out of memory");
    ++painted;
  };
  image->SetDrawOptions(async | DrawOption(goDirectDraw));
  canvas = MakeFlatBitmap(4, 1, clBlack);
  image->Draw(*canvas->Canvas(), Rect(0, 0, 4, 1));
  ASSERT_TRUE(ServeUntil([&] { return PainterCount(*image) == 0; }));
  EXPECT_EQ(ColorLetters(*canvas), "KKKK");
  raise = false;
  image->Draw(*canvas->Canvas(), Rect(0, 0, 4, 1));
  EXPECT_TRUE(ServeUntil([&] { return painted > 0 && ColorLetters(*canvas)[0] == 'R'; }));
  image->PaintStop();
  EXPECT_EQ(PainterCount(*image), 0);

  // Drawing through the image's own bitmap waits for the first frame or
  // the painter's end: it returns with the canvas as it was.
  raise = true;
  image->SetDrawOptions(async);
  auto other = MakeFlatBitmap(4, 1, clYellow);
  image->Draw(*other->Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(ColorLetters(*other), "YYYY");
  EXPECT_TRUE(ServeUntil([&] { return PainterCount(*image) == 0; }));

  // A synchronous painter passes what its handler raised on to Paint's
  // caller, and is gone.
  image->OnPaint = nullptr;
  image->OnAfterPaint = [&](TObject*) { throw EOutOfMemory("Out of memory"); };
  EXPECT_THROW(image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), DrawOption(goAnimate)), EOutOfMemory);
  EXPECT_EQ(PainterCount(*image), 0);
}

TEST(GifPainter, AQuitMessageEndsASynchronousPainterAndStaysPosted) {
  // Endless passes, ended by a quit that a handler posts at the fourth
  // frame: the painter sees it in its next wait and paints no more.
  auto image = ThreeFrames({10, 10, 10});
  FakeTiming timing;
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  const TGIFDrawOptions looping = DrawOption(goAnimate) | DrawOption(goLoop) | DrawOption(goLoopContinously);
  int painted = 0;
  image->OnAfterPaint = [&](TObject*) {
    if (++painted == 4) PostQuitMessage(3);
    if (painted == 1000) image->PaintStop();  // never reached when quits are heard
  };
  EXPECT_EQ(image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), looping), nullptr);
  EXPECT_EQ(painted, 4);
  EXPECT_EQ(PainterCount(*image), 0);
  // A later painter on this thread leaves the quit it answered and plays.
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), DrawOption(goAnimate));
  EXPECT_EQ(painted, 7);
  // The quit stays posted for the thread's own loop, once.
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(int(intptr_t(msg.wParam)), 3);
  EXPECT_FALSE(PeekMessage(msg, PM_REMOVE));

  // At speed 0 every frame waits 12 seconds, in slices of 100 ms: a quit
  // posted half a second into the first wait ends it at the next slice,
  // before any frame.
  image->SetAnimationSpeed(0);
  painted = 0;
  int slept = 0;
  GIFPainterTiming().Sleep = [&](int milliseconds) {
    EXPECT_LE(milliseconds, 100);
    timing.Clock += uint32_t(milliseconds);
    slept += milliseconds;
    if (slept == 500) PostQuitMessage(0);
    if (slept == 100000) image->PaintStop();  // never reached when quits are heard
  };
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), looping);
  EXPECT_EQ(slept, 500);
  EXPECT_EQ(painted, 0);
  ASSERT_TRUE(PeekMessage(msg, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_FALSE(PeekMessage(msg, PM_REMOVE));
}

TEST(GifPainter, AQuitPostedFromAnotherThreadEndsASynchronousPainter) {
  // A thread of its own plays the image synchronously at speed 0 (twelve
  // seconds a frame, for ever) with the system's clock; the test posts a
  // quit to that thread once it paints.
  auto image = ThreeFrames({10, 10, 10});
  image->SetAnimationSpeed(0);
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  std::atomic<uint32_t> paintingThread{0};
  std::atomic<bool> done{false}, handlersOnPainter{true}, quitKept{false};
  image->OnStartPaint = [&](TObject*) {
    handlersOnPainter = handlersOnPainter && GetCurrentThreadId() == paintingThread;
  };
  std::thread painting([&] {
    paintingThread = GetCurrentThreadId();
    image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1),
                 DrawOption(goAnimate) | DrawOption(goLoop) | DrawOption(goLoopContinously));
    TMsg msg;
    quitKept = PeekMessage(msg, PM_REMOVE) && msg.message == WM_QUIT && msg.wParam == 9;
    done = true;
  });
  ASSERT_TRUE(ServeUntil([&] { return PainterCount(*image) == 1; }));
  EXPECT_TRUE(PostThreadMessage(paintingThread, WM_QUIT, 9, 0));
  bool ended = ServeUntil([&] { return done.load(); });
  if (!ended) image->PaintStop();  // so that the thread can be joined
  painting.join();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(quitKept);
  EXPECT_TRUE(handlersOnPainter);
  EXPECT_EQ(PainterCount(*image), 0);
}

TEST(GifPainter, HandlersMayStopClearReloadOrFreeTheImage) {
  // Whatever a handler does, the painter ends at its next step: only the
  // end event follows (none once the image is freed), nothing waits for the
  // painter whose handler runs (the alarm ends such a hang), nothing touches
  // what was freed. Painters of Draw, so that new draw options stop them.
  // "quit": a painter played there answers a quit, which ends this
  // synchronous one at its next wait too. "crossed": this handler frees the
  // image while a synchronous painter's handler on a worker clears it; each
  // stop would wait for the other's painter.
  struct Alarm {
    Alarm() { alarm(120); }
    ~Alarm() { alarm(0); }
  } hang;
  FakeTiming timing;
  for (bool async : {false, true})
    for (std::string handler : {"paint", "loop", "end"})
      for (std::string action :
           {"PaintStop", "Clear", "LoadFromStream", "SetDrawOptions", "free", "quit", "crossed"}) {
        if (async && action == "quit") continue;  // asynchronous painters hear no quits
        SCOPED_TRACE((async ? "async " : "sync ") + handler + " " + action);
        auto image = ThreeFrames({10, 10, 10});
        auto* loop = new TGIFAppExtNSLoop(&FrameOf(*image, 0));  // two passes
        FrameOf(*image, 0).Extensions().Add(loop);
        loop->SetLoops(2);
        image->SetAnimationSpeed(1000);  // asynchronous painters wait for real
        TMemoryStream saved;
        image->SaveToStream(saved);
        saved.SetPosition(0);
        std::vector<std::string> after;  // the events after the action
        bool acted = false;
        std::thread worker;  // "crossed": its painter plays on otherCanvas
        std::atomic<bool> clearing{false};
        auto otherCanvas = MakeFlatBitmap(4, 1, clBlack);
        auto on = [&](std::string event) -> TNotifyEvent {
          return [&, event](TObject*) {
            if (acted) return after.push_back(event);
            if (event != handler) return;
            acted = true;
            if (action == "PaintStop") image->PaintStop();
            else if (action == "Clear") image->Clear();
            else if (action == "LoadFromStream") image->LoadFromStream(saved);
            else if (action == "SetDrawOptions") image->SetDrawOptions(image->DrawOptions() ^ DrawOption(goTransparent));
            else if (action == "quit") {
              auto inner = ThreeFrames({10, 10, 10});
              inner->OnAfterPaint = [](TObject*) { PostQuitMessage(5); };
              auto innerCanvas = MakeFlatBitmap(4, 1, clBlack);
              inner->Paint(*innerCanvas->Canvas(), Rect(0, 0, 4, 1), kForEver);
            } else if (action == "crossed") {
              TGIFImage* shared = image.get();
              shared->OnAfterPaint = shared->OnLoop = shared->OnEndPaint = nullptr;
              shared->OnPaint = [&, shared](TObject*) {
                if (!clearing.exchange(true)) shared->Clear();
              };
              worker = std::thread([&, shared] { shared->Paint(*otherCanvas->Canvas(), Rect(0, 0, 4, 1), kForEver); });
              while (!clearing) std::this_thread::yield();
              image.reset();
            } else image.reset();
          };
        };
        image->OnPaint = on("paint");
        image->OnAfterPaint = on("after");
        image->OnLoop = on("loop");
        image->OnEndPaint = on("end");
        image->SetDrawOptions(DrawOption(goAnimate) | DrawOption(goLoop) |
                              (async ? DrawOption(goAsync) | DrawOption(goDirectDraw) : 0));
        auto canvas = MakeFlatBitmap(4, 1, clBlack);
        image->Draw(*canvas->Canvas(), Rect(0, 0, 4, 1));
        if (async) {  // it plays while the test serves its hand-overs
          bool ended = false;
          static_cast<TGIFPainter*>(image->Painters().LockList()[0])->OnTerminate = [&] { ended = true; };
          image->Painters().UnlockList();
          ASSERT_TRUE(ServeUntil([&] { return ended; }));
        }
        if (worker.joinable()) worker.join();
        ASSERT_TRUE(acted);
        const bool freed = action == "free" || action == "crossed";
        std::vector<std::string> expected(!freed && handler != "end", "end");
        if (action == "quit" && handler == "paint") expected.insert(expected.begin(), "after");
        EXPECT_EQ(after, expected);
        if (action == "quit") {  // posted once, for the thread's own loop
          TMsg msg;
          EXPECT_TRUE(PeekMessage(msg, PM_REMOVE) && msg.message == WM_QUIT && msg.wParam == 5);
          EXPECT_FALSE(PeekMessage(msg, PM_REMOVE));
        }
        if (freed) continue;
        EXPECT_EQ(image->Frames().Count(), action == "Clear" ? 0 : 3);
      }
}

TEST(GifPainter, ClearingOnAnotherThreadWaitsForASynchronousPainter) {
  // A thread of its own plays the image for ever; the test clears it while
  // a handler of the painter runs there, long enough for a clear that does
  // not wait to be over. The frames stay until the painter has ended.
  auto image = ThreeFrames({10, 10, 10});
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  std::atomic<bool> painting{false};
  std::atomic<int> framesSeen{-1};
  image->OnPaint = [&](TObject*) {
    if (painting.exchange(true)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    framesSeen = image->Frames().Count();
  };
  std::thread player([&] { image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), kForEver); });
  EXPECT_TRUE(ServeUntil([&] { return painting.load(); }));
  image->Clear();
  player.join();
  EXPECT_EQ(framesSeen, 3);
  EXPECT_TRUE(image->Empty());
}

TEST(GifPainter, AFrameIsRenderedOnceWhenTwoThreadsAskAtOnce) {
  // The first thread to render the frame holds it up in a progress handler
  // for up to a second; the other asks for the same frame meanwhile and
  // must wait for that rendering rather than make one of its own.
  auto image = ThreeFrames({10, 10, 10});
  std::atomic<int> renderings{0};
  image->OnProgress = [&](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string&) {
    if (stage != psStarting || ++renderings > 1) return;
    for (int i = 0; i < 1000 && renderings == 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::thread other([&] { FrameOf(*image, 1).Bitmap(); });
  EXPECT_TRUE(ServeUntil([&] { return renderings > 0; }));
  FrameOf(*image, 1).Bitmap();
  other.join();
  EXPECT_EQ(renderings, 1);
}

TEST(GifPainter, ASynchronousPainterOnTheMainThreadServesItsThread) {
  // At speed 0 every frame waits 12 seconds in slices of 100 ms; between
  // them the other threads' hand-overs and then the GUI's events are
  // served, the latter stopping the painting once a worker's step has been.
  auto image = ThreeFrames({10, 10, 10});
  FakeTiming timing;
  image->SetAnimationSpeed(0);
  bool served = false;
  SetProcessMessagesHook([&] {
    if (served) image->PaintStop();
  });
  int slices = 0;  // ten seconds at least when nothing is served
  GIFPainterTiming().Sleep = [&](int) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (++slices == 10000) image->PaintStop();
  };
  TDummyThread stopper;  // its end is handed to the main thread
  stopper.OnTerminate = [&] { served = true; };
  stopper.Resume();
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), kForEver);
  SetProcessMessagesHook(nullptr);
  EXPECT_LT(slices, 10000);
  stopper.WaitFor();
}

TEST(GifPainter, AFreeOnAThreadPlayingNoPainterWaitsForAHandlerInsideItsStop) {
  // A handler on the main thread clears the image; its stop waits for an
  // asynchronous painter, at whose end a thread playing no painter frees the
  // image. That free waits until the handler is done with the image.
  auto* image = ThreeFrames({10, 10, 10}).release();
  image->SetAnimationSpeed(1000);
  FakeTiming timing;
  std::atomic<uint32_t> freeing{0};
  std::atomic<int> freeWaits{0};
  std::atomic<bool> freed{false};
  GIFPainterTiming().Sleep = [&](int) { freeWaits += GetCurrentThreadId() == freeing; };
  auto canvas = MakeFlatBitmap(4, 1, clBlack);
  std::thread freer;
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), DrawOption(goAsync) | kForEver)->OnTerminate = [&] {
    freer = std::thread([&] {
      freeing = GetCurrentThreadId();
      delete image;
      freed = true;
    });
    EXPECT_TRUE(ServeUntil([&] { return freed || freeWaits > 0; }));
  };
  bool acted = false, sawFreed = false;
  int frames = -1;
  image->OnPaint = [&](TObject*) {
    if (std::exchange(acted, true)) return;
    image->Clear();
    sawFreed = freed;
    if (!sawFreed) frames = image->Frames().Count();
  };
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), kForEver);
  freer.join();
  EXPECT_FALSE(sawFreed);
  EXPECT_EQ(frames, 0);
}
