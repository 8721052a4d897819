// Block transfers: BitBlt, StretchBlt, PatBlt, MaskBlt and TransparentBlt over
// in-memory bitmaps. Colours are combined as 24-bit blue, green, red triples.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/graphics/gdi.h"

namespace {

inline uint8_t RopCode(uint32_t rop) { return static_cast<uint8_t>(rop >> 16); }

// Applies a ternary raster operation to one byte of pattern, source and
// destination.
inline uint8_t Rop3(uint8_t code, uint8_t p, uint8_t s, uint8_t d) {
  switch (code) {
    case 0xCC: return s;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x33: return static_cast<uint8_t>(~s);
    case 0xF0: return p;
    case 0x5A: return p ^ d;
    case 0x55: return static_cast<uint8_t>(~d);
    case 0xAA: return d;
    case 0x00: return 0;
    case 0xFF: return 0xFF;
    default: break;
  }
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if (!((code >> i) & 1)) continue;
    uint8_t term = static_cast<uint8_t>(((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d));
    r |= term;
  }
  return r;
}

// Whether the result of the operation depends on the source / the target.
inline bool UsesSource(uint8_t code) { return (((code >> 2) ^ code) & 0x33) != 0; }
inline bool UsesDest(uint8_t code) { return (((code >> 1) ^ code) & 0x55) != 0; }

// Plain copy between two bitmaps whose pixels can be copied byte for byte
// (same format of 8 bits or more; 8-bit ones with the same table). Answers
// false when the pair needs the general path.
bool FastCopy(TDibSection& out, int x, int y, int w, int h, const TDibSection& in, int sx, int sy) {
  if (out.BitCount != in.BitCount || out.BitCount < 8 || out.Rgb565 != in.Rgb565 ||
      (out.BitCount == 8 && out.ColorTable != in.ColorTable))
    return false;
  // Source columns [c0, c1) and rows [r0, r1) inside both bitmaps; a source
  // pixel (c, r) goes to (c + dx, r + dy).
  int64_t dx = int64_t(x) - sx, dy = int64_t(y) - sy;
  int64_t c0 = std::max<int64_t>({sx, 0, -dx});
  int64_t c1 = std::min<int64_t>({int64_t(sx) + w, in.Width, out.Width - dx});
  int64_t r0 = std::max<int64_t>({sy, 0, -dy});
  int64_t r1 = std::min<int64_t>({int64_t(sy) + h, in.Height, out.Height - dy});
  if (c0 >= c1 || r0 >= r1) return true;
  size_t bpp = static_cast<size_t>(out.BitCount / 8);
  size_t bytes = static_cast<size_t>(c1 - c0) * bpp;
  // Rows run bottom-up when a bitmap is copied onto itself further down;
  // memmove takes care of overlap within a row.
  bool upward = &out == &in && dy > 0;
  for (int64_t k = 0; k < r1 - r0; ++k) {
    int64_t r = upward ? r1 - 1 - k : r0 + k;
    std::memmove(out.ScanLine(static_cast<int>(r + dy)) + static_cast<size_t>(c0 + dx) * bpp,
                 in.ScanLine(static_cast<int>(r)) + static_cast<size_t>(c0) * bpp, bytes);
  }
  return true;
}

// One target pixel of an axis: its position, its index in the block, and
// the source pixels it stands for, from First to Last walking in the source
// block's direction (the same pixel when it takes one).
struct AxisStep {
  int Target;
  int Index;
  int First, Last;
};

// The pixels of one axis of the target block (start t, signed length tLen)
// that lie inside the target (size tSize) and, when a source takes part
// (start s, signed length sLen, size sSize), have source pixels inside the
// source; the sampling rule is the one documented at StretchBlt. The result
// holds at most tSize steps whose targets follow each other. With firstOnly
// a step keeps only the first source pixel of its run (all a mode that
// drops pixels looks at).
std::vector<AxisStep> MapAxis(int64_t t, int64_t tLen, int tSize, int64_t s, int64_t sLen, int sSize,
                              bool withSource, bool firstOnly) {
  std::vector<AxisStep> steps;
  int64_t tCount = std::abs(tLen), sCount = std::abs(sLen);
  int64_t tStep = tLen > 0 ? 1 : -1, sStep = sLen > 0 ? 1 : -1;
  // Block indices i whose position t + i * tStep is inside the target.
  int64_t lo = std::max<int64_t>(0, tStep > 0 ? -t : t - (tSize - 1));
  int64_t hi = std::min<int64_t>(tCount - 1, tStep > 0 ? tSize - 1 - t : t);
  if (lo > hi) return steps;
  steps.reserve(static_cast<size_t>(hi - lo + 1));
  for (int64_t i = lo; i <= hi; ++i) {
    AxisStep step{static_cast<int>(t + i * tStep), static_cast<int>(i), 0, 0};
    if (withSource) {
      int64_t a = i * sCount / tCount;
      int64_t b = tCount >= sCount ? a : (i + 1) * sCount / tCount - 1;
      int64_t first = s + a * sStep, last = s + b * sStep;
      if (sStep > 0) {
        first = std::max<int64_t>(first, 0);
        last = std::min<int64_t>(last, sSize - 1);
        if (first > last) continue;
      } else {
        first = std::min<int64_t>(first, sSize - 1);
        last = std::max<int64_t>(last, 0);
        if (first < last) continue;
      }
      step.First = static_cast<int>(first);
      step.Last = static_cast<int>(firstOnly ? first : last);
    }
    steps.push_back(step);
  }
  return steps;
}

// The lowest and highest source coordinate the steps take.
void SourceSpan(const std::vector<AxisStep>& steps, int& lo, int& hi) {
  lo = std::min({steps.front().First, steps.front().Last, steps.back().First, steps.back().Last});
  hi = std::max({steps.front().First, steps.front().Last, steps.back().First, steps.back().Last});
}

bool SinglePixels(const std::vector<AxisStep>& steps) {
  return std::all_of(steps.begin(), steps.end(), [](const AxisStep& s) { return s.First == s.Last; });
}

// Combines the colours of the run of source pixels a target pixel stands for.
class Combiner {
 public:
  explicit Combiner(int mode) : FMode(mode) {}
  void Reset() {
    FCount = 0;
    FB = FG = FR = 0;
  }
  void Add(const uint8_t* bgr) {
    if (FCount++ == 0) {
      FB = bgr[0];
      FG = bgr[1];
      FR = bgr[2];
      return;
    }
    switch (FMode) {
      case BLACKONWHITE:
        FB &= bgr[0];
        FG &= bgr[1];
        FR &= bgr[2];
        break;
      case WHITEONBLACK:
        FB |= bgr[0];
        FG |= bgr[1];
        FR |= bgr[2];
        break;
      case HALFTONE:
        FB += bgr[0];
        FG += bgr[1];
        FR += bgr[2];
        break;
      default:  // COLORONCOLOR keeps the first
        break;
    }
  }
  void Result(uint8_t* bgr) const {
    uint64_t n = FMode == HALFTONE ? FCount : 1;
    bgr[0] = static_cast<uint8_t>((FB + n / 2) / n);
    bgr[1] = static_cast<uint8_t>((FG + n / 2) / n);
    bgr[2] = static_cast<uint8_t>((FR + n / 2) / n);
  }

 private:
  int FMode;
  uint64_t FCount = 0, FB = 0, FG = 0, FR = 0;
};

// Turns source colours into the target's terms where one side is a
// monochrome device bitmap.
void ConvertForTarget(uint8_t* bgr, size_t count, const TDeviceContext& src, const TDeviceContext& dest) {
  bool srcMono = src.Bitmap->Monochrome, destMono = dest.Bitmap->Monochrome;
  if (srcMono == destMono) return;
  if (srcMono) {
    TColor text = ColorToRGB(dest.TextColor), bk = ColorToRGB(dest.BkColor);
    for (size_t i = 0; i < count; ++i) {
      uint8_t* p = bgr + 3 * i;
      bool white = p[0] | p[1] | p[2];
      TColor c = white ? bk : text;
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  } else {
    TColor bk = ColorToRGB(src.BkColor);
    for (size_t i = 0; i < count; ++i) {
      uint8_t* p = bgr + 3 * i;
      uint8_t v = (RGB(p[2], p[1], p[0]) == bk) ? 255 : 0;
      p[0] = p[1] = p[2] = v;
    }
  }
}

inline bool MaskBit(const TDibSection& mask, int64_t x, int64_t y) {
  if (x < 0 || y < 0 || x >= mask.Width || y >= mask.Height) return false;
  return (mask.ScanLine(static_cast<int>(y))[x >> 3] >> (7 - (x & 7))) & 1;
}

// A copy of the rows [lo, hi] of a bitmap (row lo becomes row 0).
TDibSection CopyRows(const TDibSection& dib, int lo, int hi) {
  TDibSection copy;
  copy.Width = dib.Width;
  copy.Height = hi - lo + 1;
  copy.BitCount = dib.BitCount;
  copy.Rgb565 = dib.Rgb565;
  copy.Monochrome = dib.Monochrome;
  copy.Stride = dib.Stride;
  copy.ColorTable = dib.ColorTable;
  copy.Bits.assign(dib.ScanLine(lo), dib.ScanLine(lo) + static_cast<size_t>(copy.Height) * dib.Stride);
  return copy;
}

// The general transfer. The target block starts at (x, y) and runs |w| x |h|
// pixels, leftward / upward when w / h is negative; the same for the source.
// mask, when given, chooses per pixel between the foreground operation
// (bit 1) and the background one (bit 0). With a key, target pixels whose
// source colour is the key are left alone.
bool Transfer(HDC dest, int64_t x, int64_t y, int64_t w, int64_t h, HDC src, int64_t sx, int64_t sy,
              int64_t sw, int64_t sh, uint32_t rop, HBITMAP mask = nullptr, int mx = 0, int my = 0,
              std::optional<TColor> key = std::nullopt) {
  if (!dest || !dest->Bitmap) return false;
  TDibSection& out = *dest->Bitmap;
  uint8_t fore = RopCode(rop);
  uint8_t back = mask ? static_cast<uint8_t>(rop >> 24) : fore;
  bool needSource = UsesSource(fore) || UsesSource(back);
  if (needSource && (!src || !src->Bitmap)) return false;
  if (w == 0 || h == 0 || (needSource && (sw == 0 || sh == 0))) return true;
  const TDibSection* in = needSource ? src->Bitmap : nullptr;

  bool firstOnly = key || dest->StretchMode == COLORONCOLOR;
  std::vector<AxisStep> cols = MapAxis(x, w, out.Width, sx, sw, in ? in->Width : 0, in != nullptr, firstOnly);
  std::vector<AxisStep> rows = MapAxis(y, h, out.Height, sy, sh, in ? in->Height : 0, in != nullptr, firstOnly);
  if (cols.empty() || rows.empty()) return true;
  size_t span = cols.size();
  int left = std::min(cols.front().Target, cols.back().Target);
  bool ascending = w > 0;

  int minSx = 0, maxSx = 0, rowBase = 0;
  TDibSection snapshot;
  if (in) {
    SourceSpan(cols, minSx, maxSx);
    if (in == &out) {
      // Reading from the bitmap being written: read from a copy of the rows
      // the source block takes.
      int lo, hi;
      SourceSpan(rows, lo, hi);
      snapshot = CopyRows(*in, lo, hi);
      in = &snapshot;
      rowBase = lo;
    }
  }
  size_t srcCount = static_cast<size_t>(maxSx - minSx + 1);
  bool single = in && SinglePixels(cols) && SinglePixels(rows);
  // Whether the row of source colours is the row of target colours as it is.
  bool identity = single && sw > 0 && cols.front().First == minSx && srcCount == span;
  bool plainCopy = in && fore == 0xCC && !mask && !key && ascending;
  bool readDest = UsesDest(fore) || UsesDest(back);
  int sxStep = sw > 0 ? 1 : -1, syStep = sh > 0 ? 1 : -1;

  TColor brush = ColorToRGB(dest->BrushColor);
  const uint8_t pattern[3] = {GetBValue(brush), GetGValue(brush), GetRValue(brush)};

  std::vector<uint8_t> srcRow(in && !identity ? srcCount * 3 : 0);
  std::vector<uint8_t> color(in ? span * 3 : 0);  // per step of cols
  std::vector<uint8_t> destRow(span * 3);         // per target position from left
  std::vector<uint8_t> skip(key ? span : 0);      // per target position from left
  std::vector<Combiner> combiners(in && !single ? span : 0, Combiner(key ? COLORONCOLOR : dest->StretchMode));

  for (const AxisStep& row : rows) {
    if (in) {
      if (identity) {
        DibReadRow(*in, row.First - rowBase, minSx, static_cast<int>(span), color.data());
      } else if (single) {
        DibReadRow(*in, row.First - rowBase, minSx, static_cast<int>(srcCount), srcRow.data());
        for (size_t k = 0; k < span; ++k)
          std::memcpy(&color[3 * k], &srcRow[3 * static_cast<size_t>(cols[k].First - minSx)], 3);
      } else {
        for (Combiner& c : combiners) c.Reset();
        for (int r = row.First;; r += syStep) {
          DibReadRow(*in, r - rowBase, minSx, static_cast<int>(srcCount), srcRow.data());
          for (size_t k = 0; k < span; ++k)
            for (int c = cols[k].First;; c += sxStep) {
              combiners[k].Add(&srcRow[3 * static_cast<size_t>(c - minSx)]);
              if (c == cols[k].Last) break;
            }
          if (r == row.Last) break;
        }
        for (size_t k = 0; k < span; ++k) combiners[k].Result(&color[3 * k]);
      }
      if (key)
        for (size_t k = 0; k < span; ++k)
          skip[static_cast<size_t>(cols[k].Target - left)] =
              RGB(color[3 * k + 2], color[3 * k + 1], color[3 * k]) == *key;
      ConvertForTarget(color.data(), span, *src, *dest);
    }
    if (plainCopy) {
      DibWriteRow(out, row.Target, left, static_cast<int>(span), color.data());
      continue;
    }
    if (readDest) DibReadRow(out, row.Target, left, static_cast<int>(span), destRow.data());
    for (size_t k = 0; k < span; ++k) {
      uint8_t* d = &destRow[3 * static_cast<size_t>(cols[k].Target - left)];
      const uint8_t* s = in ? &color[3 * k] : pattern;
      bool background = mask && !MaskBit(*mask, int64_t(mx) + cols[k].Index, int64_t(my) + row.Index);
      uint8_t code = background ? back : fore;
      for (int c = 0; c < 3; ++c) d[c] = Rop3(code, pattern[c], s[c], d[c]);
    }
    if (!key) {
      DibWriteRow(out, row.Target, left, static_cast<int>(span), destRow.data());
      continue;
    }
    // Write the runs of pixels that are not transparent.
    for (size_t a = 0; a < span;) {
      if (skip[a]) {
        ++a;
        continue;
      }
      size_t b = a;
      while (b < span && !skip[b]) ++b;
      DibWriteRow(out, row.Target, left + static_cast<int>(a), static_cast<int>(b - a), &destRow[3 * a]);
      a = b;
    }
  }
  return true;
}

}  // namespace

bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop) {
  if (w <= 0 || h <= 0) return dest != nullptr;
  if (dest && dest->Bitmap && src && src->Bitmap && RopCode(rop) == 0xCC &&
      FastCopy(*dest->Bitmap, x, y, w, h, *src->Bitmap, sx, sy))
    return true;
  return Transfer(dest, x, y, w, h, src, sx, sy, w, h, rop);
}

bool StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, uint32_t rop) {
  if (w > 0 && h > 0 && sw == w && sh == h) return BitBlt(dest, x, y, w, h, src, sx, sy, rop);
  return Transfer(dest, x, y, w, h, src, sx, sy, sw, sh, rop);
}

bool TransparentBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    TColor transparent) {
  return Transfer(dest, x, y, w, h, src, sx, sy, sw, sh, SRCCOPY, nullptr, 0, 0, ColorToRGB(transparent));
}

bool PatBlt(HDC dest, int x, int y, int w, int h, uint32_t rop) {
  // A negative size spans the pixels before the position.
  int64_t left = w < 0 ? int64_t(x) + w : x, top = h < 0 ? int64_t(y) + h : y;
  int64_t width = std::abs(int64_t(w)), height = std::abs(int64_t(h));
  return Transfer(dest, left, top, width, height, nullptr, 0, 0, width, height, rop);
}

bool MaskBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx, int my,
             uint32_t rop) {
  if (w <= 0 || h <= 0) return dest != nullptr;
  if (!mask) return Transfer(dest, x, y, w, h, src, sx, sy, w, h, rop & 0x00FFFFFF);
  if (mask->BitCount != 1) return false;
  return Transfer(dest, x, y, w, h, src, sx, sy, w, h, rop, mask, mx, my);
}
