// The random-driven effects with the job's default parameters; the Puzzle
// counts as the batch limits them for a 4000 x 3000 picture (min(5, 4000),
// min(5, 3000)). The generators run on from one iteration to the next, as in
// the program.
#include "bench/effects/effectbench.h"
#include "effects/random.h"

static const int registered =
    (RegisterEffect("Noise", [](TBitmap& b) { ApplyNoise(b, 5, 0); }),
     RegisterEffect("RainDrops", [](TBitmap& b) { ApplyRainDrops(b, 100, 20); }),
     RegisterEffect("Puzzle", [](TBitmap& b) { ApplyPuzzle(b, 5, 5); }), 0);
