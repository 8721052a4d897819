// Effects that lay a repeating pattern over the picture, each pixel computed
// from its own position: a bevelled grid, blocks, a tiled pattern picture
// and a screen-like shadow mask. All work in place on a 24-bit picture and
// return at once for a picture without pixels.
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"

// The shadow masks of ApplyVideo, by type 0 to 3: the mask's width C and
// height R in cells, and its cells row by row, of which the first R x C are
// used; each names the channel it brightens (0 red, 1 green, 2 blue).
inline constexpr int32_t VideoPatternColumns[4] = {2, 1, 3, 5};
inline constexpr int32_t VideoPatternRows[4] = {6, 3, 3, 15};
inline constexpr int32_t VideoPatternCells[4][75] = {
    {0, 1,
     0, 2,
     1, 2,
     1, 0,
     2, 0,
     2, 1},
    {0,
     1,
     2},
    {0, 1, 2,
     2, 0, 1,
     1, 2, 0},
    {0, 1, 2, 0, 0,
     1, 1, 1, 2, 0,
     0, 1, 2, 2, 2,
     0, 0, 1, 2, 0,
     0, 1, 1, 1, 2,
     2, 0, 1, 2, 2,
     0, 0, 0, 1, 2,
     2, 0, 1, 1, 1,
     2, 2, 0, 1, 2,
     2, 0, 0, 0, 1,
     1, 2, 0, 1, 1,
     2, 2, 2, 0, 1,
     1, 2, 0, 0, 0,
     1, 1, 2, 0, 1,
     1, 2, 2, 2, 0},
};

// Grid of cells with pitch s = min(step, max(W, H)) (1 when below 2): the
// lines are the rows and columns whose index mod s is 0 or s - 1; the top
// and right edge of every cell get -depth, the bottom and left edge +depth
// (the row edges win at corners), channels clamped.
void Apply3DGrid(TBitmap& picture, int step, int depth);
// Each pixel takes the pixel at the start of the next block of size pixels
// across and down, where that lies inside the picture; otherwise it keeps
// its own column or row. A size below 1 changes nothing.
void ApplyPixelate(TBitmap& picture, int size);
// Each pixel's channels less ((B + G + R - 384) * level) / 765 of the pattern
// pixel at (x mod pattern width, y mod pattern height); the other way round
// when inverse is set. The pattern, of any pixel format, is only read; an
// empty one changes nothing.
void ApplyWatermark(TBitmap& picture, const TBitmap& pattern, int level, bool inverse);
// Shadow mask of type 0..3: the channel that the mask names at each pixel
// becomes 2 * c + lightness, clamped; the other two stay. Another type
// changes nothing.
void ApplyVideo(TBitmap& picture, int lightness, int type);
