#include "effects/polar.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "effects/effectbase.h"

namespace {

using std::numbers::pi;

// How many pixels ahead a remap that samples anywhere in the picture asks
// for the memory of its samples.
constexpr int kPrefetchAhead = 16;

struct TPolar {
  double Angle, Radius;
};

// Angle and distance of the offset (dx, dy) from a centre. On the centre row
// the angle is taken as atan2(-1, dx - 1), as if the point lay a row higher
// and a column to the left; the distance is always the true one. The
// offsets are whole numbers held exactly as doubles, so the squares sum
// exactly for any picture the library can hold.
TPolar CentreRowPolar(double dx, double dy) {
  double angle = dy != 0 ? std::atan2(dy, dx) : std::atan2(-1.0, dx - 1);
  return {angle, std::sqrt(dx * dx + dy * dy)};
}

// The base index and the two weights of one axis of a twist sample at p.
// The weights follow the side of 0 that p lies on; the base wraps round into
// 0..size-1.
struct TTwistTap {
  int Base;
  double Weight[2];
};

TTwistTap TwistTap(double p, int size) {
  TTwistTap tap;
  int base = TruncInt(p);
  if (p >= 0) {
    tap.Weight[1] = p - base;
    tap.Weight[0] = 1 - tap.Weight[1];
  } else {
    tap.Weight[0] = base - p;
    tap.Weight[1] = 1 - tap.Weight[0];
  }
  if (base < 0)
    base = size - 1 - (-base) % size;
  else
    base %= size;
  tap.Base = base;
  return tap;
}

}  // namespace

void ApplyCylinder(TBitmap& picture, int stretch) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const double radius = FDiv(static_cast<double>(w), stretch * 0.2);
  // Source column of every target column, through the arc cosine computed as
  // atan2(sqrt(1 - v^2), v). Only stretches outside 1..10 leave -1 < v <= 1:
  // beyond -1 or 1 the square root fails before any pixel changes, and at
  // exactly -1 (angle pi) the column would be w, so the table stops at w - 1.
  std::vector<int> column;
  column.reserve(w);
  for (int x = 0; x < w; ++x) {
    double v = (radius - x) / radius;
    double angle = std::atan2(FSqrt(1 - v * v), v);
    double t = static_cast<double>(static_cast<long double>(angle) * w * std::numbers::inv_pi_v<long double>);
    column.push_back(std::min(TruncInt(t), w - 1));
  }
  // Every row takes its pixels from itself: each keeps its own pixels aside
  // before they are rewritten.
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    const std::vector<uint8_t> source(rows[y], rows[y] + 3 * static_cast<size_t>(w));
    for (int x = 0; x < w; ++x) CopyPixel(rows[y] + 3 * x, source.data() + 3 * column[x]);
  });
}

void ApplySpheric(TBitmap& picture, int centreX, int centreY) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int cx = std::min(centreX, w), cy = std::min(centreY, h);
  const double m = cx > cy ? cx : cy;
  // m = 0 fails on the first pixel, before anything is written.
  if (m == 0) FDiv(CentreRowPolar(-cx, -cy).Radius, m);
  auto copy = CopyPicture(picture);
  const uint8_t* corner = PixelOf(*copy, 0, 0);
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    uint8_t* row = rows[y];
    for (int x = 0; x < w; ++x) {
      TPolar p = CentreRowPolar(static_cast<double>(x) - cx, static_cast<double>(y) - cy);
      double rho = p.Radius * p.Radius / m;
      int sx = TruncInt(std::cos(p.Angle) * rho + cx);
      int sy = TruncInt(std::sin(p.Angle) * rho + cy);
      bool inside = 0 < sx && sx < w && 0 < sy && sy < h;
      CopyPixel(row + 3 * x, inside ? PixelOf(*copy, sx, sy) : corner);
    }
  });
}

void ApplySwirl(TBitmap& picture, int degrees) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int cx = w / 2, cy = h / 2;
  const double k = Radians(degrees);
  auto copy = CopyPicture(picture);
  const auto rows = RowPointers(picture);
  const auto sources = RowPointers(std::as_const(*copy));
  ForEachRowInBands(h, w, [&](int y) {
    CopyRowFrom(rows[y], w, [&](int x) {
      TPolar p = CentreRowPolar(x - cx, y - cy);
      double angle = k * p.Radius + p.Angle;
      double fx = std::cos(angle) * p.Radius + cx;
      double fy = std::sin(angle) * p.Radius + cy;
      int sx = 0 < fx && fx < w ? TruncInt(fx) : x;
      int sy = 0 < fy && fy < h ? TruncInt(fy) : y;
      return sources[sy] + 3 * sx;
    });
  });
}

void ApplyTwist(TBitmap& picture, int amount) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  // Only the pixels of the rows and columns before the last ones change.
  if (w < 2 || h < 2) return;
  const double cx = (w - 1) * 0.5, cy = (h - 1) * 0.5;
  // Amount 0 fails on pixel (0, 0), which is never at the centre, before
  // anything is written.
  if (amount == 0) FDiv(std::sqrt(cx * cx + cy * cy), 0.0);
  // The twist reads the picture it writes: a sample above or to the left
  // already holds a result. So the pixels are read and written in their
  // order on one thread; only where each pixel samples, which does not
  // depend on any pixel, is prepared ahead on the others, a block of pixels
  // at a time.
  // Per pixel, its four samples (as offsets from the top row: a picture
  // stays within 1 GiB) and their weights, x tap outer and y tap inner.
  static_assert(MaxBitmapBytes <= UINT32_MAX);
  struct TTaps {
    uint32_t At[4];
    double Weight[4];
  };
  // The pixels twisted: all but the last column of all but the last row.
  const int columns = w - 1;
  const auto rows = RowPointers(picture);
  uint8_t* const top = rows[0];
  const auto place = [&](int64_t first, int64_t last, TTaps* out) {
    int y = static_cast<int>(first / columns), x = static_cast<int>(first % columns);
    for (int64_t n = first; n < last; ++n, ++out) {
      double dx = x - cx, dy = y - cy;
      double r = std::sqrt(dx * dx + dy * dy);
      double px = cx, py = cy;
      if (r != 0) {
        double angle = std::atan2(dx, dy) - r / static_cast<double>(amount) + pi / 2;
        px = std::cos(angle) * r + cx;
        py = std::sin(angle) * r + cy;
      }
      const TTwistTap tx = TwistTap(px, w), ty = TwistTap(py, h);
      for (int i = 0; i < 2; ++i) {
        const int sx = tx.Base + i < w ? tx.Base + i : w - (tx.Base + i);
        for (int j = 0; j < 2; ++j) {
          const int sy = ty.Base + j < h ? ty.Base + j : h - (ty.Base + j);
          out->At[2 * i + j] = static_cast<uint32_t>(rows[sy] + 3 * sx - top);
          out->Weight[2 * i + j] = tx.Weight[i] * ty.Weight[j];
        }
      }
      if (++x == columns) {
        x = 0;
        ++y;
      }
    }
  };
  const auto twist = [&](int64_t first, int64_t last, const TTaps* taps) {
    int y = static_cast<int>(first / columns), x = static_cast<int>(first % columns);
    for (int64_t k = 0, count = last - first; k < count; ++k) {
      // The samples lie anywhere in the picture: asking for those of a
      // pixel further on now keeps the memory busy while this one is
      // summed.
      if (k + kPrefetchAhead < count) {
        const TTaps& ahead = taps[k + kPrefetchAhead];
        __builtin_prefetch(top + ahead.At[0]);
        __builtin_prefetch(top + ahead.At[1]);
      }
      const TTaps& pixel = taps[k];
      double sum[3] = {0, 0, 0};
      for (int i = 0; i < 4; ++i) {
        const uint8_t* sample = top + pixel.At[i];
        for (int c = 0; c < 3; ++c) sum[c] += sample[c] * pixel.Weight[i];
      }
      // The weights are at least 0 and sum to 1, so every sum lies in
      // 0..255 (up to rounding that the floor removes); at 0 and above,
      // truncation is the floor.
      for (int c = 0; c < 3; ++c) rows[y][3 * x + c] = static_cast<uint8_t>(static_cast<int>(sum[c]));
      if (++x == columns) {
        x = 0;
        ++y;
      }
    }
  };
  // Placing a pixel's taps costs some 100 times the lightest effects' work
  // on one (bench_effects, one thread).
  FinishInOrder<TTaps>(int64_t(columns) * (h - 1), 100, place, twist);
}

void ApplyWarp(TBitmap& picture, int factor) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int cx = w / 2, cy = h / 2;
  auto copy = CopyPicture(picture);
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    uint8_t* row = rows[y];
    for (int x = 0; x < w; ++x) {
      TPolar p = CentreRowPolar(x - cx, y - cy);
      double rho = std::sqrt(p.Radius) * factor;
      // 64-bit sums: a huge factor gives offsets near the int limits.
      long long sx = TruncInt(std::cos(p.Angle) * rho) + static_cast<long long>(cx);
      long long sy = TruncInt(std::sin(p.Angle) * rho) + static_cast<long long>(cy);
      if (sx < 1 || sx > w - 1) sx = 0;
      if (sy < 1 || sy > h - 1) sy = 0;
      CopyPixel(row + 3 * x, PixelOf(*copy, static_cast<int>(sx), static_cast<int>(sy)));
    }
  });
}

void ApplyFishEye(TBitmap& picture, int zoom, int radius, bool inversion) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const double k = static_cast<double>(zoom * 0.001L);
  const int lensRadius = std::min(radius, std::min(w, h) / 2);
  // Zoom 0 is the limit where both maps become the identity.
  if (lensRadius < 4 || k == 0) return;
  const double scale = lensRadius / FLn(lensRadius * k + 1);
  const int cx = w / 2, cy = h / 2;
  // The lens writes into a copy and reads the picture. Pixels farther than
  // the radius are skipped, so only the square about the circle is walked.
  auto target = CopyPicture(picture);
  const auto rows = RowPointers(*target);
  const int top = std::max(-cy, -lensRadius), bottom = std::min(h - cy - 1, lensRadius);
  ForEachRowInBands(bottom - top + 1, 2 * lensRadius + 1, [&](int band) {
    const int dy = top + band;
    uint8_t* row = rows[cy + dy];
    for (int dx = std::max(-cx, -lensRadius); dx <= std::min(w - cx - 1, lensRadius); ++dx) {
      double r = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      if (r > lensRadius) continue;
      double a = std::atan2(static_cast<double>(dy), static_cast<double>(dx));
      double rho = inversion ? std::log(k * r + 1) * scale : (std::exp(r / scale) - 1) / k;
      // Both maps keep rho within the radius; the clamp only guards the
      // rounding at the rim.
      int sx = std::clamp(TruncInt(std::cos(a) * rho) + cx, 0, w - 1);
      int sy = std::clamp(TruncInt(std::sin(a) * rho) + cy, 0, h - 1);
      CopyPixel(row + 3 * (cx + dx), PixelOf(std::as_const(picture), sx, sy));
    }
  });
  CopyBack(picture, *target);
}
