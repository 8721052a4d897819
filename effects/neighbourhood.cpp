#include "effects/neighbourhood.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "effects/effectbase.h"
#include "platform/system/sysutils.h"

namespace {

// Coordinate v + offset when it lies in 0..n-1, else v itself.
int Partner(int v, int64_t offset, int n) {
  const int64_t p = v + offset;
  return p >= 0 && p < n ? static_cast<int>(p) : v;
}

// Rows y - 1, y and y + 1 of the source picture. Rows above the top and
// below the bottom repeat the edge row, and each row repeats its end pixels
// one pixel outwards, so Row(dy)[3 * (x + dx) + c] is valid for dx, dy in
// -1..1.
class TRowWindow {
 public:
  explicit TRowWindow(const TBitmap& picture) : FPicture(picture) {
    for (auto& row : FRows) row.resize(3 * (static_cast<size_t>(picture.Width()) + 2));
  }
  void MoveTo(int y) {
    if (y == FY + 1 && FY >= 0) {
      std::swap(FRows[0], FRows[1]);
      std::swap(FRows[1], FRows[2]);
      Load(FRows[2], y + 1);
    } else {
      for (int i = 0; i < 3; ++i) Load(FRows[i], y - 1 + i);
    }
    FY = y;
  }
  const uint8_t* Row(int dy) const { return FRows[dy + 1].data() + 3; }

 private:
  void Load(std::vector<uint8_t>& row, int y) {
    const size_t bytes = 3 * static_cast<size_t>(FPicture.Width());
    std::memcpy(row.data() + 3, FPicture.ScanLine(std::clamp(y, 0, FPicture.Height() - 1)), bytes);
    std::memcpy(row.data(), row.data() + 3, 3);
    std::memcpy(row.data() + 3 + bytes, row.data() + bytes, 3);
  }
  const TBitmap& FPicture;
  std::vector<uint8_t> FRows[3];
  int FY = -1;
};

}  // namespace

void BlurCorners(TBitmap& picture, int d) {
  if (NoPixels(picture) || d == 0) return;
  const int w = picture.Width(), h = picture.Height();
  // A negative distance names the same four partners, mirrored.
  std::vector<int> left(w), right(w);
  for (int x = 0; x < w; ++x) {
    left[x] = 3 * Partner(x, -int64_t(d), w);
    right[x] = 3 * Partner(x, d, w);
  }
  // The rows above and the pixels to the left already hold this pass's
  // results when they are read. Row y reads only rows y - d and y + d, or
  // itself at the edges, so the rows fall into |d| chains (by y mod |d|)
  // that never read one another: each chain runs in its order, the chains
  // side by side.
  const auto rows = RowPointers(picture);
  const int chains = static_cast<int>(std::min<int64_t>(std::abs(int64_t(d)), h));
  ForEachRowInBands(chains, int64_t(w) * ((h + chains - 1) / chains), [&](int chain) {
    for (int y = chain; y < h; y += chains) {
      const uint8_t* upper = rows[Partner(y, -int64_t(d), h)];
      const uint8_t* lower = rows[Partner(y, d, h)];
      uint8_t* row = rows[y];
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c)
          row[3 * x + c] = static_cast<uint8_t>(
              (upper[left[x] + c] + lower[left[x] + c] + upper[right[x] + c] + lower[right[x] + c]) >> 2);
    }
  });
}

// Gauss blur and Antialias read their own results as they go (the rows
// above and the pixels to the left are already this pass's), so they keep
// their order: Antialias on one thread, Gauss blur in the chains of rows
// that never read one another (see BlurCorners).
void ApplyGauss(TBitmap& picture, int passes) {
  if (NoPixels(picture)) return;
  for (int pass = 0; pass < passes; ++pass) BlurCorners(picture, 3);
}

void ApplyAntialias(TBitmap& picture, int passes) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 1; y < h - 1; ++y) {
      const uint8_t* up = picture.ScanLine(y - 1);
      const uint8_t* down = picture.ScanLine(y + 1);
      uint8_t* row = picture.ScanLine(y);
      // Byte i - 3 is the same channel of the left neighbour, already
      // smoothed in this pass.
      for (int i = 3; i < 3 * (w - 1); ++i)
        row[i] = static_cast<uint8_t>((up[i] + down[i] + row[i - 3] + row[i + 3]) >> 2);
    }
}

void ApplyBlurRadial(TBitmap& picture, int angle) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int cx = w / 2, cy = h / 2;
  const int64_t dx = std::max(cx, w - cx), dy = std::max(cy, h - cy);
  const int radius = TruncInt(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
  const double a = Radians(angle);
  const int n = TruncInt(std::sqrt(static_cast<double>(radius)) * a * 4 + 2);
  // No sample angle at all (a very negative angle): every pixel stays.
  if (n <= 0) return;
  const double step = FDiv(a, static_cast<double>(n - 1));
  // The tables are the only memory that grows with the angle.
  if (16 * static_cast<int64_t>(n) > MaxBitmapBytes) throw EOutOfMemory("Out of memory");
  const double half = (n - 1) * step * 0.5;
  std::vector<double> cosines(n), sines(n);
  for (int i = 0; i < n; ++i) {
    cosines[i] = std::cos(i * step - half);
    sines[i] = std::sin(i * step - half);
  }

  const std::unique_ptr<TBitmap> copy = CopyPicture(picture);
  const auto rows = RowPointers(std::as_const(*copy));
  const auto targets = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    uint8_t* row = targets[y];
    const int ey = y - cy;
    // The row's share of every sample position, the same products the
    // position formula takes.
    std::vector<double> rowSines(n), rowCosines(n);
    for (int i = 0; i < n; ++i) {
      rowSines[i] = ey * sines[i];
      rowCosines[i] = ey * cosines[i];
    }
    for (int x = 0; x < w; ++x) {
      const int ex = x - cx;
      const int r = TruncInt(std::sqrt(static_cast<double>(int64_t(ex) * ex + int64_t(ey) * ey)));
      // Near the centre fewer angles are averaged.
      const int stride = std::clamp(r == 0 ? 1 : radius / r, 1, n - 1);
      int64_t sum[3] = {0, 0, 0};
      int64_t count = 0;
      for (int i = 0; i < n; i += stride) {
        // Sample positions lie within the picture's size of the centre, so
        // they fit an int.
        const int sx = static_cast<int>(cx + ex * cosines[i] - rowSines[i]);
        const int sy = static_cast<int>(cy + ex * sines[i] + rowCosines[i]);
        if (sx < 0 || sx >= w || sy < 0 || sy >= h) continue;
        const uint8_t* sample = rows[sy] + 3 * sx;
        for (int c = 0; c < 3; ++c) sum[c] += sample[c];
        ++count;
      }
      // Every sample weighs the same, so the mean is the plain one.
      if (count > 0)
        for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uint8_t>(sum[c] / count);
    }
  });
}

void ApplyOilPaint(TBitmap& picture, int levels, int radius) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  // Intensities fall into bins 0..top; higher bins of 0..levels stay empty
  // and never win, so only these are kept.
  const int top = levels & 0xFF;
  const double f = top * (1.0 / 255);
  uint8_t binOfIntensity[256];
  for (int i = 0; i < 256; ++i) binOfIntensity[i] = static_cast<uint8_t>(TruncInt(i * f) & 0xFF);
  // The bin of every pixel, worked out once rather than once per window.
  const auto rows = RowPointers(std::as_const(picture));
  std::vector<uint8_t> bins(static_cast<size_t>(w) * h);
  ForEachRowInBands(h, w, [&](int y) {
    const uint8_t* row = rows[y];
    uint8_t* binRow = bins.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = row + 3 * x;
      binRow[x] = binOfIntensity[TruncInt(0.3 * p[2] + 0.59 * p[1] + 0.11 * p[0]) & 0xFF];
    }
  });

  const std::unique_ptr<TBitmap> result = CopyPicture(picture);
  const auto outRows = RowPointers(*result);
  // The window runs from v - radius (v itself when that is below 0) to
  // v + radius (v itself when that passes the size); positions outside the
  // picture are skipped.
  auto windowStart = [radius](int v) { return v - int64_t(radius) < 0 ? v : v - int64_t(radius); };
  auto windowEnd = [radius](int v, int size) {
    return std::min<int64_t>(v + int64_t(radius) > size ? v : v + int64_t(radius), size - 1);
  };
  // Rows in bands over every core, each band with its own histogram. Where
  // following the window along a row costs less than counting every window
  // afresh (two columns of 2 radius + 1 pixels and a look at every bin,
  // against (2 radius + 1)^2 pixels), the histogram follows the window;
  // otherwise only the bins a window touched are cleared after it. A negative
  // radius leaves every window empty and every pixel as it was.
  const int64_t side = 2 * int64_t(radius) + 1;
  // (A side past 2^31 costs far more counted afresh; its square would not
  // fit in 64 bits.)
  const bool sliding = radius >= 0 && (side > (int64_t(1) << 31) || top + 1 + 2 * side < side * side);
  ForEachBand(h, w, [&](int first, int last) {
    uint32_t count[256] = {};
    uint64_t sum[256][3];
    uint8_t touched[256];
    for (int y = first; y < last; ++y) {
      const int64_t y0 = windowStart(y), y1 = windowEnd(y, h);
      uint8_t* out = outRows[y];
      if (sliding) {
        // The window's histogram follows it along the row: columns that
        // leave it are taken out, columns that enter it are added. Counts
        // and sums are whole numbers, so they come out exactly as counted
        // afresh.
        std::fill_n(count, top + 1, 0u);
        std::fill_n(&sum[0][0], 3 * (top + 1), uint64_t(0));
        auto column = [&](int64_t wx, bool add) {
          for (int64_t wy = y0; wy <= y1; ++wy) {
            const int bin = bins[wy * w + wx];
            const uint8_t* p = rows[wy] + 3 * wx;
            if (add) {
              ++count[bin];
              for (int c = 0; c < 3; ++c) sum[bin][c] += p[c];
            } else {
              --count[bin];
              for (int c = 0; c < 3; ++c) sum[bin][c] -= p[c];
            }
          }
        };
        int64_t c0 = 0, c1 = -1;  // the columns counted, none yet
        for (int x = 0; x < w; ++x) {
          const int64_t x0 = windowStart(x), x1 = windowEnd(x, w);
          for (int64_t wx = c0; wx < std::min(x0, c1 + 1); ++wx) column(wx, false);
          for (int64_t wx = std::max(x1 + 1, c0); wx <= c1; ++wx) column(wx, false);
          for (int64_t wx = x0; wx <= x1; ++wx)
            if (wx < c0 || wx > c1) column(wx, true);
          c0 = x0;
          c1 = x1;
          // The fullest bin wins, the lowest one on equal counts.
          int best = 0;
          for (int bin = 1; bin <= top; ++bin)
            if (count[bin] > count[best]) best = bin;
          for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<uint8_t>(sum[best][c] / count[best]);
        }
        continue;
      }
      for (int x = 0; x < w; ++x) {
        const int64_t x0 = windowStart(x), x1 = windowEnd(x, w);
        int used = 0;
        for (int64_t wy = y0; wy <= y1; ++wy) {
          const uint8_t* row = rows[wy];
          const uint8_t* binRow = bins.data() + wy * w;
          for (int64_t wx = x0; wx <= x1; ++wx) {
            const int bin = binRow[wx];
            const uint8_t* p = row + 3 * wx;
            if (count[bin]++ == 0) {
              touched[used++] = static_cast<uint8_t>(bin);
              for (int c = 0; c < 3; ++c) sum[bin][c] = p[c];
            } else {
              for (int c = 0; c < 3; ++c) sum[bin][c] += p[c];
            }
          }
        }
        // The fullest bin wins, the lowest one on equal counts. An empty
        // window (a negative radius) leaves the pixel as it was.
        int best = -1;
        for (int i = 0; i < used; ++i) {
          const int bin = touched[i];
          if (best < 0 || count[bin] > count[best] || (count[bin] == count[best] && bin < best)) best = bin;
        }
        if (best >= 0)
          for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<uint8_t>(sum[best][c] / count[best]);
        for (int i = 0; i < used; ++i) count[touched[i]] = 0;
      }
    }
  });
  CopyBack(picture, *result);
}

void Convolve3x3Int(const TIntKernel& kernel, int divisor, TBitmap& picture) {
  if (NoPixels(picture)) return;
  if (divisor == 0) RaiseDivByZero();
  const int w = picture.Width(), h = picture.Height();
  // Every row reads the unchanged rows about it: from a copy, so the rows
  // can run in bands on every core, each with its own window.
  const std::unique_ptr<TBitmap> source = CopyPicture(picture);
  const auto rows = RowPointers(picture);
  const auto convolve = [&](auto divide) {
    ForEachBand(h, w, [&](int first, int last) {
      TRowWindow window(*source);
      for (int y = first; y < last; ++y) {
        window.MoveTo(y);
        uint8_t* row = rows[y];
        for (int i = 0; i < 3 * w; ++i) {
          // 64-bit sums: levels far outside the dialogs' ranges cannot overflow.
          int64_t sum = 0;
          for (int k = 0; k < 3; ++k) {
            const uint8_t* p = window.Row(k - 1) + i;
            sum += int64_t(kernel[3 * k]) * p[-3] + int64_t(kernel[3 * k + 1]) * p[0] +
                   int64_t(kernel[3 * k + 2]) * p[3];
          }
          row[i] = ClampByte64(divide(sum));
        }
      }
    });
  };
  // The divisors the filters use are known here, so their divisions become
  // multiplications and shifts (with the same truncation toward zero).
  switch (divisor) {
    case 1: convolve([](int64_t sum) { return sum; }); break;
    case 6: convolve([](int64_t sum) { return sum / 6; }); break;
    case 8: convolve([](int64_t sum) { return sum / 8; }); break;
    case 16: convolve([](int64_t sum) { return sum / 16; }); break;
    case 32: convolve([](int64_t sum) { return sum / 32; }); break;
    default: convolve([divisor](int64_t sum) { return sum / divisor; }); break;
  }
}

void Convolve3x3Float(TBitmap& picture, int bias, const TFloatKernel& kernel) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  float s = 0;
  for (float k : kernel) s += k;
  if (s <= 0) s = 1.0f;
  if (h < 3 || w < 3) return;
  // As in Convolve3x3Int: rows in bands, each reading the copy.
  const std::unique_ptr<TBitmap> source = CopyPicture(picture);
  const auto rows = RowPointers(picture);
  ForEachBand(h - 2, w, [&](int first, int last) {
    TRowWindow window(*source);
    for (int y = first + 1; y < last + 1; ++y) {
      window.MoveTo(y);
      uint8_t* row = rows[y];
      for (int i = 3; i < 3 * (w - 1); ++i) {
        // The running sum is held as a 32-bit float; each product is exact.
        float sum = 0;
        for (int k = 0; k < 9; ++k)
          sum = static_cast<float>(sum +
                                   static_cast<double>(kernel[k]) * window.Row(k / 3 - 1)[i + 3 * (k % 3 - 1)]);
        row[i] = ClampByte(TruncInt(static_cast<double>(sum) / s + bias));
      }
    }
  });
}

void DetectEdgeLaplace(TBitmap& picture, int radius) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int r = std::clamp(radius, 1, 10), n = 2 * r + 1;
  // Every weight is -1 but the middle one, n * n - 1, so each sum is n * n
  // times the middle pixel minus the window's total. The totals come from
  // running sums: per column over the window's rows, then along the row.
  // Indices past the last row or column read the last one.
  // Each row reads only unchanged rows (its own and those below): from a
  // copy, in bands of rows on every core, each band starting its own sums.
  if (h < 2) return;
  const std::unique_ptr<TBitmap> copy = CopyPicture(picture);
  const auto source = RowPointers(std::as_const(*copy));
  const auto rows = RowPointers(picture);
  const int bandRows = std::max(64, 4 * n);
  const int bands = (h - 1 + bandRows - 1) / bandRows;
  ForEachBand(bands, int64_t(w) * bandRows, [&](int firstBand, int lastBand) {
    std::vector<int> columnSums(3 * static_cast<size_t>(w));
    for (int band = firstBand; band < lastBand; ++band) {
      const int first = band * bandRows, last = std::min(h - 1, first + bandRows);
      std::fill(columnSums.begin(), columnSums.end(), 0);
      for (int i = first; i < first + n; ++i) {
        const uint8_t* row = source[std::min(i, h - 1)];
        for (int k = 0; k < 3 * w; ++k) columnSums[k] += row[k];
      }
      for (int y = first; y < last; ++y) {
        uint8_t* row = rows[y];
        const uint8_t* middleRow = source[std::min(y + r, h - 1)];
        int total[3] = {0, 0, 0};
        for (int j = 0; j < n; ++j)
          for (int c = 0; c < 3; ++c) total[c] += columnSums[3 * std::min(j, w - 1) + c];
        for (int x = 0; x < w - 1; ++x) {
          const int middle = 3 * std::min(x + r, w - 1), next = 3 * std::min(x + n, w - 1);
          for (int c = 0; c < 3; ++c) {
            row[3 * x + c] = ClampByte(n * n * middleRow[middle + c] - total[c]);
            total[c] += columnSums[next + c] - columnSums[3 * x + c];
          }
        }
        const uint8_t* entering = source[std::min(y + n, h - 1)];
        const uint8_t* leaving = source[y];
        for (int k = 0; k < 3 * w; ++k) columnSums[k] += entering[k] - leaving[k];
      }
    }
  });
}

void ApplySoftened(TBitmap& picture, int level, int type) {
  if (NoPixels(picture)) return;
  switch (type) {
    case 0: Convolve3x3Int({2, 2, 2, 2, level / 15 - 1, 2, 2, 2, 2}, 16, picture); break;
    case 1: Convolve3x3Int({3, 3, 3, 3, level / 5 + 7, 3, 3, 3, 3}, 32, picture); break;
    case 2: Convolve3x3Int({0, 1, 0, 1, level / 15 + 1, 1, 0, 1, 0}, 6, picture); break;
    case 3: Convolve3x3Float(picture, level, {5, 0, 0, 0, 0, 0, 0, 0, 5}); break;
    case 4: {
      const float k = 0.111f;  // nine of them sum to 0.999
      Convolve3x3Float(picture, level, {k, k, k, k, k, k, k, k, k});
      break;
    }
    case 5:
      Convolve3x3Float(picture, level,
                       {0.0625f, 0.125f, 0.0625f, 0.125f, 0.25f, 0.125f, 0.0625f, 0.125f, 0.0625f});
      break;
    default: break;
  }
}

void ApplySharpness(TBitmap& picture, int level, int type) {
  if (NoPixels(picture)) return;
  switch (type) {
    case 0: Convolve3x3Int({-1, -1, -1, -1, level / 10 + 15, -1, -1, -1, -1}, 8, picture); break;
    case 1: Convolve3x3Int({0, -1, 0, -1, level / 20 + 5, -1, 0, -1, 0}, 1, picture); break;
    case 2: Convolve3x3Float(picture, level, {0, -1, 0, -1, 5, -1, 0, -1, 0}); break;
    case 3: Convolve3x3Float(picture, level, {-1, -1, -1, -1, 9, -1, -1, -1, -1}); break;
    default: break;
  }
}

void ApplyEmboss(TBitmap& picture, int level, int type) {
  if (NoPixels(picture)) return;
  switch (type) {
    case 0: Convolve3x3Int({1, 0, 1, 0, level / 30 - 1, 0, 1, 0, -2}, 1, picture); break;
    case 1: Convolve3x3Int({1, 1, 1, 1, level / 25 - 3, 1, -1, -1, -1}, 1, picture); break;
    case 2: Convolve3x3Float(picture, level, {1, 2, 1, 0, 0, 0, -1, -2, -1}); break;
    case 3: Convolve3x3Float(picture, level, {1, 0, -1, 2, 0, -2, 1, 0, -1}); break;
    case 4: Convolve3x3Float(picture, level, {1, 1, 1, 0, 0, 0, -1, -1, -1}); break;
    case 5: Convolve3x3Float(picture, level, {1, 0, -1, 1, 0, -1, 1, 0, -1}); break;
    default: break;
  }
}

void ApplyDetectEdge(TBitmap& picture, int level, int type) {
  if (NoPixels(picture)) return;
  switch (type) {
    case 0: DetectEdgeLaplace(picture, level / 10); break;
    case 1: Convolve3x3Float(picture, level, {-1, -1, -1, -1, 8, -1, -1, -1, -1}); break;
    case 2: Convolve3x3Float(picture, level, {-5, -5, -5, -5, 39, -5, -5, -5, -5}); break;
    case 3: {
      const float e = -0.125f;
      Convolve3x3Float(picture, level, {e, e, e, e, 1, e, e, e, e});
      break;
    }
    default: break;
  }
}
