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

// One part of the flare: a component or a reflection spot, each with its
// own centre, radius and colour (channel shares 0..1).
struct TFlarePainter {
  TFalloff Falloff;
  int X, Y;
  double Radius;
  double Red, Green, Blue;
};

// Radius factor (of the picture width) and colour of the five components,
// in painting order.
struct TComponentRow {
  TFalloff Falloff;
  double RadiusFactor;
  int Red, Green, Blue;
};
constexpr TComponentRow kComponents[] = {
    {TFalloff::Squared, 0.0375, 239, 239, 239},    // core
    {TFalloff::Squared, 0.078125, 245, 245, 245},  // glow
    {TFalloff::Squared, 0.1796875, 255, 38, 43},   // inner glow
    {TFalloff::Linear, 0.3359375, 69, 59, 64},     // outer glow
    {TFalloff::HaloRing, 0.084375, 80, 15, 4},     // halo
};

// The reflection spots in painting order: falloff by spot type (1 Squared,
// 2 Plateau, 3 DarkCentre, 4 SpotRing), size factor (of the picture width),
// position factor along the line from the picture centre away from the flare
// centre, colour.
struct TSpotRow {
  TFalloff Falloff;
  double SizeFactor, PositionFactor;
  int Red, Green, Blue;
};
constexpr TSpotRow kSpots[] = {
    {TFalloff::Squared, 0.027, 0.6699, 0, 14, 113},
    {TFalloff::Squared, 0.01, 0.2692, 90, 181, 142},
    {TFalloff::Squared, 0.005, -0.0112, 56, 140, 106},
    {TFalloff::Plateau, 0.031, 0.649, 9, 29, 19},
    {TFalloff::Plateau, 0.015, 0.4696, 24, 14, 0},
    {TFalloff::Plateau, 0.037, 0.4087, 24, 14, 0},
    {TFalloff::Plateau, 0.022, -0.2003, 42, 19, 0},
    {TFalloff::Plateau, 0.025, -0.4103, 0, 9, 17},
    {TFalloff::Plateau, 0.058, -0.4503, 0, 4, 10},
    // This small bluish spot continues the chain just beyond the previous
    // one, on the side away from the flare.
    {TFalloff::Plateau, 0.017, -0.5112, 5, 5, 14},
    {TFalloff::Plateau, 0.2, -1.496, 9, 4, 0},
    {TFalloff::Plateau, 0.5, -1.496, 9, 4, 0},
    {TFalloff::DarkCentre, 0.075, 0.4487, 34, 19, 0},
    {TFalloff::DarkCentre, 0.1, 1.0, 14, 26, 0},
    {TFalloff::DarkCentre, 0.039, -1.301, 10, 25, 13},
    {TFalloff::SpotRing, 0.19, 1.309, 9, 0, 17},
    {TFalloff::SpotRing, 0.195, 1.309, 9, 16, 5},
    {TFalloff::SpotRing, 0.2, 1.309, 17, 4, 0},
    {TFalloff::SpotRing, 0.038, -1.301, 17, 4, 0},
};
constexpr int kPainterCount = std::size(kComponents) + std::size(kSpots);

// A ring's half width as a share of its radius; 0 for the other rules.
double RingShare(TFalloff falloff) {
  return falloff == TFalloff::HaloRing ? 0.07 : falloff == TFalloff::SpotRing ? 0.04 : 0;
}

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
      v = std::fabs(d - r) / (RingShare(falloff) * r);
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

// Moves a channel toward 255 by weight times the colour share. With both in
// 0..1 the result stays within 0..255.
uint8_t Lighten(uint8_t channel, double weight, double share) {
  return static_cast<uint8_t>(static_cast<int>(channel + (255 - channel) * weight * share));
}

TFlarePainter Painter(TFalloff falloff, int x, int y, double radius, int red, int green, int blue) {
  return {falloff, x, y, radius, red / 255.0, green / 255.0, blue / 255.0};
}

// The five components about (x, y), then the spots placed from the picture
// centre (cx, cy) by their position factors, all sized by the width.
void BuildPainters(int width, int height, int x, int y, TFlarePainter* painters) {
  for (const TComponentRow& row : kComponents)
    *painters++ = Painter(row.Falloff, x, y, width * row.RadiusFactor, row.Red, row.Green, row.Blue);
  const int cx = width / 2, cy = height / 2;
  // The offsets are held in 64 bits: a far centre must not overflow them.
  const double dx = static_cast<double>(int64_t(cx) - x), dy = static_cast<double>(int64_t(cy) - y);
  for (const TSpotRow& row : kSpots)
    *painters++ =
        Painter(row.Falloff, TruncInt(cx + dx * row.PositionFactor), TruncInt(cy + dy * row.PositionFactor),
                width * row.SizeFactor, row.Red, row.Green, row.Blue);
}

// Paints columns first..last of a row whose offset from the painter's centre
// is dy. Neighbouring pixels often share their distance, and with it the
// weight.
void PaintSpan(uint8_t* row, const TFlarePainter& painter, double dy, int first, int last) {
  double lastD = -1, weight = 0;
  bool painted = false;
  for (int x = first; x <= last; ++x) {
    const double dx = static_cast<double>(x) - painter.X;
    const double d = std::trunc(std::sqrt(dx * dx + dy * dy));
    if (d != lastD) {
      painted = Weight(painter.Falloff, d, painter.Radius, weight);
      lastD = d;
    }
    if (!painted) continue;
    uint8_t* pixel = row + 3 * x;
    pixel[2] = Lighten(pixel[2], weight, painter.Red);
    pixel[1] = Lighten(pixel[1], weight, painter.Green);
    pixel[0] = Lighten(pixel[0], weight, painter.Blue);
  }
}

// Applies one painter to the pixels of row y its rule reaches. A rule holds
// only for an integer distance d below r (below (1 + k) r for a ring of
// width k r, which also needs d above (1 - k) r), so only pixels between
// those distances, with a margin of 2, are visited.
void PaintRow(uint8_t* row, int y, int w, int h, const TFlarePainter& painter) {
  const double k = RingShare(painter.Falloff);
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
  PaintSpan(row, painter, dy, left, leftEnd);
  PaintSpan(row, painter, dy, right, rightEnd);
}

}  // namespace

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
