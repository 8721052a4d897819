// The angular pattern and fractal remaps with the job's default parameters.
#include "effects/angular.h"

#include "bench/effects/effectbench.h"

static const int registered = (RegisterEffect("Illusion", [](TBitmap& b) { ApplyIllusion(b, 10); }),
                               RegisterEffect("Moire", [](TBitmap& b) { ApplyMoire(b, 10); }),
                               RegisterEffect("Fractal", [](TBitmap& b) { ApplyFractal(b, 2); }), 0);
