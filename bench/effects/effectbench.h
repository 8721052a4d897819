// Shared by the effect benchmarks: a 12-megapixel picture and a way to time
// an effect on a fresh copy of it.
#pragma once

#include <functional>

#include "platform/graphics.h"

// 4000 x 3000, 24-bit, with smooth gradients, edges and fine texture.
TBitmap& BenchPicture();

// Registers a benchmark called name that runs the effect on a fresh copy of
// the picture in every iteration (the copy is not timed) and reports the
// time per megapixel.
int RegisterEffect(const char* name, std::function<void(TBitmap&)> effect);
