// What every effect of the library shares: the conventions for the working
// bitmap (24-bit, rows of blue, green, red bytes, changed in place), channel
// clamping, safe real-to-integer conversion, the maths errors raised from
// explicit checks, and the temporary copies effects read from.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/graphics.h"

// A picture without pixels: every effect returns at once for it, before any
// division by its size.
inline bool NoPixels(const TBitmap& picture) { return picture.Width() <= 0 || picture.Height() <= 0; }

// Channel clamp: the minimum with 255 first, then the maximum with 0.
inline int ClampChannel(int value) { return std::max(std::min(value, 255), 0); }
inline uint8_t ClampByte(int value) { return static_cast<uint8_t>(ClampChannel(value)); }

// Truncation toward zero into an int. A value beyond the int range is
// clamped in floating point first, and NaN gives 0, so no real ever reaches
// an integer conversion it does not fit.
template <typename Real>
inline int TruncInt(Real value) {
  if (value != value) return 0;
  if (value >= static_cast<Real>(2147483647.0)) return 2147483647;
  if (value <= static_cast<Real>(-2147483648.0)) return -2147483647 - 1;
  return static_cast<int>(value);
}
// Nearest integer as the library means it: plus 0.5, then truncated.
template <typename Real>
inline int RoundInt(Real value) {
  return TruncInt(value + static_cast<Real>(0.5));
}

// Real division with the platform's floating-point errors: 0 / 0 raises
// EInvalidOp, any other x / 0 EZeroDivide.
template <typename Real>
inline Real FDiv(Real a, Real b) {
  if (b == 0) {
    if (a == 0 || a != a) RaiseInvalidOp();
    RaiseZeroDivide();
  }
  return a / b;
}
// Integer division and modulus truncating toward zero; EDivByZero for 0.
inline int IDiv(int a, int b) {
  if (b == 0) RaiseDivByZero();
  if (b == -1) return a == (-2147483647 - 1) ? a : -a;
  return a / b;
}
inline int IMod(int a, int b) {
  if (b == 0) RaiseDivByZero();
  if (b == -1) return 0;
  return a % b;
}
// Square root and logarithm with the platform's errors: a negative argument
// raises EInvalidOp, the logarithm of 0 EZeroDivide.
template <typename Real>
inline Real FSqrt(Real x) {
  if (x < 0 || x != x) RaiseInvalidOp();
  return std::sqrt(x);
}
template <typename Real>
inline Real FLn(Real x) {
  if (x < 0 || x != x) RaiseInvalidOp();
  if (x == 0) RaiseZeroDivide();
  return std::log(x);
}

// A new 24-bit bitmap of the picture's size holding its pixels (a block
// copy).
std::unique_ptr<TBitmap> CopyPicture(TBitmap& picture);
// Copies a bitmap of the picture's size back over it (a block copy).
void CopyBack(TBitmap& picture, TBitmap& copy);
