#include "effects/angular.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "effects/effectbase.h"

namespace {

using std::numbers::pi;

bool SameColour(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 3) == 0; }

}  // namespace

void ApplyIllusion(TBitmap& picture, int sectors) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const double half = std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h) * 0.5;
  const int d = TruncInt(half), shift = TruncInt(d * 0.5);
  // Positions are measured in units of d, which is 0 only for a single pixel.
  if (d == 0) RaiseZeroDivide();
  const double sigma = FDiv(pi, static_cast<double>(sectors));
  auto copy = CopyPicture(picture);
  const double cx = w * 0.5, cy = h * 0.5;
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    uint8_t* row = rows[y];
    // The centre row of an even height takes the angle and distance of the
    // row above it.
    double ny = (y - cy) / d;
    if (ny == 0) ny = (y - 1 - cy) / d;
    for (int x = 0; x < w; ++x) {
      double nx = (x - cx) / d;
      double a = std::atan2(ny, nx);
      // The middle angle of the sector (2 pi / sectors wide) that holds a.
      double t = std::floor(a * 0.5 / sigma) * 2 * sigma + sigma;
      double r = std::sqrt(nx * nx + ny * ny);
      int sx = std::clamp(TruncInt(x - std::cos(t) * shift), 0, w - 1);
      int sy = std::clamp(TruncInt(y - std::sin(t) * shift), 0, h - 1);
      const uint8_t* shifted = PixelOf(*copy, sx, sy);
      uint8_t* own = row + 3 * x;
      for (int c = 0; c < 3; ++c) own[c] = ClampByte(own[c] + TruncInt((shifted[c] - own[c]) * r));
    }
  });
}

void ApplyMoire(TBitmap& picture, int degree) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int cx = w / 2, cy = h / 2;
  auto copy = CopyPicture(picture);
  const auto rows = RowPointers(picture);
  const auto sources = RowPointers(std::as_const(*copy));
  ForEachRowInBands(h, w, [&](int y) {
    // The centre column reuses the angle of the pixel to its left; a picture
    // one column wide has none and uses 0. Every other row starts at a
    // column left of the centre, so the angle never passes from row to row.
    double a = 0;
    const double dy = y - cy;
    CopyRowFrom(rows[y], w, [&](int x) {
      const double dx = x - cx;
      if (dx != 0) a = std::atan2(dx, dy);
      double r = std::sqrt(dx * dx + dy * dy);
      // The product in extended precision, 1/180 taken last.
      double wave = static_cast<double>(static_cast<long double>(degree) * pi * r * (1.0L / 180) + a);
      int sx = TruncInt(std::sin(wave) * r);
      int sy = TruncInt(std::sin(degree * r + a) * r);
      int column = 0 < sx && sx < w ? sx : x;
      int line = 0 < sy && sy < h ? sy : y;
      return sources[line] + 3 * column;
    });
  });
}

void ApplyFractal(TBitmap& picture, int iterations) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  auto copy = CopyPicture(picture);
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    uint8_t* row = rows[y];
    for (int x = 0; x < w; ++x) {
      double fx, fy;
      MapFractalPoint(x, y, fx, fy, w, h, iterations);
      // Keeps ix + 1 and iy + 1 inside; a position that is not a number
      // (only iterations far beyond the dialog's range overflow) becomes 0.
      fx = std::min(fx, w - 1.1);
      if (!(fx > 0)) fx = 0;
      fy = std::min(fy, h - 1.1);
      if (!(fy > 0)) fy = 0;
      int ix = TruncInt(fx), iy = TruncInt(fy);
      // Only a picture one pixel wide (high) lacks column ix + 1 (row iy + 1);
      // its own stands in, and the fraction there is 0.
      int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
      WriteTriple(row + 3 * x, InterpolateBilinear(fx - ix, fy - iy, PixelOf(*copy, ix, iy),
                                                   PixelOf(*copy, ix1, iy), PixelOf(*copy, ix, iy1),
                                                   PixelOf(*copy, ix1, iy1)));
    }
  });
}

bool MapFractalPoint(int x, int y, double& fx, double& fy, int width, int height, int iterations) {
  const double kx = FDiv(1.5, static_cast<double>(width)), ky = FDiv(2.0, static_cast<double>(height));
  TComplexPoint z;
  IterateFractalPoint({x * kx - 1, y * ky - 1}, z, iterations);
  fx = (z.Re + 1) / kx;
  fy = (z.Im + 1) / ky;
  if (fx < 0 || fx >= width || fy < 0 || fy >= height) {
    fx = std::fmod(fx, static_cast<double>(width));
    fy = std::fmod(fy, static_cast<double>(height));
    if (fx < 0) fx += width;
    if (fy < 0) fy += height;
  }
  return true;
}

void IterateFractalPoint(const TComplexPoint& c, TComplexPoint& z, int n) {
  z = c;
  for (int i = 0; i < n; ++i) z = {z.Re * z.Re - z.Im * z.Im + c.Re, 2 * z.Re * z.Im + c.Im};
}

RGBTRIPLE InterpolateBilinear(double fx, double fy, const uint8_t* p00, const uint8_t* p10,
                              const uint8_t* p01, const uint8_t* p11) {
  constexpr double epsilon = 0x1p-23;
  if (SameColour(p00, p10) && SameColour(p00, p01) && SameColour(p00, p11)) return ReadTriple(p00);
  if (!(-epsilon < fx && fx < 1 && -epsilon < fy && fy < 1)) return {255, 255, 255};
  if (fx < epsilon && fy < epsilon) return ReadTriple(p00);
  uint8_t value[3];
  for (int c = 0; c < 3; ++c) {
    double top = (p10[c] - p00[c]) * fx + p00[c];
    double bottom = (p11[c] - p01[c]) * fx + p01[c];
    // The blend stays within a hair of 0..255, which truncation removes.
    value[c] = static_cast<uint8_t>(TruncInt((bottom - top) * fy + top));
  }
  return {value[0], value[1], value[2]};
}
