// The row and tile redraw effects with the job's default parameters; the
// Texturing level and the Figure value as the batch limits them for a
// 4000 x 3000 picture (min(10, 2000) and min(40, 2000)).
#include "effects/rowtile.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("Ribbon", [](TBitmap& b) { ApplyRibbon(b, 50, 50); }),
     RegisterEffect("Wind", [](TBitmap& b) { ApplyWind(b, 5); }),
     RegisterEffect("Texturing", [](TBitmap& b) { ApplyTexturing(b, 10, 0); }),
     RegisterEffect("Figure", [](TBitmap& b) { ApplyFigure(b, 40, 1); }), 0);
