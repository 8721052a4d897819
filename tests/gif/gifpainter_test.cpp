// The animation painter played on the test's thread with a clock of the
// test's own: the waits between frames and the clearing before each pass.
#include <gtest/gtest.h>

#include "gif/gifpainter.h"
#include "tests/gif/gifsupport.h"

namespace {

// A clock that moves only when the painter sleeps or the test moves it.
struct FakeTiming {
  uint32_t Clock = 1000;
  int Slept = 0;
  TGIFPainterTiming Saved = GIFPainterTiming();
  FakeTiming() {
    GIFPainterTiming().Now = [this] { return Clock; };
    GIFPainterTiming().Sleep = [this](int milliseconds) {
      EXPECT_LE(milliseconds, 100);  // in slices
      Clock += uint32_t(milliseconds);
      Slept += milliseconds;
    };
  }
  ~FakeTiming() { GIFPainterTiming() = Saved; }
};

TGIFGraphicControlExtension& Control(TGIFSubImage& frame, int delay) {
  auto* gce = new TGIFGraphicControlExtension(&frame);
  frame.Extensions().Add(gce);
  gce->SetDelay(uint16_t(delay));
  return *gce;
}

// A screen of 4 x 1 pixels: frame 0 fills it with colour 1, frames 1 and
// 2 put colours 2 and 3 at x = 1 and x = 2.
std::unique_ptr<TGIFImage> ThreeFrames(const std::vector<int>& delays) {
  auto image = MakeImage(4, 4, 1, {1, 1, 1, 1});
  AddFrame(*image, 1, 0, 1, 1).Data()[0] = 2;
  AddFrame(*image, 2, 0, 1, 1).Data()[0] = 3;
  for (int i = 0; i < 3; ++i) Control(FrameOf(*image, i), delays[size_t(i)]);
  return image;
}

std::unique_ptr<TBitmap> BlackCanvas() { return MakeFlatBitmap(4, 1, clBlack); }

TGIFDrawOptions Options(std::initializer_list<TGIFDrawOption> options) {
  TGIFDrawOptions set = 0;
  for (TGIFDrawOption option : options) set |= DrawOption(option);
  return set;
}

// The waits before each frame, in milliseconds, when drawing a frame takes
// drawing milliseconds.
std::vector<int> Waits(TGIFImage& image, int drawing) {
  FakeTiming timing;
  std::vector<int> waits;
  image.OnPaint = [&](TObject*) {
    waits.push_back(timing.Slept);
    timing.Slept = 0;
  };
  image.OnAfterPaint = [&](TObject*) { timing.Clock += uint32_t(drawing); };
  auto canvas = BlackCanvas();
  EXPECT_EQ(image.Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), Options({goAnimate})), nullptr);
  return waits;
}

}  // namespace

TEST(GifPainter, SlowFramesShortenTheNextWait) {
  // Delays 10, 1 (raised to 3) and 5 hundredths of a second, 12 ms each.
  auto image = ThreeFrames({10, 1, 5});
  // A synchronous painter waits 1 unit before the first frame.
  EXPECT_EQ(Waits(*image, 0), std::vector<int>({12, 120, 36}));
  // Half of what a frame overran comes off the next wait.
  EXPECT_EQ(Waits(*image, 30), std::vector<int>({12, 105, 21}));
  // Twice as fast: half the waits.
  image->SetAnimationSpeed(200);
  EXPECT_EQ(Waits(*image, 30), std::vector<int>({6, 52, 10}));
  // An overrun above the whole delay leaves no wait at all.
  image->SetAnimationSpeed(100);
  EXPECT_EQ(Waits(*image, 1000), std::vector<int>({12, 0, 0}));
  // At speed 0 a synchronous painter waits the longest delay, whatever
  // the overrun.
  image->SetAnimationSpeed(0);
  EXPECT_EQ(Waits(*image, 1000), std::vector<int>({12000, 12000, 12000}));
}

TEST(GifPainter, ClearOnLoopClearsBeforeEveryPass) {
  auto image = ThreeFrames({10, 10, 10});
  // Two passes; the second starts at frame 1, which holds the loop.
  auto* loop = new TGIFAppExtNSLoop(&FrameOf(*image, 1));
  FrameOf(*image, 1).Extensions().Add(loop);
  loop->SetLoops(2);
  image->DrawBackgroundColor = clYellow;
  TColor c1 = TGIFColorMap::RGB2Color(image->GlobalColorMap().Colors(1));
  TColor c2 = TGIFColorMap::RGB2Color(image->GlobalColorMap().Colors(2));
  TColor c3 = TGIFColorMap::RGB2Color(image->GlobalColorMap().Colors(3));

  FakeTiming timing;
  auto canvas = BlackCanvas();
  std::vector<std::vector<TColor>> shown;
  int loops = 0;
  image->OnAfterPaint = [&](TObject*) {
    std::vector<TColor> pixels;
    for (int x = 0; x < 4; ++x) pixels.push_back(PixelAt(*canvas, x, 0));
    shown.push_back(pixels);
  };
  image->OnLoop = [&](TObject*) { ++loops; };
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), Options({goAnimate, goLoop, goClearOnLoop}));
  EXPECT_EQ(loops, 1);
  std::vector<std::vector<TColor>> expected = {
      {c1, c1, c1, c1},
      {c1, c2, c1, c1},
      {c1, c2, c3, c1},
      // The second pass begins on a cleared area.
      {clYellow, c2, clYellow, clYellow},
      {clYellow, c2, c3, clYellow},
  };
  EXPECT_EQ(shown, expected);

  // Without the option the area keeps what the last pass left.
  shown.clear();
  canvas->Assign(BlackCanvas().get());
  image->Paint(*canvas->Canvas(), Rect(0, 0, 4, 1), Options({goAnimate, goLoop}));
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[3], std::vector<TColor>({c1, c2, c3, c1}));
}
