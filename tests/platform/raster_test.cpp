// Block transfers: raster operations, clipping, overlap, mirroring, the
// StretchBlt sampling rules (against a slow per-pixel reference), mixed and
// monochrome formats, MaskBlt, PatBlt and TransparentBlt.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "tests/support/testsupport.h"

namespace {

// A bitmap of the format filled with random colours.
std::unique_ptr<TBitmap> RandomBitmap(std::mt19937& rng, int w, int h, TPixelFormat format = pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->Canvas()->SetPixel(x, y, static_cast<TColor>(rng() & 0xFFFFFF));
  b->SetPixelFormat(format);
  return b;
}

std::unique_ptr<TBitmap> Solid(int w, int h, TColor color, TPixelFormat format = pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(w, h);
  b->Canvas()->Brush.Color = color;
  b->Canvas()->FillRect(Rect(0, 0, w, h));
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

void ExpectSame(TBitmap& actual, TBitmap& expected, const std::string& what) {
  ASSERT_EQ(actual.Width(), expected.Width()) << what;
  ASSERT_EQ(actual.Height(), expected.Height()) << what;
  for (int y = 0; y < actual.Height(); ++y)
    for (int x = 0; x < actual.Width(); ++x)
      ASSERT_EQ(PixelAt(actual, x, y), PixelAt(expected, x, y)) << what << " at " << x << "," << y;
}

}  // namespace

TEST(RasterOps, TruthTablesOfTheCodes) {
  // With pattern 0xF0, source 0xCC and destination 0xAA every operation
  // gives its own code byte.
  auto src = Solid(1, 1, RGB(0xCC, 0xCC, 0xCC));
  for (int code = 0; code < 256; ++code) {
    auto dst = Solid(1, 1, RGB(0xAA, 0xAA, 0xAA));
    HDC dc = dst->Canvas()->Handle();
    SetBrushColor(dc, RGB(0xF0, 0xF0, 0xF0));
    ASSERT_TRUE(BitBlt(dc, 0, 0, 1, 1, src->Canvas()->Handle(), 0, 0, static_cast<uint32_t>(code) << 16));
    ASSERT_EQ(PixelAt(*dst, 0, 0), RGB(code, code, code)) << "code " << code;
  }
  // Hand-computed values of named operations on other bits.
  struct Case {
    uint32_t rop;
    uint8_t p, s, d, expected;
  } cases[] = {
      {SRCCOPY, 0x00, 0x5C, 0xFF, 0x5C},     {SRCINVERT, 0x00, 0x0F, 0x3C, 0x33},
      {SRCAND, 0xFF, 0x0F, 0x3C, 0x0C},      {SRCPAINT, 0x00, 0x0F, 0x30, 0x3F},
      {NOTSRCCOPY, 0x00, 0x0F, 0x00, 0xF0},  {PATCOPY, 0x81, 0x00, 0x7E, 0x81},
      {PATINVERT, 0x0F, 0x00, 0x3C, 0x33},   {DSTINVERT, 0x00, 0x00, 0x3C, 0xC3},
      {BLACKNESS, 0xFF, 0xFF, 0xFF, 0x00},   {WHITENESS, 0x00, 0x00, 0x00, 0xFF},
      {MERGECOPY, 0x3C, 0x0F, 0x00, 0x0C},   {SRCERASE, 0x00, 0x0F, 0x3C, 0x03},
      {MERGEPAINT, 0x00, 0x0F, 0x30, 0xF0},  {NOTSRCERASE, 0x00, 0x0F, 0x30, 0xC0},
      {PATPAINT, 0x01, 0x0F, 0x30, 0xF1},
      {0x00B80000, 0xF0, 0x3C, 0x55, 0xD4},  // S ? D : P
      {0x00E20000, 0xAA, 0x0F, 0x33, 0x3A},  // S ? P : D
  };
  for (const Case& c : cases) {
    auto src1 = Solid(1, 1, RGB(c.s, c.s, c.s));
    auto dst = Solid(1, 1, RGB(c.d, c.d, c.d));
    HDC dc = dst->Canvas()->Handle();
    SetBrushColor(dc, RGB(c.p, c.p, c.p));
    BitBlt(dc, 0, 0, 1, 1, src1->Canvas()->Handle(), 0, 0, c.rop);
    EXPECT_EQ(PixelAt(*dst, 0, 0), RGB(c.expected, c.expected, c.expected)) << std::hex << c.rop;
  }
}

TEST(StretchBlt, MatchesTheReferenceOnRandomCases) {
  std::mt19937 rng(20240611);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const uint32_t rops[] = {SRCCOPY, SRCINVERT, SRCAND, SRCPAINT, NOTSRCCOPY, MERGECOPY, SRCERASE, 0x00B80000};
  const TPixelFormat sourceFormats[] = {pf24bit, pf32bit, pf16bit, pf8bit, pf4bit};
  const TPixelFormat targetFormats[] = {pf24bit, pf32bit, pf15bit, pf8bit};
  for (int n = 0; n < 4000; ++n) {
    auto target = RandomBitmap(rng, pick(1, 9), pick(1, 9), targetFormats[pick(0, 3)]);
    auto other = RandomBitmap(rng, pick(1, 9), pick(1, 9), sourceFormats[pick(0, 4)]);
    bool self = pick(0, 4) == 0;
    TBitmap& source = self ? *target : *other;
    bool plain = pick(0, 3) == 0;  // a BitBlt
    int w = pick(1, 9), h = pick(1, 9), sw = plain ? w : pick(1, 9), sh = plain ? h : pick(1, 9);
    if (!plain) {
      if (pick(0, 1)) w = -w;
      if (pick(0, 1)) h = -h;
      if (pick(0, 1)) sw = -sw;
      if (pick(0, 1)) sh = -sh;
    }
    int x = pick(-10, 12), y = pick(-10, 12), sx = pick(-10, 12), sy = pick(-10, 12);
    if (self) {  // overlapping blocks
      x = pick(-2, 6);
      y = pick(-2, 6);
      sx = x + pick(-2, 2);
      sy = y + pick(-2, 2);
    }
    int mode = pick(BLACKONWHITE, HALFTONE);
    uint32_t rop = rops[pick(0, 7)];
    TColor brush = static_cast<TColor>(rng() & 0xFFFFFF);
    std::string what = "case " + std::to_string(n);

    TBitmap expected;
    expected.Assign(target.get());
    auto code = static_cast<uint8_t>(rop >> 16);
    ReferenceStretch(expected, x, y, w, h, source, sx, sy, sw, sh, mode, code, brush);
    target->Canvas()->Brush.Color = brush;
    HDC dc = target->Canvas()->Handle();
    SetStretchBltMode(dc, mode);
    HDC sdc = source.Canvas()->Handle();
    if (plain) ASSERT_TRUE(BitBlt(dc, x, y, w, h, sdc, sx, sy, rop)) << what;
    else ASSERT_TRUE(StretchBlt(dc, x, y, w, h, sdc, sx, sy, sw, sh, rop)) << what;
    ExpectSame(*target, expected, what);
  }
}

TEST(StretchBlt, SamplingRulesByHand) {
  // Source row: 4 pixels shrunk to 2, so each target pixel stands for two.
  TColor row[4] = {RGB(0xF0, 0x0F, 0x80), RGB(0x3C, 0xFF, 0x01), RGB(10, 20, 30), RGB(11, 21, 32)};
  auto src = Solid(4, 1, clBlack);
  for (int i = 0; i < 4; ++i) src->Canvas()->SetPixel(i, 0, row[i]);
  struct Case {
    int mode;
    TColor first, second;
  } cases[] = {
      {BLACKONWHITE, RGB(0x30, 0x0F, 0x00), RGB(10, 20, 0)},
      {WHITEONBLACK, RGB(0xFC, 0xFF, 0x81), RGB(11, 21, 62)},
      {COLORONCOLOR, row[0], row[2]},
      {HALFTONE, RGB(0x96, 0x87, 0x41), RGB(11, 21, 31)},  // rounded averages
  };
  for (const Case& c : cases) {
    auto dst = Solid(2, 1, clWhite);
    HDC dc = dst->Canvas()->Handle();
    EXPECT_EQ(SetStretchBltMode(dc, c.mode), BLACKONWHITE);
    EXPECT_EQ(GetStretchBltMode(dc), c.mode);
    StretchBlt(dc, 0, 0, 2, 1, src->Canvas()->Handle(), 0, 0, 4, 1, SRCCOPY);
    EXPECT_EQ(PixelAt(*dst, 0, 0), c.first) << c.mode;
    EXPECT_EQ(PixelAt(*dst, 1, 0), c.second) << c.mode;
  }
  // Enlarging 3 -> 7 takes floor(i * 3 / 7): 0 0 0 1 1 2 2.
  auto three = Solid(3, 1, clBlack);
  for (int i = 0; i < 3; ++i) three->Canvas()->SetPixel(i, 0, RGB(i, 0, 0));
  auto seven = Solid(7, 1, clWhite);
  StretchBlt(seven->Canvas()->Handle(), 0, 0, 7, 1, three->Canvas()->Handle(), 0, 0, 3, 1, SRCCOPY);
  const int expected[7] = {0, 0, 0, 1, 1, 2, 2};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(PixelAt(*seven, i, 0), RGB(expected[i], 0, 0)) << i;
  EXPECT_EQ(SetStretchBltMode(seven->Canvas()->Handle(), 9), 0);  // not a mode
}

TEST(BitBlt, ClippingNeverTouchesOutside) {
  // Blocks running off every side of both bitmaps, with far-away and
  // extreme positions and sizes; the reference test covers the pixels, this
  // one that nothing outside the bitmaps is touched and nothing hangs.
  std::mt19937 rng(7);
  for (TPixelFormat format : {pf24bit, pf8bit, pf1bit}) {
    auto dst = RandomBitmap(rng, 5, 4, format);
    auto src = RandomBitmap(rng, 3, 6, format);
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
    EXPECT_EQ(dst->Width(), 5);
  }
  // A block partly outside: only the overlap is copied.
  auto dst = Solid(4, 4, clWhite);
  auto src = Solid(4, 4, clRed);
  BitBlt(dst->Canvas()->Handle(), -2, 3, 4, 4, src->Canvas()->Handle(), 0, 1, SRCCOPY);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(*dst, x, y), x < 2 && y == 3 ? clRed : clWhite) << x << y;
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, src->Canvas()->Handle(), 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst->Canvas()->Handle(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst->Canvas()->Handle(), 0, 0, 1, 1, nullptr, 0, 0, WHITENESS));
}

TEST(BitBlt, CopyOntoItselfWithOverlap) {
  std::mt19937 rng(99);
  const TPoint shifts[] = {{0, -2}, {0, 2}, {-2, 0}, {2, 0}, {1, 1}, {-3, 2}, {3, -1}};
  for (TPixelFormat format : {pf24bit, pf32bit, pf16bit, pf8bit, pf4bit, pf1bit}) {
    auto original = RandomBitmap(rng, 9, 7, format);
    for (const TPoint& d : shifts) {
      for (uint32_t rop : {SRCCOPY, SRCINVERT}) {
        TBitmap actual, copy, expected;
        actual.Assign(original.get());
        copy.Assign(original.get());
        expected.Assign(original.get());
        BitBlt(expected.Canvas()->Handle(), 1 + d.X, 1 + d.Y, 6, 5, copy.Canvas()->Handle(), 1, 1, rop);
        HDC dc = actual.Canvas()->Handle();
        BitBlt(dc, 1 + d.X, 1 + d.Y, 6, 5, dc, 1, 1, rop);
        std::string what = "format " + std::to_string(format) + " shift " + std::to_string(d.X) + "," +
                           std::to_string(d.Y);
        ExpectSame(actual, expected, what);
      }
    }
    // Flipping in place both ways.
    TBitmap flipped;
    flipped.Assign(original.get());
    HDC dc = flipped.Canvas()->Handle();
    StretchBlt(dc, 8, 6, -9, -7, dc, 0, 0, 9, 7, SRCCOPY);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(PixelAt(flipped, x, y), PixelAt(*original, 8 - x, 6 - y));
  }
}

TEST(BitBlt, MixedFormats) {
  std::mt19937 rng(3);
  // 24-bit into an 8-bit target: nearest colours of the target's table.
  auto src = RandomBitmap(rng, 16, 8);
  auto dst = Solid(16, 8, clWhite, pf8bit);
  BitBlt(dst->Canvas()->Handle(), 0, 0, 16, 8, src->Canvas()->Handle(), 0, 0, SRCCOPY);
  const auto& table = HalftoneColors();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      TColor c = PixelAt(*src, x, y);
      int index = NearestColorIndex(table.data(), 256, GetRValue(c), GetGValue(c), GetBValue(c));
      ASSERT_EQ(dst->ScanLine(y)[x], index);
    }
  // An 8-bit source reads through its table; indices past it read black.
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(3, 1);
  indexed.SetColorTable({ColorToQuad(clRed), ColorToQuad(RGB(1, 2, 3))});
  uint8_t* line = indexed.ScanLine(0);
  line[0] = 1;
  line[1] = 0;
  line[2] = 7;
  auto wide = Solid(3, 1, clWhite, pf32bit);
  BitBlt(wide->Canvas()->Handle(), 0, 0, 3, 1, indexed.Canvas()->Handle(), 0, 0, SRCCOPY);
  EXPECT_EQ(PixelAt(*wide, 0, 0), RGB(1, 2, 3));
  EXPECT_EQ(PixelAt(*wide, 1, 0), clRed);
  EXPECT_EQ(PixelAt(*wide, 2, 0), clBlack);
  // 16-bit sources widen their channels.
  for (TPixelFormat format : {pf15bit, pf16bit}) {
    auto words = Solid(2, 1, clBlack, format);
    uint8_t* p = words->ScanLine(0);
    uint16_t v0 = format == pf16bit ? 0xF81F : 0x7C1F;                                  // red + blue full
    uint16_t v1 = format == pf16bit ? (1 << 11) | (1 << 5) | 1 : (1 << 10) | (1 << 5) | 1;  // all 1
    p[0] = static_cast<uint8_t>(v0);
    p[1] = static_cast<uint8_t>(v0 >> 8);
    p[2] = static_cast<uint8_t>(v1);
    p[3] = static_cast<uint8_t>(v1 >> 8);
    auto out = Solid(2, 1, clWhite);
    BitBlt(out->Canvas()->Handle(), 0, 0, 2, 1, words->Canvas()->Handle(), 0, 0, SRCCOPY);
    EXPECT_EQ(PixelAt(*out, 0, 0), RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(*out, 1, 0), format == pf16bit ? RGB(8, 4, 8) : RGB(8, 8, 8));
  }
  // Pixels of an indexed target outside the block keep their index even
  // where the table repeats the colour (halftone 249 is red, as is 190).
  auto keep = Solid(4, 1, clRed, pf8bit);
  std::fill_n(keep->ScanLine(0), 4, 249);
  auto blue = Solid(2, 1, clBlue);
  BitBlt(keep->Canvas()->Handle(), 1, 0, 2, 1, blue->Canvas()->Handle(), 0, 0, SRCCOPY);
  EXPECT_EQ(keep->ScanLine(0)[0], 249);
  EXPECT_EQ(keep->ScanLine(0)[3], 249);
  EXPECT_EQ(PixelAt(*keep, 1, 0), clBlue);
}

TEST(BitBlt, MonochromeRules) {
  // Colour -> monochrome: the source's background colour becomes 1.
  auto colour = Solid(3, 1, clRed);
  colour->Canvas()->SetPixel(1, 0, clWhite);
  colour->Canvas()->SetPixel(2, 0, clBlue);
  auto mono = Solid(3, 1, clBlack);
  mono->SetMonochrome(true);
  HDC sdc = colour->Canvas()->Handle();
  SetBkColor(sdc, clRed);
  BitBlt(mono->Canvas()->Handle(), 0, 0, 3, 1, sdc, 0, 0, SRCCOPY);
  EXPECT_EQ(mono->ScanLine(0)[0] & 0xE0, 0x80);
  // Monochrome -> colour: 0 takes the target's text colour, 1 its
  // background colour.
  auto out = Solid(3, 1, clWhite, pf8bit);
  HDC dc = out->Canvas()->Handle();
  SetTextColor(dc, clLime);
  SetBkColor(dc, clBtnFace);  // system colours resolve
  BitBlt(dc, 0, 0, 3, 1, mono->Canvas()->Handle(), 0, 0, SRCCOPY);
  auto out24 = Solid(3, 1, clWhite);
  HDC dc24 = out24->Canvas()->Handle();
  SetTextColor(dc24, clLime);
  SetBkColor(dc24, clNavy);
  StretchBlt(dc24, 2, 0, -3, 1, mono->Canvas()->Handle(), 0, 0, 3, 1, SRCCOPY);
  TColor face = ColorToRGB(clBtnFace);
  int faceIndex =
      NearestColorIndex(HalftoneColors().data(), 256, GetRValue(face), GetGValue(face), GetBValue(face));
  EXPECT_EQ(out->ScanLine(0)[0], faceIndex);
  EXPECT_EQ(PixelAt(*out, 1, 0), clLime);
  EXPECT_EQ(PixelAt(*out24, 2, 0), clNavy);
  EXPECT_EQ(PixelAt(*out24, 1, 0), clLime);
  EXPECT_EQ(PixelAt(*out24, 0, 0), clLime);
  // Between two monochrome bitmaps the bits are copied.
  auto mono2 = Solid(3, 1, clWhite);
  mono2->SetMonochrome(true);
  BitBlt(mono2->Canvas()->Handle(), 0, 0, 3, 1, mono->Canvas()->Handle(), 0, 0, SRCCOPY);
  EXPECT_EQ(mono2->ScanLine(0)[0] & 0xE0, 0x80);
}

TEST(BitBlt, MaskPatternAndTransparentTransfers) {
  auto src = Solid(4, 2, clRed);
  auto dst = Solid(4, 2, clBlue);
  TBitmap mask;
  mask.SetPixelFormat(pf1bit);
  mask.SetSize(3, 2);  // white = 1; column 3 lies outside the mask (0)
  mask.Canvas()->SetPixel(1, 0, clBlack);
  mask.Canvas()->SetPixel(0, 1, clBlack);
  const uint32_t keepDest = 0x00AA0029;
  EXPECT_TRUE(MaskBlt(dst->Canvas()->Handle(), 0, 0, 4, 2, src->Canvas()->Handle(), 0, 0, mask.Handle(), 0, 0,
                      MAKEROP4(SRCCOPY, keepDest)));
  const char* expected[2] = {"RBRB", "BRRB"};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(PixelAt(*dst, x, y), expected[y][x] == 'R' ? clRed : clBlue) << x << "," << y;
  // Background operation in the fourth byte, here inverting the target.
  auto dst2 = Solid(2, 1, clBlue);
  MaskBlt(dst2->Canvas()->Handle(), 0, 0, 2, 1, src->Canvas()->Handle(), 0, 0, mask.Handle(), 0, 0,
          MAKEROP4(SRCCOPY, DSTINVERT));
  EXPECT_EQ(PixelAt(*dst2, 0, 0), clRed);
  EXPECT_EQ(PixelAt(*dst2, 1, 0), clYellow);
  auto colourMask = Solid(2, 1, clWhite);
  EXPECT_FALSE(MaskBlt(dst2->Canvas()->Handle(), 0, 0, 2, 1, src->Canvas()->Handle(), 0, 0,
                       colourMask->Handle(), 0, 0, MAKEROP4(SRCCOPY, keepDest)));

  // PatBlt with negative sizes spans the pixels before the position.
  auto pat = Solid(6, 6, clWhite);
  pat->Canvas()->Brush.Color = clGreen;
  HDC dc = pat->Canvas()->Handle();
  EXPECT_TRUE(PatBlt(dc, 5, 5, -3, -2, PATCOPY));
  PatBlt(dc, 0, 0, 1, 1, DSTINVERT);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      TColor want = x >= 2 && x < 5 && y >= 3 && y < 5 ? clGreen : clWhite;
      if (x == 0 && y == 0) want = clBlack;
      EXPECT_EQ(PixelAt(*pat, x, y), want) << x << "," << y;
    }

  // TransparentBlt leaves the pixels of the key colour, also on an indexed
  // target whose indices stay as they were.
  auto sprite = Solid(3, 1, clFuchsia);
  sprite->Canvas()->SetPixel(1, 0, clYellow);
  auto back = Solid(3, 1, clRed, pf8bit);
  std::fill_n(back->ScanLine(0), 3, 249);
  EXPECT_TRUE(TransparentBlt(back->Canvas()->Handle(), 0, 0, 3, 1, sprite->Canvas()->Handle(), 0, 0, 3, 1,
                             clFuchsia));
  EXPECT_EQ(back->ScanLine(0)[0], 249);
  EXPECT_EQ(PixelAt(*back, 1, 0), clYellow);
  EXPECT_EQ(back->ScanLine(0)[2], 249);
}
