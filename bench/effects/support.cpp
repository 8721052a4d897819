// What the effects share: a fresh picture and a copy of one.
#include <benchmark/benchmark.h>

#include "bench/effects/effectbench.h"
#include "effects/effectbase.h"

static const int registered =
    (RegisterEffect("NewPicture", [](TBitmap& b) { benchmark::DoNotOptimize(NewPicture(b.Width(), b.Height())); }),
     RegisterEffect("CopyPicture", [](TBitmap& b) { benchmark::DoNotOptimize(CopyPicture(b)); }),
     RegisterEffect("Assign", [](TBitmap& b) {
       TBitmap copy;
       copy.Assign(&b);
       benchmark::DoNotOptimize(copy.ScanLine(0));
     }),
     0);
