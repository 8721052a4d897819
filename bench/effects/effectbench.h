// Shared by the effect benchmarks: a way to time an effect on a fresh copy
// of the 12-megapixel benchmark photo.
#pragma once

#include <functional>

#include "platform/graphics/graphics.h"

// Registers a benchmark called name that runs the effect on a fresh copy of
// the picture in every iteration (the copy is not timed) and reports the
// time per megapixel.
int RegisterEffect(const char* name, std::function<void(TBitmap&)> effect);
