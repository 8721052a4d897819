#include "engine/resizestep.h"

#include <cmath>
#include <limits>

#include "effects/function.h"
#include "engine/jobrecord.h"

namespace {

// Truncated toward zero; a side that no bitmap could have stays huge.
int64_t Trunc64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.0e18) return std::numeric_limits<int64_t>::max();
  if (value <= -9.0e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

// A side divided by the single-precision ratio of the other side's old and
// new length, as ResizeToWidth and ResizeToHeight work out the side they
// derive.
int64_t DerivedSide(int side, int otherSide, int newOtherSide) {
  if (newOtherSide <= 0) return 0;
  auto ratio = static_cast<float>(static_cast<double>(otherSide) / newOtherSide);
  if (ratio == 0) return 0;
  return Trunc64(side / static_cast<double>(ratio));
}

}  // namespace

TResizeValues ResizeValuesOf(const TJobValues& job) {
  return {job.ResizePreserveAspect, job.ResizeScaleType, job.ResizeWidth, job.ResizeHeight, job.ResizePercent};
}

TResizedSize ResizedSize(int width, int height, const TResizeValues& values) {
  if (!values.PreserveAspect) return {values.Width, values.Height};
  switch (values.ScaleType) {
    case 0: return {values.Width, DerivedSide(height, width, values.Width)};
    case 1: return {DerivedSide(width, height, values.Height), values.Height};
    case 2: {
      auto scale = static_cast<float>(values.Percent * 0.01);
      return {Trunc64(width * static_cast<double>(scale)), Trunc64(height * static_cast<double>(scale))};
    }
    default: return {width, height};
  }
}

TBitmap& ResizePicture(TBitmap& source, TBitmap& result, const TResizeValues& values) {
  if (values.PreserveAspect) {
    if (&result != &source) result.Assign(&source);
    result.SetPixelFormat(pf24bit);
    switch (values.ScaleType) {
      case 0: ResizeToWidth(result, values.Width); break;
      case 1: ResizeToHeight(result, values.Width, values.Height); break;
      case 2: ResizeByPercent(result, values.Percent); break;
      default: break;
    }
    return result;
  }
  // Stretched: drawn onto a second bitmap of the new size.
  TBitmap copy;
  TBitmap* from = &source;
  if (&result == &source) {
    copy.Assign(&source);
    from = &copy;
  }
  result.SetPixelFormat(pf24bit);
  result.SetWidth(values.Width);
  result.SetHeight(values.Height);
  // A plain copying stretch: the device context's own default mode would
  // AND together the colours of the pixels a shrink drops, which turns a
  // photograph into stripes of wrong colours.
  SetStretchBltMode(result.Canvas()->Handle(), COLORONCOLOR);
  StretchBlt(result.Canvas()->Handle(), 0, 0, values.Width, values.Height, from->Canvas()->Handle(), 0, 0,
             from->Width(), from->Height(), SRCCOPY);
  ApplyAntialias(result, 1);
  return result;
}
