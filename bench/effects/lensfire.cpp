// Lens fire at the job's default centre (2, 2), which the batch keeps as it
// is on a 4000 x 3000 picture, and with the flare on the picture centre.
#include "effects/lensfire.h"

#include "bench/effects/effectbench.h"

static const int registered =
    (RegisterEffect("LensFire", [](TBitmap& b) { ApplyLensFire(b, 2, 2); }),
     RegisterEffect("LensFireCentred", [](TBitmap& b) { ApplyLensFire(b, 2000, 1500); }), 0);
