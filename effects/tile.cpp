#include "effects/tile.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numbers>
#include <optional>
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

  // In place: samples before a pixel (above it, or to its left) read this
  // pass's results, the others the picture as it was. So the pixels are
  // finished in their order on one thread; all else is prepared ahead, a
  // block of pixels at a time, on the others: where each pixel samples, the
  // sum of its samples at or after it, which nothing has changed yet, and
  // where the ones before it lie.
  // The places of the samples before a pixel, as offsets from the top row
  // (a picture stays within 1 GiB).
  static_assert(MaxBitmapBytes <= UINT32_MAX);
  struct TPixelWork {
    int Later[3];  // the sum of the samples at or after the pixel
    int Earlier;   // how many lie before it
    uint32_t Before[samples];
  };
  const std::vector<uint8_t*> rows = RowPointers(picture);
  const uint8_t* const top = rows[0];
  // Pixels first..last-1, in runs of at most a chunk within a row: first
  // every sample of the run, as its place in the picture and whether it lies
  // at or after its pixel; then the sums, asking for the memory of a few
  // pixels ahead.
  constexpr int chunk = 128;
  const auto prepare = [&](int64_t first, int64_t last, TPixelWork* out) {
    uint32_t where[chunk * samples];
    bool later[chunk * samples];
    for (int64_t at = first; at < last;) {
      const int y = static_cast<int>(at / w), x0 = static_cast<int>(at % w);
      const int x1 = static_cast<int>(std::min<int64_t>({last - int64_t(y) * w, int64_t(w), int64_t(x0) + chunk}));
      const double dy = y - h * 0.5;
      double rowSn[samples], rowCs[samples];
      for (int i = 0; i < samples; ++i) {
        const double v = dy - oy[i];
        rowSn[i] = sn * v;
        rowCs[i] = cs * v;
      }
      for (int x = x0, n = 0; x < x1; ++x) {
        const int64_t self = int64_t(y) * w + x;
        for (int i = 0; i < samples; ++i, ++n) {
          // p = cs u + sn v and q = -sn u + cs v.
          const double u = x - w * 0.5 + ox[i];
          double p = cs * u + rowSn[i], q = -(sn * u) + rowCs[i];
          p = std::tan(p * scale) * bend + p;
          q = std::tan(q * scale) * bend + q;
          double su = cs * p - sn * q, sv = sn * p + cs * q;
          const int sx = std::clamp(TruncInt(w * 0.5 + su), 0, w - 1);
          const int sy = std::clamp(TruncInt(h * 0.5 + sv), 0, h - 1);
          where[n] = static_cast<uint32_t>(rows[sy] + 3 * sx - top);
          later[n] = int64_t(sy) * w + sx >= self;
        }
      }
      const int count = x1 - x0;
      for (int k = 0, n = 0; k < count; ++k, ++out) {
        if (k + kPrefetchAhead < count)
          for (int i = 0, ahead = (k + kPrefetchAhead) * samples; i < samples; ++i)
            if (later[ahead + i]) __builtin_prefetch(top + where[ahead + i]);
        int sum[3] = {0, 0, 0}, earlier = 0;
        for (int i = 0; i < samples; ++i, ++n) {
          if (later[n]) {
            for (int c = 0; c < 3; ++c) sum[c] += top[where[n] + c];
          } else {
            out->Before[earlier++] = where[n];
          }
        }
        for (int c = 0; c < 3; ++c) out->Later[c] = sum[c];
        out->Earlier = earlier;
      }
      at += count;
    }
  };
  const auto finish = [&](int64_t first, int64_t last, const TPixelWork* pixel) {
    const TPixelWork* end = pixel + (last - first);
    int y = static_cast<int>(first / w), x = static_cast<int>(first % w);
    for (; pixel < end; ++pixel) {
      // The samples lie anywhere in the picture: asking for those of a
      // pixel further on now keeps the memory busy while this one is
      // summed.
      if (pixel + kPrefetchAhead < end)
        for (int i = 0; i < pixel[kPrefetchAhead].Earlier; ++i)
          __builtin_prefetch(top + pixel[kPrefetchAhead].Before[i]);
      int total[3] = {pixel->Later[0], pixel->Later[1], pixel->Later[2]};
      for (int i = 0; i < pixel->Earlier; ++i)
        for (int c = 0; c < 3; ++c) total[c] += top[pixel->Before[i] + c];
      for (int c = 0; c < 3; ++c) rows[y][3 * x + c] = ClampByte(total[c] / samples);
      if (++x == w) {
        x = 0;
        ++y;
      }
    }
  };
  // Preparing a pixel costs some 1300 times the lightest effects' work on
  // one (bench_effects, one thread).
  FinishInOrder<TPixelWork>(int64_t(w) * h, 1300, prepare, finish);
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
  // order on one thread (and the random types draw from one generator).
  const std::vector<uint8_t*> rows = RowPointers(picture);
  // Every type but tooth and triangle draws: it holds the sequence from its
  // first draw (or seed) to its last.
  std::optional<TRandomSequence> hold;
  if (type != 0 && type != 1) hold.emplace();
  for (int y = h - 1 - value; y >= 1; --y) {
    if (type == 2) EffectRandom::srand(static_cast<uint32_t>(std::time(nullptr)));
    TRippleOffset offset(value, type);
    for (int x = 0; x < w; ++x) {
      if (offset.Value()) CopyPixel(rows[y + offset.Value()] + 3 * x, rows[y] + 3 * x);
      offset.Advance();
    }
  }
}
