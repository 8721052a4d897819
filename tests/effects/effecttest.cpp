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

TPixels ReadPixels(TBitmap& picture) {
  TPixels pixels{picture.Width(), picture.Height(), {}};
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const uint8_t* p = picture.ScanLine(y) + 3 * x;
      pixels.Colors.push_back({p[2], p[1], p[0]});
    }
  return pixels;
}

std::unique_ptr<TBitmap> MakeChannelBitmap(int width, int height) {
  auto picture = MakeTestBitmap(width, height);
  uint32_t state = 12345;
  auto next = [&state] { return static_cast<int>((state = state * 1103515245u + 12345u) >> 16 & 0xFF); };
  for (int i = 0; i < width * height; ++i) {
    const int v = i & 0xFF;
    TRGB c;
    if (i < 256)
      c = {v, (v + 85) & 0xFF, (v + 170) & 0xFF};
    else if (i < 512)
      c = {v, 255 - v, (3 * v + 1) & 0xFF};  // never two alike (by parity, and 4v is never 254 mod 256)
    else
      do c = {next(), next(), next()};
      while (c[0] == c[1] || c[1] == c[2] || c[0] == c[2]);
    uint8_t* p = picture->ScanLine(i / width) + 3 * (i % width);
    p[0] = static_cast<uint8_t>(c[2]);
    p[1] = static_cast<uint8_t>(c[1]);
    p[2] = static_cast<uint8_t>(c[0]);
  }
  return picture;
}

PictureRule EachPixel(const std::function<TRGB(const TRGB&)>& rule) {
  return [rule](TPixels& pixels) {
    for (TRGB& c : pixels.Colors) c = rule(c);
  };
}

testing::AssertionResult GivesPixels(const Effect& effect, std::unique_ptr<TBitmap> picture,
                                     const PictureRule& rule) {
  TPixels expected = ReadPixels(*picture);
  rule(expected);
  effect(*picture);
  const TPixels got = ReadPixels(*picture);
  if (got.Width != expected.Width || got.Height != expected.Height)
    return testing::AssertionFailure() << "size " << got.Width << "x" << got.Height;
  auto text = [](const TRGB& c) {
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
  };
  for (size_t i = 0; i < got.Colors.size(); ++i)
    if (got.Colors[i] != expected.Colors[i])
      return testing::AssertionFailure() << "pixel (" << i % got.Width << ", " << i / got.Width
                                         << ") is red, green, blue " << text(got.Colors[i]) << ", not "
                                         << text(expected.Colors[i]);
  return testing::AssertionSuccess();
}
