#include "effects/colorpoint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "effects/effectbase.h"

namespace {

using TChannelTable = std::array<uint8_t, 256>;

// Replaces every channel value by its entry in that channel's table. Every
// pixel effect here changes a pixel from its own value alone, so all of them
// run in row bands on every core.
void MapChannels(TBitmap& picture, const TChannelTable& blue, const TChannelTable& green,
                 const TChannelTable& red) {
  ForEachPixelInBands(picture, [&](uint8_t* pixel) {
    pixel[0] = blue[pixel[0]];
    pixel[1] = green[pixel[1]];
    pixel[2] = red[pixel[2]];
  });
}
void MapChannels(TBitmap& picture, const TChannelTable& table) { MapChannels(picture, table, table, table); }

// The table of f(v) for v = 0..255: the effects whose result depends on the
// channel value alone evaluate their formula once per value.
template <typename F>
TChannelTable MakeTable(F f) {
  TChannelTable table;
  for (int v = 0; v < 256; ++v) table[v] = f(v);
  return table;
}

int ChannelMean(const uint8_t* pixel) { return (pixel[0] + pixel[1] + pixel[2]) / 3; }

void SetGrey(uint8_t* pixel, uint8_t grey) { pixel[0] = pixel[1] = pixel[2] = grey; }
void InvertPixel(uint8_t* pixel) {
  for (int i = 0; i < 3; ++i) pixel[i] = uint8_t(255 - pixel[i]);
}

// The ordered-dither thresholds, indexed by row mod 8 and column mod 8.
const uint8_t HalftoneBayerMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
};

}  // namespace

void ApplyContrast(TBitmap& picture, int percent) {
  if (NoPixels(picture)) return;
  MapChannels(picture,
              MakeTable([percent](int c) { return ClampByte64(128 + int64_t(c - 128) * percent / 100); }));
}

void ApplyContrastAuto(TBitmap& picture) {
  if (NoPixels(picture)) return;
  // The ranges are measured over the whole picture before any pixel changes:
  // first which values occur in each channel (each band marks its own table,
  // and the tables are joined), then the lowest and highest.
  bool occurs[3][256] = {};
  const int width = picture.Width();
  const auto rows = RowPointers(std::as_const(picture));
  std::mutex joining;
  ForEachBand(picture.Height(), width, [&](int first, int last) {
    bool seen[3][256] = {};
    for (int y = first; y < last; ++y)
      for (const uint8_t* pixel = rows[y]; pixel < rows[y] + 3 * width; pixel += 3)
        for (int i = 0; i < 3; ++i) seen[i][pixel[i]] = true;
    std::lock_guard<std::mutex> hold(joining);
    for (int i = 0; i < 3; ++i)
      for (int v = 0; v < 256; ++v) occurs[i][v] = occurs[i][v] || seen[i][v];
  });
  TChannelTable tables[3];
  for (int i = 0; i < 3; ++i) {
    int min = 0, max = 255;
    while (!occurs[i][min]) ++min;
    while (!occurs[i][max]) --max;
    int span = max - min;
    tables[i] = MakeTable([min, span](int v) { return uint8_t(span > 0 ? (v - min) * 255 / span : v); });
  }
  MapChannels(picture, tables[0], tables[1], tables[2]);
}

void ApplyGamma(TBitmap& picture, int value) {
  if (NoPixels(picture)) return;
  double gamma = (value + 2.0) * 0.1;
  double exponent = FDiv(1.0, gamma);
  MapChannels(picture, MakeTable([exponent](int c) {
                return ClampByte(TruncInt(std::pow(c * (1.0 / 255), exponent) * 255 + 0.5));
              }));
}

void ApplyGreyscale(TBitmap& picture) {
  if (NoPixels(picture)) return;
  ForEachPixelInBands(picture, [](uint8_t* pixel) {
    SetGrey(pixel, uint8_t((77 * pixel[2] + 150 * pixel[1] + 29 * pixel[0] + 128) >> 8));
  });
}

void ApplyHalftone(TBitmap& picture) {
  if (NoPixels(picture)) return;
  const int width = picture.Width();
  const auto rows = RowPointers(picture);
  ForEachRowInBands(picture.Height(), width, [&](int y) {
    uint8_t* pixel = rows[y];
    const uint8_t* matrixRow = HalftoneBayerMatrix[y % 8];
    for (int x = 0; x < width; ++x, pixel += 3)
      SetGrey(pixel, matrixRow[x % 8] < (WeightedGrey(pixel) >> 2) ? 255 : 0);
  });
}

void ApplyInverse(TBitmap& picture) {
  if (NoPixels(picture)) return;
  ForEachPixelInBands(picture, [](uint8_t* pixel) { InvertPixel(pixel); });
}

void ApplyLightness(TBitmap& picture, int amount) {
  if (NoPixels(picture)) return;
  MapChannels(picture,
              MakeTable([amount](int c) { return ClampByte64(c + int64_t(255 - c) * amount / 255); }));
}

void ApplyMonochrome(TBitmap& picture) {
  if (NoPixels(picture)) return;
  ForEachPixelInBands(picture, [](uint8_t* pixel) { SetGrey(pixel, uint8_t(ChannelMean(pixel))); });
}

void ApplyPosterized(TBitmap& picture, int step) {
  if (NoPixels(picture)) return;
  MapChannels(picture, MakeTable([step](int c) { return uint8_t(IDiv(c, step) * step); }));
}

void ApplySaturation(TBitmap& picture, int amount) {
  if (NoPixels(picture)) return;
  // The result for every mean (row of 256) and channel value.
  std::vector<uint8_t> table(256 * 256);
  for (int mean = 0; mean < 256; ++mean)
    for (int c = 0; c < 256; ++c)
      table[mean * 256 + c] = ClampByte64(mean + int64_t(c - mean) * amount / 255);
  ForEachPixelInBands(picture, [&table](uint8_t* pixel) {
    const uint8_t* row = &table[ChannelMean(pixel) * 256];
    for (int i = 0; i < 3; ++i) pixel[i] = row[pixel[i]];
  });
}

void ApplySepia(TBitmap& picture, int depth) {
  if (NoPixels(picture)) return;
  ForEachPixelInBands(picture, [depth](uint8_t* pixel) {
    int grey = ChannelMean(pixel);
    pixel[0] = uint8_t(grey);
    pixel[1] = ClampByte64(grey + int64_t(depth));
    pixel[2] = ClampByte64(grey + 2 * int64_t(depth));
  });
}

void ApplySolorized(TBitmap& picture, int threshold) {
  if (NoPixels(picture)) return;
  ForEachPixelInBands(picture, [threshold](uint8_t* pixel) {
    if (ChannelMean(pixel) > threshold) InvertPixel(pixel);
  });
}

void ApplySplitLight(TBitmap& picture, int passes) {
  if (NoPixels(picture) || passes <= 0) return;
  constexpr float halfPi = 1.57079632679489661923f;
  TChannelTable pass =
      MakeTable([](int c) { return ClampByte(TruncInt(std::sin(c * (1.0 / 255) * halfPi) * 255)); });
  // All passes composed into one table; once a pass changes no entry, the
  // remaining ones change nothing either.
  TChannelTable table = MakeTable([](int c) { return uint8_t(c); });
  for (int i = 0; i < passes; ++i) {
    TChannelTable next = MakeTable([&](int c) { return pass[table[c]]; });
    if (next == table) break;
    table = next;
  }
  MapChannels(picture, table);
}

void ApplyThreshold(TBitmap& picture, int level) {
  if (NoPixels(picture)) return;
  level = ClampChannel(level);
  ForEachPixelInBands(picture,
               [level](uint8_t* pixel) { SetGrey(pixel, uint8_t(WeightedGrey(pixel)) > level ? 255 : 0); });
}

void ApplyRGB(TBitmap& picture, int red, int green, int blue) {
  if (NoPixels(picture)) return;
  auto offsetTable = [](int offset) {
    return MakeTable([offset](int c) { return ClampByte64(c + int64_t(offset)); });
  };
  MapChannels(picture, offsetTable(blue), offsetTable(green), offsetTable(red));
}
