// The polar and lens remaps with the job's default parameters; the Spheric
// centre and the Fish eye radius as the batch limits them for a 4000 x 3000
// picture (min(50, 4000), min(50, 3000) and min(40, 1500)).
#include "effects/polar.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("Cylinder", [](TBitmap& b) { ApplyCylinder(b, 10); }),
     RegisterEffect("Spheric", [](TBitmap& b) { ApplySpheric(b, 50, 50); }),
     RegisterEffect("Swirl", [](TBitmap& b) { ApplySwirl(b, 3); }),
     RegisterEffect("Twist", [](TBitmap& b) { ApplyTwist(b, 50); }),
     RegisterEffect("Warp", [](TBitmap& b) { ApplyWarp(b, 5); }),
     RegisterEffect("FishEye", [](TBitmap& b) { ApplyFishEye(b, 70, 40, false); }), 0);
