// Lens flare: five concentric components about a chosen centre (white core,
// white glow, red inner glow, dim outer glow, orange halo ring) and a chain
// of 19 reflection spots on the line through that centre and the picture
// centre. Every part only lightens the picture.
#pragma once

#include "platform/graphics/graphics.h"

// Paints the flare centred at column x, row y onto the 24-bit working bitmap
// in place. Any centre is accepted, also one outside the picture; every
// size is a share of the picture's width.
void ApplyLensFire(TBitmap& picture, int x, int y);
