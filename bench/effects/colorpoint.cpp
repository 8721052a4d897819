// The colour point operations with the job's default parameters.
#include "effects/colorpoint.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("Contrast", [](TBitmap& b) { ApplyContrast(b, 100); }),
     RegisterEffect("ContrastAuto", [](TBitmap& b) { ApplyContrastAuto(b); }),
     RegisterEffect("Gamma", [](TBitmap& b) { ApplyGamma(b, 8); }),
     RegisterEffect("Greyscale", [](TBitmap& b) { ApplyGreyscale(b); }),
     RegisterEffect("Halftone", [](TBitmap& b) { ApplyHalftone(b); }),
     RegisterEffect("Inverse", [](TBitmap& b) { ApplyInverse(b); }),
     RegisterEffect("Lightness", [](TBitmap& b) { ApplyLightness(b, 100); }),
     RegisterEffect("Monochrome", [](TBitmap& b) { ApplyMonochrome(b); }),
     RegisterEffect("Posterized", [](TBitmap& b) { ApplyPosterized(b, 1); }),
     RegisterEffect("Saturation", [](TBitmap& b) { ApplySaturation(b, 100); }),
     RegisterEffect("Sepia", [](TBitmap& b) { ApplySepia(b, 35); }),
     RegisterEffect("Solorized", [](TBitmap& b) { ApplySolorized(b, 255); }),
     RegisterEffect("SplitLight", [](TBitmap& b) { ApplySplitLight(b, 3); }),
     RegisterEffect("Threshold", [](TBitmap& b) { ApplyThreshold(b, 128); }),
     RegisterEffect("RGB", [](TBitmap& b) { ApplyRGB(b, 0, 0, 0); }), 0);
