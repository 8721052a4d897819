// Colour reduction: the lookups' rules, the palettes of every method, the
// octree quantizer and the ditherers.
#include "gif/gifreduce.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/gif/gifsupport.h"

namespace {

struct Entry {
  int Index, R, G, B;
  bool operator==(const Entry&) const = default;
};

Entry Look(TColorLookup& lookup, int red, int green, int blue) {
  uint8_t r, g, b;
  int index = lookup.Lookup(uint8_t(red), uint8_t(green), uint8_t(blue), r, g, b);
  return {index, r, g, b};
}

std::vector<PALETTEENTRY> Entries(HPALETTE palette) {
  std::vector<PALETTEENTRY> entries(GetPaletteEntries(palette, 0, 0, nullptr));
  GetPaletteEntries(palette, 0, unsigned(entries.size()), entries.data());
  return entries;
}

TEST(GifReduce, LookupsFollowTheirRules) {
  TNetscapeColorLookup web(nullptr);
  EXPECT_EQ(Look(web, 47, 48, 98), (Entry{0 + 6 + 1, 0, 51, 51}));
  EXPECT_EQ(Look(web, 99, 252, 255), (Entry{72 + 30 + 5, 102, 255, 255}));

  TGrayScaleLookup grey(nullptr);
  EXPECT_EQ(Look(grey, 100, 50, 200), (Entry{82, 82, 82, 82}));  // (7700 + 7500 + 5800) shr 8
  // Each channel's weight alone: 77, 150 and 29 of 256.
  EXPECT_EQ(Look(grey, 255, 0, 0).Index, 76);
  EXPECT_EQ(Look(grey, 0, 255, 0).Index, 149);
  EXPECT_EQ(Look(grey, 0, 0, 255).Index, 28);

  TMonochromeLookup mono(nullptr);
  EXPECT_EQ(Look(mono, 0, 192, 128), (Entry{0, 0, 0, 0}));  // exactly 32512
  EXPECT_EQ(Look(mono, 0, 192, 129), (Entry{1, 255, 255, 255}));
  // Sums of all three weights just at and just above the threshold.
  EXPECT_EQ(Look(mono, 1, 194, 115).Index, 0);  // 77 + 29100 + 3335 = 32512
  EXPECT_EQ(Look(mono, 1, 171, 234).Index, 1);  // 77 + 25650 + 6786 = 32513

  // The first entry of a 5-5-5 cell answers for the whole cell, even when a
  // later entry matches exactly; other cells take the nearest by the sum of
  // channel differences, the lowest index of a tie.
  PALETTEENTRY entries[] = {{8, 8, 8, 0}, {9, 9, 9, 0}, {100, 0, 0, 0}, {0, 100, 0, 0}};
  HPALETTE palette = CreatePalette(entries, 4);
  TFastColorLookup fast(palette);
  EXPECT_EQ(Look(fast, 9, 9, 9), (Entry{0, 8, 8, 8}));
  EXPECT_EQ(Look(fast, 70, 10, 0), (Entry{2, 100, 0, 0}));
  EXPECT_EQ(Look(fast, 50, 60, 0).Index, 3);
  EXPECT_EQ(Look(fast, 0, 50, 50).Index, 1);
  DeleteObject(palette);
}

TEST(GifReduce, EveryMethodGivesItsPalette) {
  // An 8-bit result whose colour table holds the method's palette, black to
  // white, then black up to 256 entries; every pixel within the palette.
  const std::pair<TColorReduction, size_t> methods[] = {
      {rmWindows20, 20},  {rmWindows256, 256}, {rmWindowsGray, 4},      {rmMonochrome, 2},
      {rmGrayScale, 256}, {rmNetscape, 216},   {rmQuantizeWindows, 256}};
  auto source = MakeTestBitmap(40, 30);
  for (auto [reduction, entries] : methods) {
    SCOPED_TRACE(int(reduction));
    std::unique_ptr<TBitmap> result = ReduceColors(*source, reduction, dmFloydSteinberg, 8, nullptr);
    ASSERT_EQ(result->PixelFormat(), pf8bit);
    const std::vector<RGBQUAD>& table = result->ColorTable();
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table[0], RGBQUAD{});
    EXPECT_EQ(table[entries - 1], (RGBQUAD{255, 255, 255, 0}));
    EXPECT_EQ(table[std::min<size_t>(entries, 255)], entries < 256 ? RGBQUAD{} : (RGBQUAD{255, 255, 255, 0}));
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) ASSERT_LT(result->ScanLine(y)[x], entries);
  }
  // rmQuantize with 3 bits: at most 8 colours.
  source = MakeNoiseBitmap(50, 50, 7);
  auto result = ReduceColors(*source, rmQuantize, dmNearest, 3, nullptr);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_LT(result->ScanLine(y)[x], 8);

  // rmNone: a 24-bit copy; rmPalette: the palette given, or nothing.
  source->SetPixelFormat(pf32bit);
  result = ReduceColors(*source, rmNone, dmStucki, 8, nullptr);
  EXPECT_EQ(result->PixelFormat(), pf24bit);
  EXPECT_TRUE(SameColors(*result, *source));
  PALETTEENTRY two[] = {{255, 0, 0, 0}, {0, 0, 255, 0}};
  HPALETTE palette = CreatePalette(two, 2);
  result = ReduceColors(*MakeFlatBitmap(1, 1, clBlue), rmPalette, dmNearest, 8, palette);
  EXPECT_EQ(result->ScanLine(0)[0], 1);
  EXPECT_EQ(result->ColorTable()[1], ColorToQuad(clBlue));
  DeleteObject(palette);
  EXPECT_TRUE(ReduceColors(*MakeFlatBitmap(2, 2, clBlue), rmPalette, dmNearest, 8, nullptr)->Empty());
}

// The index a one-pixel picture of the colour is reduced to.
int ReducedIndex(TColorReduction reduction, TColor color) {
  return ReduceColors(*MakeFlatBitmap(1, 1, color), reduction, dmNearest, 8, nullptr)->ScanLine(0)[0];
}

std::vector<RGBQUAD> TableOf(TColorReduction reduction) {
  return ReduceColors(*MakeTestBitmap(4, 4), reduction, dmNearest, 8, nullptr)->ColorTable();
}

std::vector<RGBQUAD> Quads(const std::vector<PALETTEENTRY>& entries) {
  std::vector<RGBQUAD> quads;
  for (const PALETTEENTRY& e : entries) quads.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  return quads;
}

TEST(GifReduce, FixedPalettesHoldEveryEntryAndUseTheirLookups) {
  // Every entry of each fixed palette, as the reduced picture's table
  // shows it (black after the palette's last entry).
  auto greys = [](std::vector<int> levels) {
    std::vector<RGBQUAD> table(256);
    for (size_t i = 0; i < levels.size(); ++i) table[i] = {uint8_t(levels[i]), uint8_t(levels[i]), uint8_t(levels[i]), 0};
    return table;
  };
  EXPECT_EQ(TableOf(rmWindowsGray), greys({0, 128, 192, 255}));
  EXPECT_EQ(TableOf(rmMonochrome), greys({0, 255}));
  std::vector<int> ramp(256);
  for (int i = 0; i < 256; ++i) ramp[size_t(i)] = i;
  EXPECT_EQ(TableOf(rmGrayScale), greys(ramp));
  std::vector<RGBQUAD> web(256);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) web[size_t(36 * r + 6 * g + b)] = {uint8_t(51 * b), uint8_t(51 * g), uint8_t(51 * r), 0};
  EXPECT_EQ(TableOf(rmNetscape), web);
  HPALETTE palette = WebPalette();
  std::vector<PALETTEENTRY> entries = Entries(palette);
  DeleteObject(palette);
  ASSERT_EQ(entries.size(), 216u);
  EXPECT_EQ(Quads(entries), std::vector<RGBQUAD>(web.begin(), web.begin() + 216));
  for (const PALETTEENTRY& e : entries) ASSERT_EQ(e.peFlags, 0);
  // The system's palettes: the 20 default colours and the halftone one.
  std::vector<RGBQUAD> system = Quads(Entries(DefaultPalette()));
  ASSERT_EQ(system.size(), 20u);
  system.resize(256);
  EXPECT_EQ(TableOf(rmWindows20), system);
  palette = CreateHalftonePalette();
  EXPECT_EQ(TableOf(rmWindows256), Quads(Entries(palette)));
  DeleteObject(palette);
  // Fitted between the system colours: ten first, ten last.
  std::vector<RGBQUAD> fitted = TableOf(rmQuantizeWindows);
  EXPECT_TRUE(std::equal(system.begin(), system.begin() + 10, fitted.begin()));
  EXPECT_TRUE(std::equal(system.begin() + 10, system.begin() + 20, fitted.begin() + 246));

  // Each method's lookup: luminance for black and white (magenta is nearer
  // to white by channel sums), 77-150-29 greys, web levels rounding at
  // c + 3 (26 is nearer to 51), the nearest entry by channel sums for the
  // others.
  EXPECT_EQ(ReducedIndex(rmMonochrome, RGB(255, 0, 255)), 0);
  EXPECT_EQ(ReducedIndex(rmGrayScale, RGB(255, 0, 0)), 76);
  EXPECT_EQ(ReducedIndex(rmNetscape, RGB(26, 26, 26)), 0);
  EXPECT_EQ(ReducedIndex(rmWindowsGray, RGB(100, 100, 100)), 1);
  EXPECT_EQ(ReducedIndex(rmWindowsGray, RGB(170, 200, 180)), 2);
}

TEST(GifReduce, QuantizerKeepsFewColoursExactlyAndMergesTheNewestFirst) {
  // 256 colours in distinct 5-5-5 cells come back exactly.
  std::vector<TColor> colors;
  for (int i = 0; i < 256; ++i) colors.push_back(RGB((i & 7) * 32 + i % 5, (i >> 3 & 7) * 32 + 3, (i >> 6) * 64 + 7));
  auto source = MakeColorBitmap(16, colors);
  auto result = ReduceColors(*source, rmQuantize, dmFloydSteinberg, 8, nullptr);
  EXPECT_TRUE(SameColors(*result, *source));

  // Of two equally deep pairs the pair made last is merged.
  TColorQuantizer quantizer(3, 8);
  for (TColor c : {RGB(0, 0, 0), RGB(0, 0, 1), RGB(255, 255, 254), RGB(255, 255, 255)})
    quantizer.AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
  EXPECT_EQ(quantizer.LeafCount(), 4);
  // ProcessImage prunes after each pixel; here pruning is left to a
  // one-pixel picture of a colour already present.
  auto pixel = MakeFlatBitmap(1, 1, RGB(0, 0, 0));
  quantizer.ProcessImage(TDIBReader(*pixel, pf24bit));
  std::vector<RGBQUAD> table = quantizer.ColorTable();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(QuadToColor(table[0]), RGB(0, 0, 0));
  EXPECT_EQ(QuadToColor(table[1]), RGB(0, 0, 1));
  EXPECT_EQ(QuadToColor(table[2]), RGB(255, 255, 254));

  // The channel sums of a large picture do not overflow.
  TColorQuantizer big(2, 8);
  for (int i = 0; i < 9'000'000; ++i) big.AddColor(255, 254, 253);
  EXPECT_EQ(QuadToColor(big.ColorTable().at(0)), RGB(255, 254, 253));

  // The palette with the system colours: ten, 236 fitted, ten.
  HPALETTE palette = CreateOptimizedPaletteFromManyBitmaps({source.get()}, 256, 8, true);
  std::vector<PALETTEENTRY> entries = Entries(palette);
  ASSERT_EQ(entries.size(), 256u);
  EXPECT_EQ(entries[1], (PALETTEENTRY{128, 0, 0, 0}));
  DeleteObject(palette);
  EXPECT_EQ(RaisedMessage<GIFException>([] { CreateOptimizedPaletteFromManyBitmaps({}, 16, 8, false); }),
            sInvalidBitmapList);
}

// Answers black for everything and notes what it was asked.
class TRecordingLookup : public TColorLookup {
 public:
  TRecordingLookup() : TColorLookup(nullptr) { FColors = 1; }
  uint8_t Lookup(uint8_t red, uint8_t, uint8_t, uint8_t& r, uint8_t& g, uint8_t& b) override {
    Asked.push_back(red);
    r = g = b = 0;
    return 0;
  }
  std::vector<int> Asked;
};

TEST(GifDither, FloydSteinbergSpreadsEachErrorOnceToItsNeighbours) {
  // A 3 x 3 grey 40 picture mapped to black: the values the lookup sees
  // follow the textbook kernel walked serpentine.
  TRecordingLookup lookup;
  TFloydSteinbergDitherer ditherer(3, lookup);
  for (int y = 0; y < 3; ++y) {
    uint8_t r, g, b;
    while (ditherer.Column() >= 0 && ditherer.Column() < 3) ditherer.Dither(40, 40, 40, r, g, b);
    ditherer.NextLine();
  }
  EXPECT_EQ(lookup.Asked, std::vector<int>({40, 58, 65, 64, 101, 108, 80, 131, 136}));
}

// Gives back every colour as it is (no error), but for the two impulse
// greys: 150 becomes 50 (an error of +100), 60 becomes 160 (-100).
class TImpulseLookup : public TColorLookup {
 public:
  TImpulseLookup() : TColorLookup(nullptr) { FColors = 256; }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override {
    r = red == 150 ? 50 : red == 60 ? 160 : red;
    g = green == 150 ? 50 : green == 60 ? 160 : green;
    b = blue == 150 ? 50 : blue == 60 ? 160 : blue;
    return 0;
  }
};

// One share of a kernel as the error-diffusion table gives it: weight for
// the pixel rows below and offset ahead in the walking direction.
struct Share {
  int Row, Offset, Weight;
};
struct Kernel {
  TDitherMode Mode;
  int Divisor;
  std::vector<Share> Shares;
};

// The dithered picture (red channel) of a 9 x 6 grey-100 picture with one
// impulse pixel of the given grey at (x, y); every other pixel is mapped
// without error, so each shows only the share it got of the impulse's.
std::vector<std::vector<int>> Dithered(TDitherMode mode, int x0, int y0, int impulse) {
  TImpulseLookup lookup;
  std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(mode, 9, lookup);
  std::vector<std::vector<int>> out(6, std::vector<int>(9, -1));
  for (int y = 0; y < 6; ++y) {
    for (int x = ditherer->Column(); x >= 0 && x < 9; x = ditherer->Column()) {
      uint8_t v = x == x0 && y == y0 ? uint8_t(impulse) : 100, r, g, b;
      ditherer->Dither(v, v, v, r, g, b);
      EXPECT_TRUE(r == g && g == b);
      out[size_t(y)][size_t(x)] = r;
    }
    ditherer->NextLine();
  }
  return out;
}

TEST(GifDither, EveryKernelSpreadsEachShareToItsPixel) {
  const Kernel kernels[] = {
      {dmFloydSteinberg, 16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}},
      {dmStucki, 42, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
                      {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}},
      {dmSierra, 32, {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
                      {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}},
      {dmJaJuNI, 48, {{0, 1, 7}, {0, 2, 5}, {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
                      {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}},
      {dmSteveArche, 200, {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, -2, 12}, {2, 0, 26},
                           {2, 2, 12}, {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}},
      {dmBurkes, 32, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}},
  };
  for (const Kernel& kernel : kernels) {
    // An error of +100 on a row walked left to right, and of -100 on one
    // walked right to left (shares mirrored, division toward zero).
    for (auto [y0, impulse, error, direction] : {std::tuple{0, 150, 100, 1}, std::tuple{1, 60, -100, -1}}) {
      SCOPED_TRACE("mode " + std::to_string(kernel.Mode) + " row " + std::to_string(y0));
      std::vector<std::vector<int>> expected(6, std::vector<int>(9, 100));
      expected[size_t(y0)][4] = impulse == 150 ? 50 : 160;
      for (const Share& share : kernel.Shares)
        expected[size_t(y0 + share.Row)][size_t(4 + share.Offset * direction)] =
            100 + (share.Weight * error + kernel.Divisor / 2) / kernel.Divisor;
      EXPECT_EQ(Dithered(kernel.Mode, 4, y0, impulse), expected);
    }
  }
  // Nearest colour spreads nothing.
  std::vector<std::vector<int>> nearest(6, std::vector<int>(9, 100));
  nearest[0][4] = 50;
  EXPECT_EQ(Dithered(dmNearest, 4, 0, 150), nearest);
}

TEST(GifDither, DitherersKeepTheMeanOfAGradient) {
  // Four greys over a ramp: nearest colour leaves bands whose 8 x 8 block
  // means miss the ramp's; every ditherer keeps them close.
  std::vector<TColor> ramp;
  for (int i = 0; i < 256 * 8; ++i) ramp.push_back(RGB(i % 256, i % 256, i % 256));
  auto source = MakeColorBitmap(256, ramp);
  auto blockError = [&](TDitherMode mode) {
    auto reduced = ReduceColors(*source, rmWindowsGray, mode, 8, nullptr);
    double total = 0;
    for (int bx = 0; bx < 256; bx += 8) {
      int difference = 0;
      for (int i = 0; i < 64; ++i) difference += GetRValue(PixelAt(*reduced, bx + i % 8, i / 8)) - (bx + i % 8);
      total += std::abs(difference) / 64.0;
    }
    return total / 32;
  };
  const double nearest = blockError(dmNearest);
  EXPECT_GT(nearest, 10);
  for (TDitherMode mode : {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes})
    EXPECT_LT(blockError(mode), nearest / 5) << int(mode);
}

TEST(GifDither, ExactPalettesAndNarrowPicturesNeedNoDiffusion) {
  // Every colour in the palette: all ditherers agree with nearest colour.
  auto source = MakeColorBitmap(7, {clRed, clLime, clBlue, clWhite, clBlack, clYellow, clAqua, clFuchsia, clRed, clBlue,
                                    clBlack, clWhite, clLime, clAqua});
  auto nearest = ReduceColors(*source, rmNetscape, dmNearest, 8, nullptr);
  for (int mode = dmFloydSteinberg; mode <= dmBurkes; ++mode) {
    EXPECT_TRUE(SameColors(*ReduceColors(*source, rmNetscape, TDitherMode(mode), 8, nullptr), *nearest)) << mode;
    // A picture one pixel wide keeps its errors in the margins.
    auto column = MakeNoiseBitmap(1, 9, unsigned(mode));
    EXPECT_EQ(ReduceColors(*column, rmMonochrome, TDitherMode(mode), 8, nullptr)->Height(), 9);
  }
}

}  // namespace
