// The resampler and the resize helpers. "Resize..." has no usable default
// size (its width and height start undefined), so the sizes here are half
// the picture's sides and, for the fit, a preview box of 246 x 246.
#include "effects/resample.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("ResizeByPercent", [](TBitmap& b) { ResizeByPercent(b, 100); }),
     RegisterEffect("ResizeToWidth", [](TBitmap& b) { ResizeToWidth(b, 2000); }),
     RegisterEffect("ResizeToHeight", [](TBitmap& b) { ResizeToHeight(b, 0, 1500); }),
     RegisterEffect("ScaleBitmapToFit", [](TBitmap& b) { ScaleBitmapToFit(b, 246, 246); }), 0);
