#include "effects/rowtile.h"

#include <cstdlib>
#include <numbers>
#include <utility>
#include <vector>

#include "effects/effectbase.h"

namespace {

using std::numbers::pi;

// A Figure inset below this is far wider than any picture can be and would
// only take the span arithmetic out of int.
constexpr int kLeastFigureInset = -(1 << 28);

// The inset of row y of an h-row picture for Figure's outline type.
int FigureInset(int type, int y, int h, int v) {
  if (type == 0) return v;
  if (type == 1) return TruncInt(static_cast<double>(h - 1 - y) / h * v);
  if (type == 2) return TruncInt(static_cast<double>(y) / h * v);
  const double angle = h > 1 ? pi * y / (h - 1) : 0;
  const double shape = type == 3 ? std::cos(angle) : type == 6 ? std::sin(2 * angle) : std::sin(angle);
  return std::abs(TruncInt(shape * v));
}

}  // namespace

void ApplyRibbon(TBitmap& picture, int width, int frequency) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int64_t percent = std::clamp(width, 0, 100);
  const int f = std::max(frequency, 0);
  const int a = static_cast<int>(percent * h * 75 / 100 / 100);
  const double k = f * pi / w * 0.1;
  // The offset of every column; v is never negative, so rounding half away
  // from zero is plus 0.5.
  std::vector<int> offset(w);
  for (int x = 0; x < w; ++x) offset[x] = RoundInt((1 - std::cos(x * k)) * a * 0.5);
  // Each pixel reads its own column at the same row or lower, which this
  // pass (top to bottom) has not written yet: the picture serves as its own
  // unchanged copy. That keeps the rows in their order on one thread; a copy
  // to read from would cost about what bands save on so light a pass.
  const auto rows = RowPointers(picture);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int sy = y + a - offset[x];
      if (y >= offset[x] && sy <= h - 1 && sy != y) CopyPixel(rows[y] + 3 * x, rows[sy] + 3 * x);
    }
}

void ApplyWind(TBitmap& picture, int level) {
  if (NoPixels(picture) || level < 5) return;
  const int w = picture.Width(), h = picture.Height();
  const int period = 2 * (level / 2) + 1, half = period / 2;
  // Each row changes from its own pixels alone: rows in bands on every core.
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    const int m = y % period;
    // Re-sampling step: every pixel on the period's first row, then the
    // period, then a triangle wave between 1 and half.
    const int step = m == 0 ? 1 : m == 1 ? period : m <= half + 1 ? m - 1 : period - m;
    if (step == 1) return;  // every pixel takes itself
    const int second = std::abs(half - m) + half;
    uint8_t* row = rows[y];
    uint8_t held[3];
    CopyPixel(held, row);
    // x mod step and x mod second, counted along.
    for (int x = 0, xs = 0, xq = 0; x < w; ++x) {
      if (xs == 0 || xq == 1)
        CopyPixel(held, row + 3 * x);
      else
        CopyPixel(row + 3 * x, held);
      if (++xs == step) xs = 0;
      if (++xq == second) xq = 0;
    }
  });
}

void ApplyTexturing(TBitmap& picture, int level, int type) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int t = std::min({level, w / 2, h / 2});
  // 2t in 64 bits: a negative level far outside the dialog's range must not overflow.
  const int grid = type == 0 ? static_cast<int>(2 * int64_t(t) / 3) : t;
  if (grid < 1) return;
  TBitmap tile;
  tile.SetSize(t, t);
  tile.Canvas()->StretchDraw(Rect(0, 0, t, t), &picture);
  for (int y = 0; y < h; y += grid)
    for (int x = 0; x < w; x += grid) picture.Canvas()->Draw(x, y, &tile);
}

void ApplyFigure(TBitmap& picture, int value, int type) {
  if (NoPixels(picture) || type < 0 || type > 6) return;
  const int w = picture.Width(), h = picture.Height();
  const int v = std::max(std::min(value, w / 2), kLeastFigureInset);
  const int centre = w / 2;
  auto result = NewPicture(w, h);
  const auto in = RowPointers(std::as_const(picture));
  const auto out = RowPointers(*result);
  // Each row is drawn from its own source row alone, as a stretch of the
  // row with COLORONCOLOR draws it: pixel i of the span takes source pixel
  // i * W / span (squeezing drops pixels rather than combining them, as a
  // drawn bitmap does), and what falls outside the picture is cut. Rows in
  // bands on every core, with nothing made for a row: a stretch through the
  // device contexts would hold buffers of the row's width on every core.
  ForEachRowInBands(h, w, [&](int y) {
    const int a = FigureInset(type, y, h, v);
    const int64_t left = type <= 4 ? a : centre - a;
    const int64_t right = type <= 4 ? w - a : centre + a;
    // An empty or reversed span leaves the row white.
    if (right <= left) return;
    const int64_t span = right - left;
    for (int64_t i = std::max<int64_t>(0, -left), end = std::min<int64_t>(span, w - left); i < end; ++i)
      CopyPixel(out[y] + 3 * (left + i), in[y] + 3 * (i * w / span));
  });
  // A block copy onto the picture: its own properties (its transparent
  // colour among them) stay as they were.
  CopyBack(picture, *result);
}
