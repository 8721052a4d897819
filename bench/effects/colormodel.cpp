// The colour-model effects with the job's default parameters, and HLS also
// with steps that change the picture (hue +50, lightness +0.3, saturation -0.2).
#include "bench/effects/effectbench.h"
#include "effects/colormodel.h"

static const int registered =
    (RegisterEffect("ColorTone", [](TBitmap& b) { ApplyColorTone(b, 128 + 128 * 256 + 128 * 65536); }),
     RegisterEffect("AutoColor", [](TBitmap& b) { ApplyAutoColor(b); }),
     RegisterEffect("HLS", [](TBitmap& b) { ApplyHLS(b, 15, 10, 10); }),
     RegisterEffect("HLS/20,13,8", [](TBitmap& b) { ApplyHLS(b, 20, 13, 8); }), 0);
