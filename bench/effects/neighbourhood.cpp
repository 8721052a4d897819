// The neighbourhood filters with the job's default parameters.
#include "effects/neighbourhood.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("Gauss", [](TBitmap& b) { ApplyGauss(b, 1); }),
     RegisterEffect("Antialias", [](TBitmap& b) { ApplyAntialias(b, 2); }),
     RegisterEffect("BlurRadial", [](TBitmap& b) { ApplyBlurRadial(b, 10); }),
     RegisterEffect("OilPaint", [](TBitmap& b) { ApplyOilPaint(b, 10, 2); }),
     RegisterEffect("Softened", [](TBitmap& b) { ApplySoftened(b, 25, 0); }),
     RegisterEffect("Sharpness", [](TBitmap& b) { ApplySharpness(b, 10, 0); }),
     RegisterEffect("Emboss", [](TBitmap& b) { ApplyEmboss(b, 40, 0); }),
     RegisterEffect("DetectEdge", [](TBitmap& b) { ApplyDetectEdge(b, 40, 0); }), 0);
