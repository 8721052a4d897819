// What every effect of the library shares: the conventions for the working
// bitmap (24-bit, rows of blue, green, red bytes, changed in place), pixel
// access, channel clamping, safe real-to-integer conversion, the maths errors
// raised from explicit checks, and the temporary bitmaps effects work with.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <numbers>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/system/bands.h"

#ifdef _OPENMP
#include <omp.h>
#endif

// A picture without pixels: every effect returns at once for it, before any
// division by its size.
inline bool NoPixels(const TBitmap& picture) { return picture.Width() <= 0 || picture.Height() <= 0; }

// Channel clamp: the minimum with 255 first, then the maximum with 0.
inline int ClampChannel(int value) { return std::max(std::min(value, 255), 0); }
inline uint8_t ClampByte(int value) { return static_cast<uint8_t>(ClampChannel(value)); }
// The same clamp for results that large parameters take beyond the int range.
inline uint8_t ClampByte64(int64_t value) {
  return static_cast<uint8_t>(std::max<int64_t>(std::min<int64_t>(value, 255), 0));
}
// Adds change to the three channels of a pixel, each clamped.
inline void AddToChannels(uint8_t* pixel, int change) {
  for (int c = 0; c < 3; ++c) pixel[c] = ClampByte(pixel[c] + change);
}

// The three bytes of pixel (x, y).
inline uint8_t* PixelOf(TBitmap& bitmap, int x, int y) { return bitmap.ScanLine(y) + 3 * x; }
inline const uint8_t* PixelOf(const TBitmap& bitmap, int x, int y) { return bitmap.ScanLine(y) + 3 * x; }
inline void CopyPixel(uint8_t* to, const uint8_t* from) { std::memcpy(to, from, 3); }
inline RGBTRIPLE ReadTriple(const uint8_t* pixel) { return {pixel[0], pixel[1], pixel[2]}; }
inline void WriteTriple(uint8_t* pixel, RGBTRIPLE color) {
  pixel[0] = color.rgbtBlue;
  pixel[1] = color.rgbtGreen;
  pixel[2] = color.rgbtRed;
}
// The grey of a pixel weighted 30 % red, 59 % green, 11 % blue (0..255).
inline int WeightedGrey(const uint8_t* pixel) {
  return (30 * pixel[2] + 59 * pixel[1] + 11 * pixel[0]) / 100;
}
// Calls f with every pixel (blue, green, red bytes), rows top to bottom,
// pixels left to right.
template <typename F>
void ForEachPixel(TBitmap& picture, F f) {
  const int width = picture.Width(), height = picture.Height();
  for (int y = 0; y < height; ++y) {
    uint8_t* pixel = picture.ScanLine(y);
    for (int x = 0; x < width; ++x, pixel += 3) f(pixel);
  }
}
// The start of every row, for effects that read rows at random.
std::vector<uint8_t*> RowPointers(TBitmap& picture);
std::vector<const uint8_t*> RowPointers(const TBitmap& picture);

// The blocks of FinishInOrder: the two together take at most the bytes of
// the 24-bit picture they serve (3 a pixel), and 24 MiB.
constexpr int64_t kInOrderMostBytes = int64_t(24) << 20;
// The most that both blocks take for a picture of count pixels.
inline int64_t InOrderBlocksBytes(int64_t count) { return std::min(3 * count, kInOrderMostBytes); }
// How many pixels a block holds when each takes workBytes.
inline int64_t InOrderBlockPixels(int64_t count, size_t workBytes) {
  return std::max<int64_t>(InOrderBlocksBytes(count) / (2 * static_cast<int64_t>(workBytes)), 1);
}
// Pixels 0..count-1 (any order the caller numbers them in), finished one at
// a time in that order, each from work prepared for it beforehand: finish
// may read what the pixels before have become, prepare only what no pixel
// before the ones it prepares changes. The pixels fall into blocks of
// InOrderBlockPixels: while one thread finishes a block, the others
// prepare the next in bands, so the bytes are those of one thread.
// prepare(first, last, out) fills out[0..last-first) for the pixels first
// to last-1; finish(first, last, in) finishes them. weight: what preparing
// a pixel costs, in pixels of the lightest work (for the choice of bands).
// The blocks are freed when it returns.
template <typename Work, typename Prepare, typename Finish>
void FinishInOrder(int64_t count, int64_t weight, Prepare prepare, Finish finish) {
  if (count <= 0) return;
  // A band takes whole chunks.
  constexpr int64_t chunk = 256;
  const int64_t block = InOrderBlockPixels(count, sizeof(Work));
  const int64_t blocks = (count + block - 1) / block;
  std::unique_ptr<Work[]> work[2] = {std::make_unique_for_overwrite<Work[]>(std::min(block, count)),
                                     std::make_unique_for_overwrite<Work[]>(blocks > 1 ? block : 0)};
  // Prepares block b (none past the last) in bands beside().
  const auto prepareBeside = [&](int64_t b, auto beside) {
    const int64_t first = std::min(count, b * block), last = std::min(count, first + block);
    Work* out = work[b % 2].get();
    ForEachBandBeside(
        static_cast<int>((last - first + chunk - 1) / chunk), chunk * weight,
        [&](int c0, int c1) {
          const int64_t p0 = first + c0 * chunk, p1 = std::min(last, first + c1 * chunk);
          prepare(p0, p1, out + (p0 - first));
        },
        beside);
  };
  const auto run = [&] {
    prepareBeside(0, [] {});
    for (int64_t b = 0; b < blocks; ++b)
      prepareBeside(b + 1, [&] {
        const int64_t first = b * block, last = std::min(count, first + block);
        finish(first, last, static_cast<const Work*>(work[b % 2].get()));
      });
  };
#ifdef _OPENMP
  // Outside a team, one team of its own for every block: the bands of each
  // are then tasks that whichever thread is free takes up (the thread that
  // finishes too, while it waits for them), where a team for each block
  // would end each block only once every thread of it had been woken.
  if (!omp_in_parallel() && BandThreads() > 1 && WorthBands(std::min(block, count) * weight)) {
    std::exception_ptr failure;
#pragma omp parallel num_threads(BandThreads()) default(none) shared(run, failure)
#pragma omp single
    try {
      run();
    } catch (...) {
      failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
    return;
  }
#endif
  run();
}

// ForEachPixel in row bands over every core, for pixels that change from
// their own value alone.
template <typename F>
void ForEachPixelInBands(TBitmap& picture, F f) {
  const int width = picture.Width();
  const std::vector<uint8_t*> rows = RowPointers(picture);
  ForEachRowInBands(picture.Height(), width, [&rows, width, &f](int y) {
    // A copy of its own: the stores to the pixels cannot reach it, so what
    // it holds stays in registers along the row.
    F local = f;
    uint8_t* pixel = rows[y];
    for (int x = 0; x < width; ++x, pixel += 3) local(pixel);
  });
}

// Copies into every pixel x of a row the pixel at sourceOf(x) (none where it
// gives nullptr), called for x = 0, 1, ... in order. The sources of a remap
// lie anywhere in the picture, so each is worked out some pixels before it
// is copied, and its memory asked for then; sourceOf must not read the row.
template <typename F>
void CopyRowFrom(uint8_t* row, int width, F sourceOf) {
  constexpr int ahead = 16;
  // The sources of the pixels from x on, up to ahead of them.
  const uint8_t* from[ahead];
  for (int x = 0; x < std::min(ahead, width); ++x) from[x] = sourceOf(x);
  for (int x = 0; x < width; ++x) {
    const uint8_t* source = from[x % ahead];
    if (x + ahead < width) {
      from[x % ahead] = sourceOf(x + ahead);
      if (from[x % ahead]) __builtin_prefetch(from[x % ahead]);
    }
    if (source) std::memcpy(row + 3 * x, source, 3);
  }
}

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
// An angle in degrees as radians: degrees times pi (a double) times 1/180,
// both products in extended precision, stored as a double.
inline double Radians(int degrees) {
  return static_cast<double>(degrees * static_cast<long double>(std::numbers::pi) * (1.0L / 180));
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

// A new 24-bit bitmap of the given size (white, as every newly sized bitmap).
std::unique_ptr<TBitmap> NewPicture(int width, int height);
// A new 24-bit bitmap of the given size whose bytes have no value yet: the
// caller writes all RowBytes(width) of every row, best in row bands, so that
// each core first touches the memory it writes.
std::unique_ptr<TBitmap> NewUnfilledPicture(int width, int height);
inline size_t RowBytes(int width) { return static_cast<size_t>(BytesPerScanLine(width, 24)); }
// A new 24-bit bitmap of the picture's size holding its pixels (a block
// copy).
std::unique_ptr<TBitmap> CopyPicture(TBitmap& picture);
// Copies a bitmap of the picture's size back over it (a block copy).
void CopyBack(TBitmap& picture, TBitmap& copy);
