#include "effects/lensfire.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "effects/effectbase.h"

namespace {

// How a painter's weight follows the integer distance d from its centre,
// with r its radius (v is the rule's intermediate value).
enum class TFalloff {
  Squared,     // v = (r - d) / r; v^2 where v > 0
  Linear,      // v = (r - d) / r; v where v > 0
  HaloRing,    // v = |d - r| / (0.07 r); 1 - v where v < 1
  SpotRing,    // v = |d - r| / (0.04 r); 1 - v where v < 1
  Plateau,     // v = (r - d) / (0.15 r); v capped at 1 where v > 0
  DarkCentre,  // v = (r - d) / (0.12 r); v up to 1, beyond it 1 - 0.12 v, where v > 0
};

// The half widths of the two rings as shares of their radius.
constexpr double kHaloRing = 0.07, kSpotRing = 0.04;

// The weight of the painter at integer distance d; false where its rule
// leaves the pixel alone. Every weight lies in 0..1.
bool Weight(TFalloff falloff, double d, double r, double& weight) {
  double v;
  switch (falloff) {
    case TFalloff::Squared:
    case TFalloff::Linear:
      v = (r - d) / r;
      if (v <= 0) return false;
      weight = falloff == TFalloff::Squared ? v * v : v;
      return true;
    case TFalloff::HaloRing:
    case TFalloff::SpotRing:
      v = std::fabs(d - r) / ((falloff == TFalloff::HaloRing ? kHaloRing : kSpotRing) * r);
      if (v >= 1) return false;
      weight = 1 - v;
      return true;
    case TFalloff::Plateau:
      v = (r - d) / (0.15 * r);
      if (v <= 0) return false;
      weight = std::min(v, 1.0);
      return true;
    case TFalloff::DarkCentre:
      v = (r - d) / (0.12 * r);
      if (v <= 0) return false;
      // At the centre v is 1 / 0.12 and the weight comes out 0 (never below)
      // in double precision.
      weight = v <= 1 ? v : 1 - 0.12 * v;
      return true;
  }
  return false;
}

// Every painter: the pixel lightened by the rule's weight where it holds.
void Paint(TFalloff falloff, uint8_t* pixel, double d, double r, double red, double green, double blue) {
  double weight;
  if (Weight(falloff, d, r, weight)) BlendFlarePixel(pixel, weight, red, green, blue);
}

void PaintSpot(TFalloff falloff, uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y) {
  const double dx = static_cast<double>(spot.X) - x, dy = static_cast<double>(spot.Y) - y;
  Paint(falloff, pixel, std::trunc(std::sqrt(dx * dx + dy * dy)), spot.Size, spot.Red, spot.Green, spot.Blue);
}

using TComponentPainter = void (*)(uint8_t* pixel, double d, double r, double red, double green, double blue);
using TSpotPainter = void (*)(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y);

// The five components in painting order: painter, radius factor (of the
// picture width), colour, and for the ring its half width.
struct TComponentRow {
  TComponentPainter Painter;
  double RadiusFactor;
  int Red, Green, Blue;
  double Ring = 0;
};
constexpr TComponentRow kComponents[] = {
    {FlareColor, 0.0375, 239, 239, 239},
    {FlareGlow, 0.078125, 245, 245, 245},
    {FlareInner, 0.1796875, 255, 38, 43},
    {FlareOuter, 0.3359375, 69, 59, 64},
    {FlareHalo, 0.084375, 80, 15, 4, kHaloRing},
};

// The spot painters by type 1 to 4.
constexpr TSpotPainter kReflectionPainters[] = {FlareReflection1, FlareReflection2, FlareReflection3,
                                                FlareReflection4};

// The reflection spots in painting order: type, size factor (of the size
// base), position factor along the line from the picture centre away from
// the flare centre, colour.
struct TSpotRow {
  int Type;
  double SizeFactor, PositionFactor;
  int Red, Green, Blue;
};
constexpr TSpotRow kSpots[] = {
    {1, 0.027, 0.6699, 0, 14, 113},
    {1, 0.01, 0.2692, 90, 181, 142},
    {1, 0.005, -0.0112, 56, 140, 106},
    {2, 0.031, 0.649, 9, 29, 19},
    {2, 0.015, 0.4696, 24, 14, 0},
    {2, 0.037, 0.4087, 24, 14, 0},
    {2, 0.022, -0.2003, 42, 19, 0},
    {2, 0.025, -0.4103, 0, 9, 17},
    {2, 0.058, -0.4503, 0, 4, 10},
    // This small bluish spot continues the chain just beyond the previous
    // one, on the side away from the flare.
    {2, 0.017, -0.5112, 5, 5, 14},
    {2, 0.2, -1.496, 9, 4, 0},
    {2, 0.5, -1.496, 9, 4, 0},
    {3, 0.075, 0.4487, 34, 19, 0},
    {3, 0.1, 1.0, 14, 26, 0},
    {3, 0.039, -1.301, 10, 25, 13},
    {4, 0.19, 1.309, 9, 0, 17},
    {4, 0.195, 1.309, 9, 16, 5},
    {4, 0.2, 1.309, 17, 4, 0},
    {4, 0.038, -1.301, 17, 4, 0},
};
static_assert(std::size(kSpots) == FlareReflectionCount);
constexpr int kPainterCount = std::size(kComponents) + std::size(kSpots);

// One part of the flare as the rows paint it: a component about the flare
// centre, or a reflection spot; either paints nothing when it has no
// painter.
struct TFlarePainter {
  TComponentPainter Component = nullptr;
  double Red = 0, Green = 0, Blue = 0;
  TSpotPainter Reflection = nullptr;
  FlareReflectionSpot Spot{};
  // Centre and radius; for a ring, the share of the radius by which it
  // reaches either side of it.
  int X = 0, Y = 0;
  double Radius = 0, Ring = 0;
};

// The five components about (x, y), sized by the width, then the spots
// placed from the picture centre.
void BuildPainters(int width, int height, int x, int y, TFlarePainter* painters) {
  for (const TComponentRow& row : kComponents) {
    TFlarePainter& p = *painters++;
    p.Component = row.Painter;
    p.Red = row.Red / 255.0, p.Green = row.Green / 255.0, p.Blue = row.Blue / 255.0;
    p.X = x, p.Y = y, p.Radius = width * row.RadiusFactor, p.Ring = row.Ring;
  }
  FlareReflectionTable spots;
  InitFlareReflections(x, y, width, height, width, spots);
  for (const FlareReflectionSpot& spot : spots) {
    TFlarePainter& p = *painters++;
    if (spot.Type >= 1 && spot.Type <= 4) p.Reflection = kReflectionPainters[spot.Type - 1];
    p.Spot = spot;
    p.X = spot.X, p.Y = spot.Y, p.Radius = spot.Size, p.Ring = spot.Type == 4 ? kSpotRing : 0;
  }
}

// Paints columns first..last of row y, whose offset from the painter's
// centre is dy.
void PaintSpan(uint8_t* row, const TFlarePainter& painter, int y, double dy, int first, int last) {
  if (painter.Reflection) {
    for (int x = first; x <= last; ++x) painter.Reflection(row + 3 * x, painter.Spot, x, y);
    return;
  }
  for (int x = first; x <= last; ++x) {
    const double dx = static_cast<double>(x) - painter.X;
    painter.Component(row + 3 * x, std::trunc(std::sqrt(dx * dx + dy * dy)), painter.Radius, painter.Red,
                      painter.Green, painter.Blue);
  }
}

// Applies one painter to the pixels of row y its rule reaches. A rule holds
// only for an integer distance d below r (below (1 + k) r for a ring of
// width k r, which also needs d above (1 - k) r), so only pixels between
// those distances, with a margin of 2, are visited.
void PaintRow(uint8_t* row, int y, int w, int h, const TFlarePainter& painter) {
  if (!painter.Component && !painter.Reflection) return;
  const double k = painter.Ring;
  const double outer = (1 + k) * painter.Radius + 2, inner = k > 0 ? (1 - k) * painter.Radius - 2 : 0;
  const double top = std::max(0.0, std::ceil(painter.Y - outer));
  const double bottom = std::min(h - 1.0, std::floor(painter.Y + outer));
  if (y < top || y > bottom) return;
  const double dy = static_cast<double>(y) - painter.Y;
  const double half = std::sqrt(std::max(0.0, outer * outer - dy * dy)) + 1;
  // Columns nearer to the centre than hole lie inside a ring's inner edge.
  const double hole = inner > std::fabs(dy) ? std::sqrt(inner * inner - dy * dy) - 1 : 0;
  const int left = static_cast<int>(std::max(0.0, std::ceil(painter.X - half)));
  const int leftEnd = static_cast<int>(std::clamp(std::floor(painter.X - hole), -1.0, w - 1.0));
  const int right = static_cast<int>(std::clamp(std::ceil(painter.X + hole), leftEnd + 1.0, 1.0 * w));
  const int rightEnd = static_cast<int>(std::min(w - 1.0, std::floor(painter.X + half)));
  PaintSpan(row, painter, y, dy, left, leftEnd);
  PaintSpan(row, painter, y, dy, right, rightEnd);
}

}  // namespace

void InitFlareReflections(int x, int y, int width, int height, double radius, FlareReflectionTable& table) {
  const int cx = width / 2, cy = height / 2;
  // The offsets are held in 64 bits: a far centre must not overflow them.
  const double dx = static_cast<double>(int64_t(cx) - x), dy = static_cast<double>(int64_t(cy) - y);
  for (size_t i = 0; i < table.size(); ++i) {
    const TSpotRow& row = kSpots[i];
    table[i] = {row.Red / 255.0,
                row.Green / 255.0,
                row.Blue / 255.0,
                radius * row.SizeFactor,
                TruncInt(cx + dx * row.PositionFactor),
                TruncInt(cy + dy * row.PositionFactor),
                row.Type};
  }
}

void FlareColor(uint8_t* pixel, double d, double r, double red, double green, double blue) {
  Paint(TFalloff::Squared, pixel, d, r, red, green, blue);
}
void FlareGlow(uint8_t* pixel, double d, double r, double red, double green, double blue) {
  Paint(TFalloff::Squared, pixel, d, r, red, green, blue);
}
void FlareInner(uint8_t* pixel, double d, double r, double red, double green, double blue) {
  Paint(TFalloff::Squared, pixel, d, r, red, green, blue);
}
void FlareOuter(uint8_t* pixel, double d, double r, double red, double green, double blue) {
  Paint(TFalloff::Linear, pixel, d, r, red, green, blue);
}
void FlareHalo(uint8_t* pixel, double d, double r, double red, double green, double blue) {
  Paint(TFalloff::HaloRing, pixel, d, r, red, green, blue);
}

void FlareReflection1(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y) {
  PaintSpot(TFalloff::Squared, pixel, spot, x, y);
}
void FlareReflection2(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y) {
  PaintSpot(TFalloff::Plateau, pixel, spot, x, y);
}
void FlareReflection3(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y) {
  PaintSpot(TFalloff::DarkCentre, pixel, spot, x, y);
}
void FlareReflection4(uint8_t* pixel, const FlareReflectionSpot& spot, int x, int y) {
  PaintSpot(TFalloff::SpotRing, pixel, spot, x, y);
}

void BlendFlarePixel(uint8_t* pixel, double weight, double red, double green, double blue) {
  pixel[2] = static_cast<uint8_t>(static_cast<int>(pixel[2] + (255 - pixel[2]) * weight * red));
  pixel[1] = static_cast<uint8_t>(static_cast<int>(pixel[1] + (255 - pixel[1]) * weight * green));
  pixel[0] = static_cast<uint8_t>(static_cast<int>(pixel[0] + (255 - pixel[0]) * weight * blue));
}

void ApplyLensFire(TBitmap& picture, int x, int y) {
  if (NoPixels(picture)) return;
  TFlarePainter painters[kPainterCount];
  BuildPainters(picture.Width(), picture.Height(), x, y, painters);
  // Each painter changes a pixel from its current value alone, so painting
  // all parts row by row gives every pixel the same sequence as painting one
  // part after the other; the rows run in bands on every core.
  const int w = picture.Width(), h = picture.Height();
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int row) {
    for (const TFlarePainter& painter : painters) PaintRow(rows[row], row, w, h, painter);
  });
}
