// Tile reflection and Twist read the picture they write, and work out ahead
// in blocks, on several threads, where each pixel samples. Against a plain
// walk over the pixels in their order, straight from the effects'
// definitions: the same bytes at every size and block split, on one thread
// and on several.
#include <omp.h>

#include <cmath>
#include <numbers>
#include <string>

#include "effects/effectbase.h"
#include "effects/polar.h"
#include "effects/tile.h"
#include "tests/effects/effecttest.h"

namespace {

using std::numbers::pi;

void PlainTileReflection(TBitmap& picture, int angle, int squareSize, int curvature) {
  const int w = picture.Width(), h = picture.Height();
  const long double turn = std::clamp(angle - 45, -45, 45) * std::numbers::pi_v<long double> * (1.0L / 180);
  const double sn = static_cast<double>(std::sin(turn)), cs = static_cast<double>(std::cos(turn));
  const double scale = pi / std::clamp(squareSize, 2, 200);
  int cv = std::clamp(curvature - 20, -20, 20);
  if (cv == 0) cv = 1;
  const double k = cv * cv * 0.1 * (std::abs(cv) / cv);
  float ox[17], oy[17];
  for (int i = 0; i < 17; ++i) {
    double f = 4 * i / 17.0;
    double fx = f - std::trunc(f), fy = i / 17.0;
    ox[i] = static_cast<float>(cs * fx + sn * fy);
    oy[i] = static_cast<float>(cs * fy - sn * fx);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = x - w * 0.5, dy = y - h * 0.5;
      int sum[3] = {0, 0, 0};
      for (int i = 0; i < 17; ++i) {
        const double u = dx + ox[i], v = dy - oy[i];
        double p = cs * u + sn * v, q = -sn * u + cs * v;
        p = std::tan(p * scale) * k + p;
        q = std::tan(q * scale) * k + q;
        const double su = cs * p - sn * q, sv = sn * p + cs * q;
        const int sx = std::clamp(TruncInt(w * 0.5 + su), 0, w - 1);
        const int sy = std::clamp(TruncInt(h * 0.5 + sv), 0, h - 1);
        for (int c = 0; c < 3; ++c) sum[c] += PixelOf(picture, sx, sy)[c];
      }
      for (int c = 0; c < 3; ++c) PixelOf(picture, x, y)[c] = ClampByte(sum[c] / 17);
    }
}

void PlainTwist(TBitmap& picture, int amount) {
  const int w = picture.Width(), h = picture.Height();
  const double cx = (w - 1) * 0.5, cy = (h - 1) * 0.5;
  for (int y = 0; y + 1 < h; ++y)
    for (int x = 0; x + 1 < w; ++x) {
      const double dx = x - cx, dy = y - cy, r = std::sqrt(dx * dx + dy * dy);
      double px = cx, py = cy;
      if (r != 0) {
        const double a = std::atan2(dx, dy) - r / amount + pi / 2;
        px = std::cos(a) * r + cx;
        py = std::sin(a) * r + cy;
      }
      int ix = TruncInt(px), iy = TruncInt(py);
      // The weights of the two taps of an axis, by the side of 0 p lies on.
      const auto weigh = [](double p, int i, double* weight) {
        weight[p >= 0 ? 1 : 0] = p >= 0 ? p - i : i - p;
        weight[p >= 0 ? 0 : 1] = 1 - weight[p >= 0 ? 1 : 0];
      };
      double wx[2], wy[2];
      weigh(px, ix, wx);
      weigh(py, iy, wy);
      ix = ix < 0 ? w - 1 - (-ix) % w : ix % w;
      iy = iy < 0 ? h - 1 - (-iy) % h : iy % h;
      double sum[3] = {0, 0, 0};
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
          const int sx = ix + i < w ? ix + i : w - (ix + i), sy = iy + j < h ? iy + j : h - (iy + j);
          for (int c = 0; c < 3; ++c) sum[c] += PixelOf(picture, sx, sy)[c] * (wx[i] * wy[j]);
        }
      for (int c = 0; c < 3; ++c) PixelOf(picture, x, y)[c] = static_cast<uint8_t>(std::floor(sum[c]));
    }
}

struct TInPlaceCase {
  std::string Name;
  Effect Run, Plain;
};

}  // namespace

TEST(InPlaceRemaps, GiveTheBytesOfAPlainWalkAtEverySize) {
  const int most = omp_get_max_threads();
  const auto reflection = [](int a, int s, int c) -> TInPlaceCase {
    return {"TileReflection " + std::to_string(a) + "/" + std::to_string(s) + "/" + std::to_string(c),
            [=](TBitmap& b) { ApplyTileReflection(b, a, s, c); }, [=](TBitmap& b) { PlainTileReflection(b, a, s, c); }};
  };
  const auto twist = [](int amount) -> TInPlaceCase {
    return {"Twist " + std::to_string(amount), [=](TBitmap& b) { ApplyTwist(b, amount); },
            [=](TBitmap& b) { PlainTwist(b, amount); }};
  };
  const TInPlaceCase cases[] = {
      reflection(0, 6, 16), reflection(80, 40, 3), reflection(45, 200, 20), twist(50), twist(-7), twist(300)};
  // Pictures of a pixel, narrow strips, and sizes no block or band divides
  // evenly; bands from far smaller pictures than a run splits, and as a run
  // splits them.
  for (const TInPlaceCase& c : cases)
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {5, 3}, {2311, 5}, {4, 1709}, {257, 131}, {331, 211}}) {
      auto plain = MakeNoiseBitmap(w, h, 3);
      c.Plain(*plain);
      for (int64_t threshold : {int64_t(4096), kBandThresholdPixels})
        for (int threads : {1, 8}) {
          BandThresholdPixels = threshold;
          omp_set_num_threads(threads);
          auto picture = MakeNoiseBitmap(w, h, 3);
          c.Run(*picture);
          EXPECT_TRUE(SameColors(*picture, *plain)) << c.Name << " " << w << "x" << h << " on " << threads
                                                    << " threads, bands from " << threshold << " pixels";
        }
    }
  omp_set_num_threads(most);
  BandThresholdPixels = kBandThresholdPixels;
}
