#include "effects/tile.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numbers>
#include <utility>
#include <vector>

#include "effects/effectbase.h"
#include "effects/random.h"
#include "effects/resample.h"

namespace {

using std::numbers::pi;

// How many pixels ahead Tile reflection asks for the memory of its samples.
constexpr int kPrefetchAhead = 4;

// Source indices of one glass-tile axis of the given length. 64-bit
// counters: the origin grows by the tile size and must not overflow for any
// tile size.
std::vector<int> GlassIndices(int tile, int length) {
  const int64_t half = tile / 2, rem = tile % 2;
  int64_t c = 0, origin = 0;
  std::vector<int> indices(length);
  for (int& index : indices) {
    index = static_cast<int>(std::clamp<int64_t>(2 * c + origin, 0, length - 1));
    if (++c == half) {
      origin += tile;
      c = -(half + rem);
    }
  }
  return indices;
}

// Offset sequences of the ripple; the offset is a byte, as is every value
// it is given.
class TRippleOffset {
 public:
  TRippleOffset(int value, int type) : FValue(value), FType(type) {}
  uint8_t Value() const { return FOffset; }
  void Advance() {
    if (FType == 0) {
      FOffset = static_cast<uint8_t>(FOffset + 1);
      if (FOffset > FValue) FOffset = 0;
    } else if (FType == 1 && FRising) {
      FOffset = static_cast<uint8_t>(FOffset + 1);
      if (FOffset > FValue) {
        FRising = false;
        FOffset = static_cast<uint8_t>(FValue - 1);
      }
    } else if (FType == 1) {
      if (FOffset == 0) {
        FRising = true;
        FOffset = 1;
      } else {
        --FOffset;
      }
    } else {
      FOffset = static_cast<uint8_t>(EffectRandom::lrand() % FValue);
    }
  }

 private:
  int FValue, FType;
  uint8_t FOffset = 0;
  bool FRising = true;
};

}  // namespace

void ApplyGlasstile(TBitmap& picture, int tileWidth, int tileHeight) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const std::vector<int> columns = GlassIndices(tileWidth, w), rows = GlassIndices(tileHeight, h);
  auto copy = CopyPicture(picture);
  const auto targets = RowPointers(picture);
  const auto sources = RowPointers(std::as_const(*copy));
  ForEachRowInBands(h, w, [&](int y) {
    const uint8_t* source = sources[rows[y]];
    for (int x = 0; x < w; ++x) CopyPixel(targets[y] + 3 * x, source + 3 * columns[x]);
  });
}

void ApplyTile(TBitmap& picture, int count) {
  if (NoPixels(picture) || count <= 0) return;
  const int tileWidth = picture.Width() / count, tileHeight = picture.Height() / count;
  if (tileWidth < 5 || tileHeight < 5) return;
  auto tile = NewPicture(tileWidth, tileHeight);
  StretchBicubic(*tile, picture);
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count; ++j) picture.Canvas()->Draw(j * tileWidth, i * tileHeight, tile.get());
}

void ApplyTileReflection(TBitmap& picture, int angle, int squareSize, int curvature) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const long double turn =
      std::clamp<int64_t>(int64_t(angle) - 45, -45, 45) * std::numbers::pi_v<long double> * (1.0L / 180);
  const double sn = static_cast<double>(std::sin(turn)), cs = static_cast<double>(std::cos(turn));
  const double scale = pi / std::clamp(squareSize, 2, 200);
  int cv = static_cast<int>(std::clamp<int64_t>(int64_t(curvature) - 20, -20, 20));
  if (cv == 0) cv = 1;
  const double bend = cv * cv * 0.1 * (std::abs(cv) / cv);

  constexpr int samples = 17;
  float ox[samples], oy[samples];
  for (int i = 0; i < samples; ++i) {
    double f = 4 * i / 17.0;
    double fx = f - std::trunc(f), fy = i / 17.0;
    ox[i] = static_cast<float>(cs * fx + sn * fy);
    oy[i] = static_cast<float>(cs * fy - sn * fx);
  }

  // In place: samples above or to the left read this pass's results, so the
  // pixels are read and written in their order on one thread. Where each
  // pixel samples does not depend on any pixel: that is worked out
  // beforehand in row bands, a block of rows at a time, from the products
  // each column and each row share (the same doubles the rotation of every
  // sample takes).
  struct TSample {
    int X, Y;
  };
  std::vector<double> columnCs(static_cast<size_t>(w) * samples), columnSn(columnCs.size());
  for (int x = 0; x < w; ++x)
    for (int i = 0; i < samples; ++i) {
      const double u = x - w * 0.5 + ox[i];
      columnCs[static_cast<size_t>(x) * samples + i] = cs * u;
      columnSn[static_cast<size_t>(x) * samples + i] = sn * u;
    }
  // Blocks of about 2^18 pixels (35 MB of positions): few enough that
  // starting the threads for each costs little.
  const int blockRows = std::max(1, (1 << 18) / w);
  std::vector<TSample> positions(static_cast<size_t>(std::min(blockRows, h)) * w * samples);
  const std::vector<uint8_t*> rows = RowPointers(picture);
  for (int y0 = 0; y0 < h; y0 += blockRows) {
    const int y1 = std::min(h, y0 + blockRows);
    ForEachRowInBands(y1 - y0, int64_t(w) * samples, [&](int band) {
      const double dy = y0 + band - h * 0.5;
      double rowSn[samples], rowCs[samples];
      for (int i = 0; i < samples; ++i) {
        const double v = dy - oy[i];
        rowSn[i] = sn * v;
        rowCs[i] = cs * v;
      }
      TSample* out = &positions[static_cast<size_t>(band) * w * samples];
      for (int x = 0; x < w; ++x) {
        const double* us = &columnSn[static_cast<size_t>(x) * samples];
        const double* uc = &columnCs[static_cast<size_t>(x) * samples];
        for (int i = 0; i < samples; ++i, ++out) {
          // p = cs u + sn v and q = -sn u + cs v.
          double p = uc[i] + rowSn[i], q = -us[i] + rowCs[i];
          p = std::tan(p * scale) * bend + p;
          q = std::tan(q * scale) * bend + q;
          double su = cs * p - sn * q, sv = sn * p + cs * q;
          out->X = std::clamp(TruncInt(w * 0.5 + su), 0, w - 1);
          out->Y = std::clamp(TruncInt(h * 0.5 + sv), 0, h - 1);
        }
      }
    });
    const TSample* sample = positions.data();
    const size_t count = static_cast<size_t>(y1 - y0) * w * samples;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < w; ++x) {
        // The samples lie anywhere in the picture: asking for those of a
        // pixel further on now keeps the memory busy while this one is
        // summed.
        const size_t at = static_cast<size_t>(sample - positions.data()) + kPrefetchAhead * samples;
        for (size_t i = at; i < std::min(at + samples, count); ++i)
          __builtin_prefetch(rows[positions[i].Y] + 3 * positions[i].X);
        int sum[3] = {0, 0, 0};
        for (int i = 0; i < samples; ++i, ++sample) {
          const uint8_t* source = rows[sample->Y] + 3 * sample->X;
          for (int c = 0; c < 3; ++c) sum[c] += source[c];
        }
        for (int c = 0; c < 3; ++c) rows[y][3 * x + c] = ClampByte(sum[c] / samples);
      }
  }
}

// Block copies of rows and columns: memory-bound, on one thread.
void ApplyShake(TBitmap& picture, int value, int direction) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int side = direction == 0 ? w : h;
  const double shift = std::floor(static_cast<double>(value * 0.01L * side));
  if (shift <= 0 || shift > side / 2) return;
  const int s = static_cast<int>(shift);
  auto copy = CopyPicture(picture);
  if (direction == 0) {
    // Even rows move left, odd rows right.
    for (int y = 0; y < h; ++y) {
      uint8_t* row = picture.ScanLine(y);
      const uint8_t* source = copy->ScanLine(y);
      const size_t bytes = 3 * static_cast<size_t>(w - s);
      if (y % 2 == 0)
        std::memcpy(row, source + 3 * s, bytes);
      else
        std::memcpy(row + 3 * s, source, bytes);
    }
    return;
  }
  // Even columns move up, odd columns down.
  for (int y = s; y < h; ++y) {
    uint8_t* row = picture.ScanLine(y - s);
    const uint8_t* source = copy->ScanLine(y);
    for (int x = 0; x < w; x += 2) CopyPixel(row + 3 * x, source + 3 * x);
  }
  for (int y = h - 1 - s; y >= 0; --y) {
    uint8_t* row = picture.ScanLine(y + s);
    const uint8_t* source = copy->ScanLine(y);
    for (int x = 1; x < w; x += 2) CopyPixel(row + 3 * x, source + 3 * x);
  }
}

void ApplyRipple(TBitmap& picture, int value, int type) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  value = std::min(value, h / 2);
  if (value <= 0) return;
  // Source rows run upward and write only into themselves and the rows below,
  // so every pixel is read before a write reaches it; the rows keep that
  // order on one thread (and the random type draws from one generator).
  const std::vector<uint8_t*> rows = RowPointers(picture);
  for (int y = h - 1 - value; y >= 1; --y) {
    if (type == 2) EffectRandom::srand(static_cast<uint32_t>(std::time(nullptr)));
    TRippleOffset offset(value, type);
    for (int x = 0; x < w; ++x) {
      if (offset.Value()) CopyPixel(rows[y + offset.Value()] + 3 * x, rows[y] + 3 * x);
      offset.Advance();
    }
  }
}
