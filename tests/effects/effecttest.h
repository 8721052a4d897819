// Helpers shared by the effect tests. On a MakeTestBitmap picture (blue = x,
// green = y) a pixel that an effect only moves names its source, so
// PixelTable(picture, 2) lists where every pixel came from.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"

using Effect = std::function<void(TBitmap&)>;

// Blue 10 + 40x, green 20 + 45y, red 250 - 25(x + y): blends of neighbours
// show in every channel.
std::unique_ptr<TBitmap> MakeSpreadBitmap(int width, int height);

// The blue and green bytes of a MakeTestBitmap picture after the effect.
std::string SourcesAfter(int width, int height, const Effect& effect);

// True when the effect leaves a MakeTestBitmap picture as it was.
bool LeavesUnchanged(int width, int height, const Effect& effect);

// The effect raises Error before it changes any pixel.
template <typename Error>
void ExpectRefused(int width, int height, const Effect& effect) {
  auto picture = MakeTestBitmap(width, height);
  EXPECT_THROW(effect(*picture), Error);
  EXPECT_TRUE(SameColors(*picture, *MakeTestBitmap(width, height)));
}

// Red, green and blue of one pixel, in that order.
using TRGB = std::array<int, 3>;

// A picture's colours as red, green, blue values, row by row.
struct TPixels {
  int Width = 0, Height = 0;
  std::vector<TRGB> Colors;
  TRGB& operator()(int x, int y) { return Colors[static_cast<size_t>(y) * Width + x]; }
};
TPixels ReadPixels(TBitmap& picture);

// A picture whose every pixel has three different channel values, and whose
// first 512 pixels take every value 0..255 in every channel: a swapped,
// dropped or mis-weighted channel shows in the result of any colour effect.
std::unique_ptr<TBitmap> MakeChannelBitmap(int width, int height);

// What a picture becomes, worked out on its colours in place; EachPixel makes
// one from the rule for a single pixel.
using PictureRule = std::function<void(TPixels&)>;
PictureRule EachPixel(const std::function<TRGB(const TRGB&)>& rule);

// The effect on the picture gives, at every pixel, what the rule gives for
// the picture before; the first pixel that differs is named.
testing::AssertionResult GivesPixels(const Effect& effect, std::unique_ptr<TBitmap> picture,
                                     const PictureRule& rule);
