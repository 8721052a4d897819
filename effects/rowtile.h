// Effects that rebuild the picture from displaced or rescaled parts of
// itself: columns moved along a wave, rows smeared to the right, a shrunk
// copy tiled over the picture, rows squeezed into an outline. All work in
// place on a 24-bit picture and return at once for a picture without pixels.
#pragma once

#include "platform/graphics/graphics.h"

// Moves each column up by a - off(x) rows, where the amplitude a is
// width percent (limited to 0..100) of three quarters of the height and
// off(x) = a * (1 - cos(x * frequency * pi / W * 0.1)) / 2, nearest (a
// negative frequency acts as 0). The bottom rows that nothing moves into
// keep their colours.
void ApplyRibbon(TBitmap& picture, int width, int frequency);
// Smears each row to the right in runs that repeat their first pixel; the
// run pattern repeats every 2 * (level / 2) + 1 rows. A level below 5
// changes nothing.
void ApplyWind(TBitmap& picture, int level);
// Shrinks the picture to a tile of t x t, t = min(level, W / 2, H / 2), and
// draws it over the picture every 2t / 3 pixels across and down (type 0,
// overlapping) or every t pixels (any other type, side by side). Nothing
// changes when that step comes out below 1.
void ApplyTexturing(TBitmap& picture, int level, int type);
// Squeezes each row into a span whose inset follows the outline type 0..6,
// with v = min(value, W / 2): a rectangle, narrowing upward, narrowing
// downward, a barrel, an hourglass, one lens and two lenses grown from the
// centre line. The margins become white. A picture one row high counts as
// its own first row; another type changes nothing.
void ApplyFigure(TBitmap& picture, int value, int type);
