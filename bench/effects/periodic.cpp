// The periodic pattern effects with the job's default parameters; the grid
// step as the batch limits it for a 4000 x 3000 picture (min(32, 2000)) and
// the watermark pattern the job makes without a pattern file: a 60 x 60
// square of 0x008000.
#include "effects/periodic.h"

#include "bench/effects/effectbench.h"

namespace {

const TBitmap& GreenSquare() {
  static TBitmap* pattern = [] {
    auto* b = new TBitmap;
    b->SetPixelFormat(pf24bit);
    b->SetSize(60, 60);
    b->Canvas()->Brush.Color = 0x008000;
    b->Canvas()->FillRect(Rect(0, 0, 60, 60));
    return b;
  }();
  return *pattern;
}

}  // namespace

static const int registered =
    (RegisterEffect("3DGrid", [](TBitmap& b) { Apply3DGrid(b, 32, 60); }),
     RegisterEffect("Pixelate", [](TBitmap& b) { ApplyPixelate(b, 3); }),
     RegisterEffect("Watermark", [](TBitmap& b) { ApplyWatermark(b, GreenSquare(), 70, false); }),
     RegisterEffect("Video", [](TBitmap& b) { ApplyVideo(b, 40, 0); }), 0);
