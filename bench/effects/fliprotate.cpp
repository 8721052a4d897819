// Flip in each mode, Rotate by the default 45 degrees without smoothing and
// by a quarter turn, Increase by the default zoom 2 in both types.
#include "effects/fliprotate.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("FlipHorizontal", [](TBitmap& b) { ApplyFlip(b, 0); }),
     RegisterEffect("FlipVertical", [](TBitmap& b) { ApplyFlip(b, 1); }),
     RegisterEffect("FlipBoth", [](TBitmap& b) { ApplyFlip(b, 2); }),
     RegisterEffect("Rotate45", [](TBitmap& b) { ApplyRotate(b, 45, 0); }),
     RegisterEffect("Rotate90", [](TBitmap& b) { ApplyRotate(b, 90, 0); }),
     RegisterEffect("IncreasePixelate", [](TBitmap& b) { ApplyIncrease(b, 2, 0); }),
     RegisterEffect("IncreaseInterpolation", [](TBitmap& b) { ApplyIncrease(b, 2, 1); }), 0);
