#include "effects/resample.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "effects/effectbase.h"

namespace {

// t cubed for t > 0, else 0, held as a 32-bit float.
float PositiveCube(float t) { return t > 0 ? static_cast<float>(static_cast<double>(t) * t * t) : 0.0f; }

// Where one target row or column samples the source along its axis: four
// source indices and the fraction of the position (taken before the indices
// are clamped, so border pixels keep their own fraction).
struct TTaps {
  int Index[4];
  float Fraction;
};

// Target position i with step `step` over a source axis of `length` pixels.
// From 4 pixels on, the first index is kept within 1..length - 3, so every
// tap lies inside; shorter axes clamp each tap into the source instead.
TTaps AxisTaps(int i, float step, int length) {
  auto position = static_cast<float>(i * static_cast<double>(step));
  int base = TruncInt(position);
  TTaps taps;
  taps.Fraction = static_cast<float>(position - base);
  if (length >= 4) {
    if (base < 1) base = 1;
    if (base >= length - 2) base = length - 3;
    for (int k = 0; k < 4; ++k) taps.Index[k] = base - 1 + k;
  } else {
    for (int k = 0; k < 4; ++k) taps.Index[k] = std::clamp(base - 1 + k, 0, length - 1);
  }
  return taps;
}

// A target column: the byte offsets of its four source pixels in a row and
// their weights (not yet divided by 36).
struct TColumn {
  int Offset[4];
  float Weight[4];
};

// Columns are prepared in blocks so the tables stay small for any width.
constexpr int ColumnBlock = 1024;

}  // namespace

double BSplineWeight(float x) {
  float a = PositiveCube(x + 2.0f);
  float b = PositiveCube(x + 1.0f);
  float c = PositiveCube(x);
  float d = PositiveCube(x - 1.0f);
  return a - 4.0 * b + 6.0 * c - 4.0 * d;
}

void StretchBicubic(TBitmap& target, const TBitmap& source) {
  if (NoPixels(source)) return;
  int sw = source.Width(), sh = source.Height();
  int tw = target.Width(), th = target.Height();
  auto xs = static_cast<float>(FDiv<double>(sw, tw));
  auto ys = static_cast<float>(FDiv<double>(sh, th));
  std::vector<TColumn> columns;
  const auto sourceRows = RowPointers(source);
  const auto targetRows = RowPointers(target);
  for (int x0 = 0; x0 < tw; x0 += ColumnBlock) {
    int x1 = std::min(tw, x0 + ColumnBlock);
    columns.clear();
    for (int x = x0; x < x1; ++x) {
      TTaps taps = AxisTaps(x, xs, sw);
      TColumn column;
      for (int m = 0; m < 4; ++m) {
        column.Offset[m] = 3 * taps.Index[m];
        column.Weight[m] = static_cast<float>(BSplineWeight(static_cast<float>(m - 1) - taps.Fraction));
      }
      columns.push_back(column);
    }
    // Every target row is its own: rows in bands on every core.
    ForEachRowInBands(th, x1 - x0, [&](int y) {
      TTaps taps = AxisTaps(y, ys, sh);
      const uint8_t* rows[4];
      float rowWeight[4];
      for (int k = 0; k < 4; ++k) {
        rows[k] = sourceRows[taps.Index[k]];
        long double weight = BSplineWeight(taps.Fraction + static_cast<float>(1 - k));
        rowWeight[k] = static_cast<float>(weight * (1.0L / 36.0L));
      }
      uint8_t* out = targetRows[y] + 3 * x0;
      for (const TColumn& column : columns) {
        float red = 0, green = 0, blue = 0;
        for (int k = 0; k < 4; ++k) {
          for (int m = 0; m < 4; ++m) {
            float w = column.Weight[m] * rowWeight[k];
            const uint8_t* pixel = rows[k] + column.Offset[m];
            red = static_cast<float>(red + pixel[2] * static_cast<double>(w));
            green = static_cast<float>(green + pixel[1] * static_cast<double>(w));
            blue = static_cast<float>(blue + pixel[0] * static_cast<double>(w));
          }
        }
        out[0] = ClampByte(TruncInt(blue + 0.5));
        out[1] = ClampByte(TruncInt(green + 0.5));
        out[2] = ClampByte(TruncInt(red + 0.5));
        out += 3;
      }
    });
  }
}

namespace {

// Resamples the picture into a new 24-bit bitmap of the given size and gives
// it to the picture; on failure the picture stays as it was.
void ResampleTo(TBitmap& picture, int width, int height) {
  auto resized = NewPicture(width, height);
  StretchBicubic(*resized, picture);
  picture.TakeOver(*resized);
}

}  // namespace

void ResizeToWidth(TBitmap& picture, int newWidth) {
  if (NoPixels(picture)) return;
  auto scale = static_cast<float>(FDiv<double>(picture.Width(), newWidth));
  ResampleTo(picture, newWidth, TruncInt(picture.Height() / static_cast<double>(scale)));
}

void ResizeToHeight(TBitmap& picture, int /*width*/, int newHeight) {
  if (NoPixels(picture)) return;
  auto scale = static_cast<float>(FDiv<double>(picture.Height(), newHeight));
  ResampleTo(picture, TruncInt(picture.Width() / static_cast<double>(scale)), newHeight);
}

void ResizeByPercent(TBitmap& picture, int percent) {
  if (NoPixels(picture)) return;
  auto scale = static_cast<float>(percent * 0.01);
  ResampleTo(picture, TruncInt(picture.Width() * static_cast<double>(scale)),
             TruncInt(picture.Height() * static_cast<double>(scale)));
}

void ScaleBitmapToFit(TBitmap& picture, int boxWidth, int boxHeight) {
  if (NoPixels(picture)) return;
  auto sx = static_cast<float>(FDiv<double>(picture.Width(), boxWidth));
  auto sy = static_cast<float>(FDiv<double>(picture.Height(), boxHeight));
  float scale = sx >= sy ? sx : sy;
  ResampleTo(picture, TruncInt(picture.Width() / static_cast<double>(scale)),
             TruncInt(picture.Height() / static_cast<double>(scale)));
}
