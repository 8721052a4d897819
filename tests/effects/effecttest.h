// Helpers shared by the effect tests. On a MakeTestBitmap picture (blue = x,
// green = y) a pixel that an effect only moves names its source, so
// PixelTable(picture, 2) lists where every pixel came from.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

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
