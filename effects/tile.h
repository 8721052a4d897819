// Effects that rearrange the picture in tiles or shift rows and columns by
// offsets. Every function changes the 24-bit working bitmap in place and
// reads and writes only inside the picture, whatever its arguments.
#pragma once

#include "platform/graphics/graphics.h"

// Glass blocks: along each axis, tiles of the given size (2..100) show their
// content squeezed to half size twice. The source index runs 2c + o,
// clamped to the picture, with c counting from 0 and, after each half tile,
// restarting at -(half + size mod 2) as o grows by the tile size (tile 4:
// 0, 2, 0, 2, 4, 6, 4, 6, ...).
void ApplyGlasstile(TBitmap& picture, int tileWidth, int tileHeight);
// The whole picture shrunk by bicubic resampling into count x count tiles
// drawn from the top-left corner; the columns and rows the tiles leave over
// keep the picture. Nothing changes when count is 0 or below or a tile would
// be narrower or lower than 5 pixels.
void ApplyTile(TBitmap& picture, int count);
// A grid of curved square cells, turned by angle - 45 degrees (angle
// 0..90), of squareSize pixels (limited to 2..200), bent by curvature - 20
// (curvature 0..40; 20 bends as 21). Each pixel becomes the mean of 17
// samples read from the picture as this pass leaves it (rows above and
// pixels to the left already changed).
void ApplyTileReflection(TBitmap& picture, int angle, int squareSize, int curvature);
// Shifts even rows left and odd rows right (direction 0), or even columns up
// and odd columns down (any other direction), by value percent of the side.
// The pixels no shifted pixel covers keep theirs. Nothing changes when the
// shift comes out 0 or below, or more than half the side.
void ApplyShake(TBitmap& picture, int value, int direction);
// Copies every row down by a per-column offset 0..value (value limited to
// half the height), in place from the bottom up: type 0 a sawtooth, 1 a
// triangle, 2 random offsets with the generators seeded from the clock in
// every row, any other type random offsets continuing the sequence; the
// random types hold the sequence (TRandomSequence) for all their draws. A
// value of 0 or below (also through a picture one row high) changes nothing
// and draws nothing.
void ApplyRipple(TBitmap& picture, int value, int type);
