#include "tests/effects/effecttest.h"

std::unique_ptr<TBitmap> MakeSpreadBitmap(int width, int height) {
  auto picture = MakeTestBitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture->Canvas()->SetPixel(x, y, RGB(250 - 25 * (x + y), 20 + 45 * y, 10 + 40 * x));
  return picture;
}

std::string SourcesAfter(int width, int height, const Effect& effect) {
  auto picture = MakeTestBitmap(width, height);
  effect(*picture);
  return PixelTable(*picture, 2);
}

bool LeavesUnchanged(int width, int height, const Effect& effect) {
  auto picture = MakeTestBitmap(width, height);
  effect(*picture);
  return SameColors(*picture, *MakeTestBitmap(width, height));
}
