// Small picture files built byte by byte, for tests that need a file of a
// kind without caring about its details.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/gdi.h"

// An .ico file with one 24-bit entry of width x height pixels, every pixel
// of the given colour; the pixels listed in transparent (as y * width + x)
// have their AND-mask bit set and a black colour.
std::vector<uint8_t> MakeIcoFile(int width, int height, TColor color, const std::vector<int>& transparent);

// An enhanced metafile whose picture frame is widthMm100 x heightMm100
// hundredths of a millimetre at 96 dpi, drawing one rectangle filled with
// fill (no outline) from (left, top) to (right, bottom) in pixels.
std::vector<uint8_t> MakeEmfFile(int widthMm100, int heightMm100, TColor fill, int left, int top, int right,
                                 int bottom);

