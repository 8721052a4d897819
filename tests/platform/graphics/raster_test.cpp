// Block transfers: raster operations, BitBlt and StretchBlt against a slow
// per-pixel reference (every mode, mirroring, every format, overlap),
// clipping, monochrome rules, MaskBlt, PatBlt and TransparentBlt.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "tests/support/testsupport.h"

namespace {

const TPixelFormat kFormats[] = {pf24bit, pf32bit, pf16bit, pf15bit, pf8bit, pf4bit, pf1bit};

std::unique_ptr<TBitmap> Noise(int w, int h, unsigned seed, TPixelFormat format) {
  auto b = MakeNoiseBitmap(w, h, seed);
  b->SetPixelFormat(format);
  return b;
}

// The result of a raster operation for one byte, bit by bit from the code's
// truth table.
uint8_t RopByte(uint8_t code, uint8_t p, uint8_t s, uint8_t d) {
  uint8_t r = 0;
  for (int bit = 0; bit < 8; ++bit) {
    int index = ((p >> bit) & 1) << 2 | ((s >> bit) & 1) << 1 | ((d >> bit) & 1);
    r |= static_cast<uint8_t>(((code >> index) & 1) << bit);
  }
  return r;
}

TColor RopColor(uint8_t code, TColor p, TColor s, TColor d) {
  return RGB(RopByte(code, GetRValue(p), GetRValue(s), GetRValue(d)),
             RopByte(code, GetGValue(p), GetGValue(s), GetGValue(d)),
             RopByte(code, GetBValue(p), GetBValue(s), GetBValue(d)));
}

// The source indices (relative to the block start) target index i takes.
std::vector<int> SourceRun(int i, int s, int t) {
  int a = static_cast<int>(int64_t(i) * s / t);
  if (t >= s) return {a};
  int b = static_cast<int>(int64_t(i + 1) * s / t);
  std::vector<int> run;
  for (int k = a; k < b; ++k) run.push_back(k);
  return run;
}

// StretchBlt written straight from its documented rule, pixel by pixel.
// Reads the source from a copy so it may be the target itself.
void ReferenceStretch(TBitmap& target, int x, int y, int w, int h, TBitmap& sourceBitmap, int sx, int sy,
                      int sw, int sh, int mode, uint8_t code, TColor brush) {
  TBitmap source;
  source.Assign(&sourceBitmap);
  int tw = std::abs(w), th = std::abs(h), aw = std::abs(sw), ah = std::abs(sh);
  for (int j = 0; j < th; ++j) {
    int ty = h > 0 ? y + j : y - j;
    if (ty < 0 || ty >= target.Height()) continue;
    for (int i = 0; i < tw; ++i) {
      int tx = w > 0 ? x + i : x - i;
      if (tx < 0 || tx >= target.Width()) continue;
      std::vector<TColor> taken;
      for (int r : SourceRun(j, ah, th))
        for (int c : SourceRun(i, aw, tw)) {
          int px = sw > 0 ? sx + c : sx - c, py = sh > 0 ? sy + r : sy - r;
          if (px >= 0 && py >= 0 && px < source.Width() && py < source.Height())
            taken.push_back(PixelAt(source, px, py));
        }
      if (taken.empty()) continue;
      TColor s = taken[0];
      int sum[3] = {0, 0, 0};
      for (TColor c : taken) {
        if (mode == BLACKONWHITE) s &= c;
        if (mode == WHITEONBLACK) s |= c;
        sum[0] += GetRValue(c);
        sum[1] += GetGValue(c);
        sum[2] += GetBValue(c);
      }
      int n = static_cast<int>(taken.size());
      auto rounded = [n](int total) { return (2 * total + n) / (2 * n); };
      if (mode == HALFTONE) s = RGB(rounded(sum[0]), rounded(sum[1]), rounded(sum[2]));
      target.Canvas()->SetPixel(tx, ty, RopColor(code, brush, s, PixelAt(target, tx, ty)));
    }
  }
}

}  // namespace

TEST(RasterOps, TruthTablesOfTheCodes) {
  // With pattern 0xF0, source 0xCC and destination 0xAA every operation
  // gives its own code byte.
  auto src = MakeFlatBitmap(1, 1, RGB(0xCC, 0xCC, 0xCC));
  for (int code = 0; code < 256; ++code) {
    auto dst = MakeFlatBitmap(1, 1, RGB(0xAA, 0xAA, 0xAA));
    HDC dc = dst->Canvas()->Handle();
    SetBrushColor(dc, RGB(0xF0, 0xF0, 0xF0));
    ASSERT_TRUE(BitBlt(dc, 0, 0, 1, 1, src->Canvas()->Handle(), 0, 0, static_cast<uint32_t>(code) << 16));
    ASSERT_EQ(PixelAt(*dst, 0, 0), RGB(code, code, code)) << "code " << code;
  }
}

TEST(StretchBlt, MatchesTheReferenceOnRandomCases) {
  // Formats and modes are taken in turn so that every pair of formats meets
  // every mode; sizes, positions, mirroring and raster operations are random.
  // Every fifth case copies a bitmap onto itself with overlapping blocks,
  // every tenth as a plain copy.
  std::mt19937 rng(20240611);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const uint32_t rops[] = {SRCCOPY, SRCINVERT, SRCAND, SRCPAINT, NOTSRCCOPY, MERGECOPY, SRCERASE, 0x00B80000};
  for (int n = 0; n < 500; ++n) {
    auto target = Noise(pick(1, 9), pick(1, 9), rng(), kFormats[n / 7 % 7]);
    auto other = Noise(pick(1, 9), pick(1, 9), rng(), kFormats[n % 7]);
    bool self = n % 5 == 0;
    TBitmap& source = self ? *target : *other;
    bool plain = n % 10 == 0 || pick(0, 3) == 0;  // a BitBlt
    int w = pick(1, 9), h = pick(1, 9), sw = plain ? w : pick(1, 9), sh = plain ? h : pick(1, 9);
    if (!plain)
      for (int* v : {&w, &h, &sw, &sh}) *v = pick(0, 1) ? -*v : *v;
    int x = pick(-10, 12), y = pick(-10, 12), sx = pick(-10, 12), sy = pick(-10, 12);
    if (self) x = pick(-2, 6), y = pick(-2, 6), sx = x + pick(-2, 2), sy = y + pick(-2, 2);
    int mode = BLACKONWHITE + n % 4;
    uint32_t rop = n % 10 == 0 ? SRCCOPY : rops[pick(0, 7)];
    TColor brush = static_cast<TColor>(rng() & 0xFFFFFF);

    TBitmap expected;
    expected.Assign(target.get());
    ReferenceStretch(expected, x, y, w, h, source, sx, sy, sw, sh, mode, uint8_t(rop >> 16), brush);
    target->Canvas()->Brush.Color = brush;
    HDC dc = target->Canvas()->Handle();
    SetStretchBltMode(dc, mode);
    HDC sdc = source.Canvas()->Handle();
    if (plain) ASSERT_TRUE(BitBlt(dc, x, y, w, h, sdc, sx, sy, rop)) << n;
    else ASSERT_TRUE(StretchBlt(dc, x, y, w, h, sdc, sx, sy, sw, sh, rop)) << n;
    ASSERT_TRUE(SameColors(*target, expected)) << "case " << n;
  }
}

TEST(BitBlt, ClippingNeverTouchesOutside) {
  // Blocks running off every side of both bitmaps, with far-away and
  // extreme positions and sizes: nothing outside is touched, nothing hangs.
  for (TPixelFormat format : {pf24bit, pf8bit, pf1bit}) {
    auto dst = Noise(5, 4, 1, format);
    auto src = Noise(3, 6, 2, format);
    HDC dc = dst->Canvas()->Handle(), sdc = src->Canvas()->Handle();
    const int far[] = {INT_MIN, INT_MIN / 2, -1000, -4, -1, 0, 2, 4, 1000, INT_MAX / 2, INT_MAX};
    for (int a : far)
      for (int b : far) {
        BitBlt(dc, a, b, INT_MAX, INT_MAX, sdc, b, a, SRCINVERT);
        BitBlt(dc, b, 1, 7, 7, sdc, a, -1, SRCCOPY);
        StretchBlt(dc, a, b, INT_MIN, INT_MAX, sdc, 1, 1, INT_MAX, INT_MIN, SRCCOPY);
        StretchBlt(dc, 1, 1, 3, 3, sdc, a, b, INT_MAX, INT_MAX, SRCAND);
        StretchBlt(dc, 4, 3, -1000000, -1000000, sdc, 0, 0, 3, 3, NOTSRCCOPY);
        PatBlt(dc, a, b, INT_MIN, INT_MAX, PATINVERT);
      }
  }
  auto dst = MakeFlatBitmap(1, 1, clBlack);
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, dst->Canvas()->Handle(), 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst->Canvas()->Handle(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst->Canvas()->Handle(), 0, 0, 1, 1, nullptr, 0, 0, WHITENESS));
  EXPECT_EQ(PixelAt(*dst, 0, 0), clWhite);
}

TEST(BitBlt, IndexedSourcesAndTargets) {
  // An 8-bit source reads through its table; indices past it read black.
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(3, 1);
  indexed.SetColorTable({ColorToQuad(clRed), ColorToQuad(clLime)});
  uint8_t* line = indexed.ScanLine(0);
  line[0] = 1;
  line[1] = 0;
  line[2] = 7;
  auto wide = MakeFlatBitmap(3, 1, clWhite, pf32bit);
  BitBlt(wide->Canvas()->Handle(), 0, 0, 3, 1, indexed.Canvas()->Handle(), 0, 0, SRCCOPY);
  EXPECT_EQ(ColorLetters(*wide), "GRK");
  // Pixels of an indexed target outside the block keep their index even
  // where the table repeats the colour (halftone 249 is red, as is 190).
  auto keep = MakeFlatBitmap(4, 1, clRed, pf8bit);
  std::fill_n(keep->ScanLine(0), 4, 249);
  BitBlt(keep->Canvas()->Handle(), 1, 0, 2, 1, wide->Canvas()->Handle(), 0, 0, SRCCOPY);
  EXPECT_EQ(keep->ScanLine(0)[0], 249);
  EXPECT_EQ(keep->ScanLine(0)[3], 249);
  EXPECT_EQ(ColorLetters(*keep), "RGRR");
}

TEST(BitBlt, MonochromeRules) {
  // Colour -> monochrome: the source's background colour becomes 1.
  auto colour = MakeColorBitmap(3, {clRed, clWhite, clBlue});
  auto mono = MakeFlatBitmap(3, 1, clBlack);
  mono->SetMonochrome(true);
  HDC sdc = colour->Canvas()->Handle();
  SetBkColor(sdc, clRed);
  BitBlt(mono->Canvas()->Handle(), 0, 0, 3, 1, sdc, 0, 0, SRCCOPY);
  EXPECT_EQ(mono->ScanLine(0)[0] & 0xE0, 0x80);
  // Monochrome -> colour: 0 takes the target's text colour, 1 its
  // background colour (system colours resolve); here also mirrored.
  auto out = MakeFlatBitmap(3, 1, clWhite);
  HDC dc = out->Canvas()->Handle();
  SetTextColor(dc, clLime);
  SetBkColor(dc, clBtnFace);
  StretchBlt(dc, 2, 0, -3, 1, mono->Canvas()->Handle(), 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(PixelAt(*out, 2, 0), ColorToRGB(clBtnFace));
  EXPECT_EQ(ColorLetters(*out), "GG?");
}

TEST(BitBlt, MaskPatternAndTransparentTransfers) {
  auto src = MakeFlatBitmap(4, 2, clRed);
  auto dst = MakeFlatBitmap(4, 2, clBlue);
  TBitmap mask;
  mask.SetPixelFormat(pf1bit);
  mask.SetSize(3, 2);  // white = 1; column 3 lies outside the mask (0)
  mask.Canvas()->SetPixel(1, 0, clBlack);
  mask.Canvas()->SetPixel(0, 1, clBlack);
  HDC sdc = src->Canvas()->Handle();
  const uint32_t keepDest = 0x00AA0029;
  EXPECT_TRUE(MaskBlt(dst->Canvas()->Handle(), 0, 0, 4, 2, sdc, 0, 0, mask.Handle(), 0, 0,
                      MAKEROP4(SRCCOPY, keepDest)));
  EXPECT_EQ(ColorLetters(*dst), "RBRB\nBRRB");
  auto colourMask = MakeFlatBitmap(2, 1, clWhite);
  EXPECT_FALSE(MaskBlt(dst->Canvas()->Handle(), 0, 0, 2, 1, sdc, 0, 0, colourMask->Handle(), 0, 0,
                       MAKEROP4(SRCCOPY, keepDest)));

  // PatBlt with negative sizes spans the pixels before the position.
  auto pat = MakeFlatBitmap(6, 5, clWhite);
  pat->Canvas()->Brush.Color = clBlue;
  HDC dc = pat->Canvas()->Handle();
  EXPECT_TRUE(PatBlt(dc, 5, 5, -3, -2, PATCOPY));
  PatBlt(dc, 0, 0, 1, 1, DSTINVERT);
  EXPECT_EQ(ColorLetters(*pat), "KWWWWW\nWWWWWW\nWWWWWW\nWWBBBW\nWWBBBW");

  // TransparentBlt leaves the pixels of the key colour, also on an indexed
  // target whose indices stay as they were.
  auto sprite = MakeColorBitmap(3, {clFuchsia, clYellow, clFuchsia});
  auto back = MakeFlatBitmap(3, 1, clRed, pf8bit);
  std::fill_n(back->ScanLine(0), 3, 249);
  EXPECT_TRUE(TransparentBlt(back->Canvas()->Handle(), 0, 0, 3, 1, sprite->Canvas()->Handle(), 0, 0, 3, 1,
                             clFuchsia));
  EXPECT_EQ(back->ScanLine(0)[0], 249);
  EXPECT_EQ(PixelAt(*back, 1, 0), clYellow);
  EXPECT_EQ(back->ScanLine(0)[2], 249);
}
