// Lens flare: five concentric components about a chosen centre (white core,
// white glow, red inner glow, dim outer glow, orange halo ring) and a chain
// of 19 reflection spots on the line through that centre and the picture
// centre. Every part only lightens the picture.
#pragma once

#include <array>
#include <cstdint>

#include "platform/graphics/graphics.h"

// Paints the flare centred at column x, row y onto the 24-bit working bitmap
// in place. Any centre is accepted, also one outside the picture; every
// size is a share of the picture's width.
void ApplyLensFire(TBitmap& picture, int x, int y);

// The parts of the flare, for the effect and for whoever paints a flare
// pixel by pixel. A pixel is the three bytes blue, green, red of a 24-bit
// row; a colour is three channel shares 0..1 (the byte divided by 255).

// One reflection spot: colour, size (its radius in pixels), centre, and
// type 1 to 4, which chooses its painter (another type paints nothing).
struct FlareReflectionSpot {
  double Red, Green, Blue;
  double Size;
  int X, Y;
  int Type;
};
constexpr int FlareReflectionCount = 19;
using FlareReflectionTable = std::array<FlareReflectionSpot, FlareReflectionCount>;

// Fills the table with the 19 spots of a flare centred at (x, y) on a
// width x height picture, in painting order: each spot radius times its size
// factor across, at the picture centre (width / 2, height / 2) plus its
// position factor times the offset from the flare centre to the picture
// centre, truncated toward zero. The effect passes the width as radius.
void InitFlareReflections(int x, int y, int width, int height, double radius, FlareReflectionTable& table);

// The five components, in painting order. Each lightens the pixel at integer
// distance d from the flare centre by its weight for radius r:
// core, glow and inner glow ((r - d) / r)^2, outer glow (r - d) / r, where
// that is above 0; the halo 1 - v with v = |d - r| / (0.07 r), where v < 1.
void FlareColor(uint8_t* pixel, double d, double r, double red, double green, double blue);
void FlareGlow(uint8_t* pixel, double d, double r, double red, double green, double blue);
void FlareInner(uint8_t* pixel, double d, double r, double red, double green, double blue);
void FlareOuter(uint8_t* pixel, double d, double r, double red, double green, double blue);
void FlareHalo(uint8_t* pixel, double d, double r, double red, double green, double blue);

// The spot painters for pixel (x, y): each takes the integer distance ds of
// the pixel from the spot's centre and its size s, and lightens the pixel
// with the spot's colour by its weight. Type 1: v = (s - ds) / s, v^2 where
// v > 0. Type 2: v = (s - ds) / (0.15 s), v capped at 1 where v > 0. Type 3:
// v = (s - ds) / (0.12 s), where v > 0 v up to 1 and 1 - 0.12 v beyond (a
// dark centre inside a bright rim). Type 4: v = |ds - s| / (0.04 s), 1 - v
// where v < 1 (a thin ring).
void FlareReflection1(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y);
void FlareReflection2(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y);
void FlareReflection3(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y);
void FlareReflection4(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y);

// The one place where a flare changes a pixel: each channel c becomes
// trunc(c + (255 - c) * weight * share). With weight and share in 0..1 the
// result stays within 0..255.
void BlendFlarePixel(uint8_t* pixel, double weight, double red, double green, double blue);
