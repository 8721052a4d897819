// The tile and displacement remaps with the job's default parameters; the
// Tile count as the batch limits it for a 4000 x 3000 picture
// (min(2, min(800, 600))).
#include "bench/effects/effectbench.h"
#include "effects/tile.h"

static const int registered =
    (RegisterEffect("Glasstile", [](TBitmap& b) { ApplyGlasstile(b, 20, 20); }),
     RegisterEffect("Tile", [](TBitmap& b) { ApplyTile(b, 2); }),
     RegisterEffect("TileReflection", [](TBitmap& b) { ApplyTileReflection(b, 0, 6, 16); }),
     RegisterEffect("Shake", [](TBitmap& b) { ApplyShake(b, 20, 0); }),
     RegisterEffect("Ripple", [](TBitmap& b) { ApplyRipple(b, 10, 0); }), 0);
