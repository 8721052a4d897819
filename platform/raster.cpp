// Block transfers: BitBlt, StretchBlt, PatBlt and MaskBlt over in-memory
// bitmaps. Colours are combined as 24-bit blue, green, red triples.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gdi.h"

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

inline bool UsesSource(uint8_t code) { return (((code >> 2) ^ code) & 0x33) != 0; }

// Plain copy between two bitmaps of the same direct format: whole rows of
// bytes. Answers false when the pair needs the general path.
bool FastCopy(TDibSection& out, int x, int y, int w, int h, const TDibSection& in, int sx, int sy) {
  if (out.BitCount != in.BitCount || (out.BitCount != 24 && out.BitCount != 32)) return false;
  // Clip to both bitmaps.
  if (x < 0) { sx -= x; w += x; x = 0; }
  if (y < 0) { sy -= y; h += y; y = 0; }
  if (sx < 0) { x -= sx; w += sx; sx = 0; }
  if (sy < 0) { y -= sy; h += sy; sy = 0; }
  w = std::min({w, out.Width - x, in.Width - sx});
  h = std::min({h, out.Height - y, in.Height - sy});
  if (w <= 0 || h <= 0) return true;
  int bpp = out.BitCount / 8;
  // Rows run bottom-up when a bitmap is copied onto itself further down.
  bool upward = &out == &in && y > sy;
  for (int k = 0; k < h; ++k) {
    int j = upward ? h - 1 - k : k;
    std::memmove(out.ScanLine(y + j) + x * bpp, in.ScanLine(sy + j) + sx * bpp, static_cast<size_t>(w) * bpp);
  }
  return true;
}

// For every target index of one axis, the run of source indices it stands
// for: [First, Last], already turned into absolute, mirrored coordinates
// by Source().
struct AxisRun {
  int First;  // relative index of the first source pixel
  int Count;  // pixels in the run (at least 1)
};

std::vector<AxisRun> MapAxis(int sourceLength, int targetLength) {
  std::vector<AxisRun> runs(static_cast<size_t>(targetLength));
  for (int i = 0; i < targetLength; ++i) {
    int64_t a = static_cast<int64_t>(i) * sourceLength / targetLength;
    if (targetLength >= sourceLength) {
      runs[static_cast<size_t>(i)] = {static_cast<int>(a), 1};
    } else {
      int64_t b = static_cast<int64_t>(i + 1) * sourceLength / targetLength;
      runs[static_cast<size_t>(i)] = {static_cast<int>(a), static_cast<int>(std::max<int64_t>(1, b - a))};
    }
  }
  return runs;
}

struct Pixel {
  unsigned B, G, R;
};

// Combines the colours of the run of source pixels a target pixel stands for.
class Combiner {
 public:
  explicit Combiner(int mode) : FMode(mode) {}
  void Reset() {
    FCount = 0;
    FB = FG = FR = 0;
  }
  void Add(const uint8_t* bgr) {
    switch (FMode) {
      case BLACKONWHITE:
        if (FCount == 0) Set(bgr);
        else {
          FB &= bgr[0];
          FG &= bgr[1];
          FR &= bgr[2];
        }
        break;
      case WHITEONBLACK:
        if (FCount == 0) Set(bgr);
        else {
          FB |= bgr[0];
          FG |= bgr[1];
          FR |= bgr[2];
        }
        break;
      case HALFTONE:
        FB += bgr[0];
        FG += bgr[1];
        FR += bgr[2];
        break;
      default:
        if (FCount == 0) Set(bgr);
        break;
    }
    ++FCount;
  }
  bool Any() const { return FCount > 0; }
  void Result(uint8_t* bgr) const {
    if (FMode == HALFTONE && FCount > 0) {
      bgr[0] = static_cast<uint8_t>((FB + FCount / 2) / FCount);
      bgr[1] = static_cast<uint8_t>((FG + FCount / 2) / FCount);
      bgr[2] = static_cast<uint8_t>((FR + FCount / 2) / FCount);
    } else {
      bgr[0] = static_cast<uint8_t>(FB);
      bgr[1] = static_cast<uint8_t>(FG);
      bgr[2] = static_cast<uint8_t>(FR);
    }
  }

 private:
  void Set(const uint8_t* bgr) {
    FB = bgr[0];
    FG = bgr[1];
    FR = bgr[2];
  }
  int FMode;
  unsigned FCount = 0, FB = 0, FG = 0, FR = 0;
};

// Turns source colours into the target's terms where one side is a
// monochrome device bitmap.
void ConvertForTarget(uint8_t* bgr, int count, const TDeviceContext& src, const TDeviceContext& dest) {
  bool srcMono = src.Bitmap->Monochrome, destMono = dest.Bitmap->Monochrome;
  if (srcMono == destMono) return;
  if (srcMono) {
    TColor text = ColorToRGB(dest.TextColor), bk = ColorToRGB(dest.BkColor);
    for (int i = 0; i < count; ++i) {
      uint8_t* p = bgr + 3 * i;
      bool white = p[0] | p[1] | p[2];
      TColor c = white ? bk : text;
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  } else {
    TColor bk = ColorToRGB(src.BkColor);
    for (int i = 0; i < count; ++i) {
      uint8_t* p = bgr + 3 * i;
      uint8_t v = (RGB(p[2], p[1], p[0]) == bk) ? 255 : 0;
      p[0] = p[1] = p[2] = v;
    }
  }
}

// The general transfer. The target block starts at (x, y) and runs |w| x |h|
// pixels, leftward / upward when w / h is negative; the same for the source.
// mask, when given, chooses per pixel between the foreground operation
// (bit 1) and the background one (bit 0).
bool Transfer(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, uint32_t rop,
              HBITMAP mask = nullptr, int mx = 0, int my = 0) {
  if (!dest || !dest->Bitmap) return false;
  TDibSection& out = *dest->Bitmap;
  uint8_t fore = RopCode(rop);
  uint8_t back = mask ? static_cast<uint8_t>(rop >> 24) : fore;
  bool needSource = UsesSource(fore) || UsesSource(back);
  if (needSource && (!src || !src->Bitmap)) return false;
  if (w == 0 || h == 0) return true;
  if (!mask && fore == 0xCC && w > 0 && h > 0 && sw == w && sh == h && FastCopy(out, x, y, w, h, *src->Bitmap, sx, sy))
    return true;
  int tw = std::abs(w), th = std::abs(h);
  int dxStep = w > 0 ? 1 : -1, dyStep = h > 0 ? 1 : -1;

  TColor brush = ColorToRGB(dest->BrushColor);
  const uint8_t pattern[3] = {GetBValue(brush), GetGValue(brush), GetRValue(brush)};

  std::vector<AxisRun> cols, rows;
  int sxStep = 1, syStep = 1;
  const TDibSection* in = nullptr;
  int mode = COLORONCOLOR;
  if (needSource) {
    in = src->Bitmap;
    if (sw == 0 || sh == 0) return true;
    sxStep = sw > 0 ? 1 : -1;
    syStep = sh > 0 ? 1 : -1;
    cols = MapAxis(std::abs(sw), tw);
    rows = MapAxis(std::abs(sh), th);
    mode = dest->StretchMode;
  }

  std::vector<uint8_t> srcRow(needSource ? static_cast<size_t>(in->Width) * 3 : 0);
  std::vector<uint8_t> color(static_cast<size_t>(tw) * 3);
  std::vector<uint8_t> have(static_cast<size_t>(tw));
  std::vector<uint8_t> target(static_cast<size_t>(tw) * 3);
  std::vector<Combiner> combiners(needSource ? static_cast<size_t>(tw) : 0, Combiner(mode));

  // The span of target columns inside the target bitmap.
  int firstCol = 0, lastCol = tw - 1;
  auto targetX = [&](int i) { return x + i * dxStep; };
  while (firstCol <= lastCol && (targetX(firstCol) < 0 || targetX(firstCol) >= out.Width)) ++firstCol;
  while (lastCol >= firstCol && (targetX(lastCol) < 0 || targetX(lastCol) >= out.Width)) --lastCol;
  if (firstCol > lastCol) return true;

  for (int j = 0; j < th; ++j) {
    int ty = y + j * dyStep;
    if (ty < 0 || ty >= out.Height) continue;
    std::fill(have.begin(), have.end(), needSource ? 0 : 1);
    if (needSource) {
      for (int i = firstCol; i <= lastCol; ++i) combiners[static_cast<size_t>(i)].Reset();
      const AxisRun& rowRun = rows[static_cast<size_t>(j)];
      for (int r = 0; r < rowRun.Count; ++r) {
        int syAbs = sy + (rowRun.First + r) * syStep;
        if (syAbs < 0 || syAbs >= in->Height) continue;
        DibReadRow(*in, syAbs, 0, in->Width, srcRow.data());
        for (int i = firstCol; i <= lastCol; ++i) {
          const AxisRun& colRun = cols[static_cast<size_t>(i)];
          for (int c = 0; c < colRun.Count; ++c) {
            int sxAbs = sx + (colRun.First + c) * sxStep;
            if (sxAbs < 0 || sxAbs >= in->Width) continue;
            combiners[static_cast<size_t>(i)].Add(&srcRow[3 * static_cast<size_t>(sxAbs)]);
          }
        }
      }
      for (int i = firstCol; i <= lastCol; ++i) {
        const Combiner& c = combiners[static_cast<size_t>(i)];
        if (!c.Any()) continue;
        have[static_cast<size_t>(i)] = 1;
        c.Result(&color[3 * static_cast<size_t>(i)]);
      }
      ConvertForTarget(color.data() + 3 * firstCol, lastCol - firstCol + 1, *src, *dest);
    }
    // Read the target pixels (in target order) where they take part.
    int left = std::min(targetX(firstCol), targetX(lastCol));
    int span = lastCol - firstCol + 1;
    // The whole span is read and written back, so pixels without a source
    // keep their colour.
    std::vector<uint8_t> destRow(static_cast<size_t>(span) * 3);
    DibReadRow(out, ty, left, span, destRow.data());
    for (int i = firstCol; i <= lastCol; ++i) {
      if (!have[static_cast<size_t>(i)]) continue;
      int tx = targetX(i);
      uint8_t* d = &destRow[3 * static_cast<size_t>(tx - left)];
      uint8_t code = fore;
      if (mask) {
        int mxAbs = mx + i, myAbs = my + j;
        bool bit = false;
        if (mxAbs >= 0 && myAbs >= 0 && mxAbs < mask->Width && myAbs < mask->Height)
          bit = (mask->ScanLine(myAbs)[mxAbs >> 3] >> (7 - (mxAbs & 7))) & 1;
        code = bit ? fore : back;
      }
      const uint8_t* s = needSource ? &color[3 * static_cast<size_t>(i)] : pattern;
      for (int k = 0; k < 3; ++k) d[k] = Rop3(code, pattern[k], s[k], d[k]);
    }
    DibWriteRow(out, ty, left, span, destRow.data());
  }
  return true;
}

}  // namespace

bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop) {
  if (w <= 0 || h <= 0) return dest != nullptr;
  return Transfer(dest, x, y, w, h, src, sx, sy, w, h, rop);
}

bool StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, uint32_t rop) {
  return Transfer(dest, x, y, w, h, src, sx, sy, sw, sh, rop);
}

bool PatBlt(HDC dest, int x, int y, int w, int h, uint32_t rop) {
  if (w < 0) {
    x += w;
    w = -w;
  }
  if (h < 0) {
    y += h;
    h = -h;
  }
  return Transfer(dest, x, y, w, h, nullptr, 0, 0, w, h, rop);
}

bool MaskBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx, int my,
             uint32_t rop) {
  if (w <= 0 || h <= 0) return dest != nullptr;
  if (!mask) return Transfer(dest, x, y, w, h, src, sx, sy, w, h, rop & 0x00FFFFFF);
  return Transfer(dest, x, y, w, h, src, sx, sy, w, h, rop, mask, mx, my);
}
