#include "effects/fliprotate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "effects/effectbase.h"
#include "effects/neighbourhood.h"
#include "effects/resample.h"

namespace {

// Quarter turn to the left: source (x, y) goes to (y, W - 1 - x), so row ty
// of the result is source column W - 1 - ty read from top to bottom.
std::unique_ptr<TBitmap> QuarterTurnLeft(const TBitmap& picture) {
  const int w = picture.Width(), h = picture.Height();
  auto turned = NewUnfilledPicture(h, w);
  const auto rows = RowPointers(picture);
  const auto targets = RowPointers(*turned);
  const size_t padding = RowBytes(h) - 3 * static_cast<size_t>(h);
  // A block of target rows at a time, so that each source row is read in
  // one short run for all of them rather than once per target row.
  constexpr int block = 16;
  ForEachRowInBands((w + block - 1) / block, int64_t(block) * h, [&](int b) {
    const int first = b * block, last = std::min(w, first + block);
    for (int ty = first; ty < last; ++ty) std::memset(targets[ty] + 3 * static_cast<size_t>(h), 0, padding);
    for (int y = 0; y < h; ++y)
      for (int ty = first; ty < last; ++ty)
        CopyPixel(targets[ty] + 3 * y, rows[y] + 3 * static_cast<size_t>(w - 1 - ty));
  });
  return turned;
}

// Half turn: source (x, y) goes to (W - 1 - x, H - 1 - y).
std::unique_ptr<TBitmap> HalfTurn(const TBitmap& picture) {
  const int w = picture.Width(), h = picture.Height();
  auto turned = NewUnfilledPicture(w, h);
  const auto sources = RowPointers(picture);
  const auto targets = RowPointers(*turned);
  const size_t padding = RowBytes(w) - 3 * static_cast<size_t>(w);
  ForEachRowInBands(h, w, [&](int y) {
    const uint8_t* in = sources[y];
    std::memset(targets[h - 1 - y] + 3 * static_cast<size_t>(w), 0, padding);
    uint8_t* out = targets[h - 1 - y] + 3 * static_cast<size_t>(w - 1);
    for (int x = 0; x < w; ++x, in += 3, out -= 3) CopyPixel(out, in);
  });
  return turned;
}

// Turn by any angle. The result covers the bounding box of the turned
// corners; each of its pixels (X, Y) takes the source pixel at the truncated
// inverse position of (X + minX, Y + minY), and stays white (the colour of a
// newly sized bitmap) where that falls outside the source.
struct TTurn {
  double C = 1, S = 0;       // cosine and sine of the angle
  double MinX = 0, MinY = 0;  // the turned corners' least coordinates
  int Width = 0, Height = 0;  // the bounding box of the turned corners
};

// The turn of a w x h picture by degrees.
TTurn TurnOf(int w, int h, int degrees) {
  const auto t = static_cast<double>(static_cast<long double>(degrees) * 2 * std::numbers::pi_v<long double> *
                                     (1.0L / 360));
  TTurn turn;
  turn.C = std::cos(t);
  turn.S = std::sin(t);
  const double c = turn.C, s = turn.S;
  const double cornerX[4] = {0, -h * s, w * c - h * s, w * c};
  const double cornerY[4] = {0, h * c, h * c + w * s, w * s};
  const auto [minX, maxX] = std::minmax_element(cornerX, cornerX + 4);
  const auto [minY, maxY] = std::minmax_element(cornerY, cornerY + 4);
  turn.MinX = *minX;
  turn.MinY = *minY;
  turn.Width = TruncInt(std::ceil(*maxX - *minX));
  turn.Height = TruncInt(std::ceil(*maxY - *minY));
  return turn;
}

std::unique_ptr<TBitmap> TurnByAngle(const TBitmap& picture, int degrees) {
  const int w = picture.Width(), h = picture.Height();
  const TTurn turn = TurnOf(w, h, degrees);
  const double c = turn.C, s = turn.S;
  const int newWidth = turn.Width, newHeight = turn.Height;
  auto turned = NewUnfilledPicture(newWidth, newHeight);
  const auto rows = RowPointers(picture);

  // The products of the inverse map, each the same double whichever pixel
  // asks for it: u * c and u * s per column, v * c and v * s per row.
  std::vector<double> uc(newWidth), us(newWidth);
  for (int x = 0; x < newWidth; ++x) {
    double u = x + turn.MinX;
    uc[x] = u * c;
    us[x] = u * s;
  }
  // |u| and |v| stay below 2 (W + H) + 1, and a picture within the 1 GiB
  // limit has W + H below 360 million, so the sums always fit an int.
  const auto targets = RowPointers(*turned);
  const double top = turn.MinY;
  const size_t pixelBytes = 3 * static_cast<size_t>(newWidth);
  ForEachRowInBands(newHeight, newWidth, [&](int y) {
    // White where no source pixel falls, and the row's padding zero.
    std::memset(targets[y], 0xFF, pixelBytes);
    std::memset(targets[y] + pixelBytes, 0, RowBytes(newWidth) - pixelBytes);
    const double v = y + top, vc = v * c, vs = v * s;
    CopyRowFrom(targets[y], newWidth, [&](int x) -> const uint8_t* {
      const auto sx = static_cast<int>(uc[x] + vs), sy = static_cast<int>(vc - us[x]);
      return sx >= 0 && sx < w && sy >= 0 && sy < h ? rows[sy] + 3 * sx : nullptr;
    });
  });
  return turned;
}

}  // namespace

void ApplyFlip(TBitmap& picture, int mode) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const bool across = mode != 1, upDown = mode != 0;
  const auto rows = RowPointers(picture);
  // The mirror image in place: each pixel trades places with its partner,
  // the pairs of rows (or each row on its own) in bands.
  const auto mirrorRow = [w](uint8_t* row) {
    for (uint8_t *left = row, *right = row + 3 * static_cast<size_t>(w - 1); left < right; left += 3, right -= 3)
      for (int c = 0; c < 3; ++c) std::swap(left[c], right[c]);
  };
  if (!upDown) {
    ForEachRowInBands(h, w, [&](int y) { mirrorRow(rows[y]); });
    return;
  }
  ForEachRowInBands((h + 1) / 2, 2 * int64_t(w), [&](int y) {
    uint8_t* top = rows[y];
    uint8_t* bottom = rows[h - 1 - y];
    if (top != bottom) std::swap_ranges(top, top + 3 * static_cast<size_t>(w), bottom);
    if (across) {
      mirrorRow(top);
      if (top != bottom) mirrorRow(bottom);
    }
  });
}

TRotatedSize RotatedSize(int width, int height, int degrees) {
  if (width <= 0 || height <= 0 || degrees == 360 || degrees == 180) return {width, height};
  if (degrees == 90) return {height, width};
  const TTurn turn = TurnOf(width, height, degrees);
  return {turn.Width, turn.Height};
}

void ApplyRotate(TBitmap& picture, int degrees, int smooth) {
  if (NoPixels(picture) || degrees == 360) return;
  std::unique_ptr<TBitmap> turned;
  if (degrees == 90)
    turned = QuarterTurnLeft(picture);
  else if (degrees == 180)
    turned = HalfTurn(picture);
  else
    turned = TurnByAngle(picture, degrees);
  picture.TakeOver(*turned);
  if (smooth == 1) ApplyAntialias(picture, 1);
}

void ApplyIncrease(TBitmap& picture, int zoom, int type) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int cw = IDiv(w, zoom), ch = IDiv(h, zoom);
  if (cw <= 0 || ch <= 0) return;  // no central pixel to enlarge
  const int left = (w - cw) / 2, top = (h - ch) / 2;
  if (type == 0) {
    // Enlarging with the default stretch mode repeats pixels into blocks.
    auto copy = CopyPicture(picture);
    StretchBlt(picture.Canvas()->Handle(), 0, 0, w, h, copy->Canvas()->Handle(), left, top, cw, ch, SRCCOPY);
  } else {
    auto crop = NewPicture(cw, ch);
    BitBlt(crop->Canvas()->Handle(), 0, 0, cw, ch, picture.Canvas()->Handle(), left, top, SRCCOPY);
    StretchBicubic(picture, *crop);
  }
}
