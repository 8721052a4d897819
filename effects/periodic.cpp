#include "effects/periodic.h"

#include <utility>
#include <vector>

#include "effects/effectbase.h"

namespace {

// A change of a channel by more than 255 either way saturates every value
// already, so limiting a signed change to -255..255 leaves every result as
// it is and keeps the sums inside int.
int LimitChange(int64_t change) { return static_cast<int>(std::clamp<int64_t>(change, -255, 255)); }

}  // namespace

void Apply3DGrid(TBitmap& picture, int step, int depth) {
  if (NoPixels(picture)) return;
  const int w = picture.Width(), h = picture.Height();
  const int s = std::max(std::min(step, std::max(w, h)), 1);
  const int d = LimitChange(depth);
  // Per column: whether it lies inside a cell, and the change of a left
  // (+d) or right (-d) cell edge.
  std::vector<uint8_t> inside(w);
  std::vector<int> columnChange(w);
  for (int x = 0; x < w; ++x) {
    int r = x % s;
    inside[x] = r != 0 && r != s - 1;
    columnChange[x] = r == 1 ? d : (x + 2) % s == 0 ? -d : 0;
  }
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    int r = y % s;
    bool rowInside = r != 0 && r != s - 1;
    bool rowEdge = r == 1 || (y + 2) % s == 0;
    int rowChange = r == 1 ? -d : d;
    uint8_t* row = rows[y];
    for (int x = 0; x < w; ++x) {
      int change = rowEdge && inside[x] ? rowChange : rowInside ? columnChange[x] : 0;
      if (change != 0) AddToChannels(row + 3 * x, change);
    }
  });
}

void ApplyPixelate(TBitmap& picture, int size) {
  if (NoPixels(picture) || size < 1) return;
  const int w = picture.Width(), h = picture.Height();
  // The first index of the next block when it lies inside, else i itself.
  auto source = [size](int i, int count) {
    int64_t next = static_cast<int64_t>(i) + size - i % size;
    return next > 0 && next < count ? static_cast<int>(next) : i;
  };
  std::vector<int> column(w);
  for (int x = 0; x < w; ++x) column[x] = source(x, w);
  // Every pixel reads itself or a pixel after it in row order, which this
  // pass has not written yet: the picture serves as its own unchanged copy.
  // That keeps the rows in their order on one thread; a copy to read from
  // would cost about what bands save on so light a pass.
  for (int y = 0; y < h; ++y) {
    const uint8_t* from = picture.ScanLine(source(y, h));
    uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < w; ++x)
      for (int i = 0; i < 3; ++i) row[3 * x + i] = from[3 * column[x] + i];
  }
}

void ApplyWatermark(TBitmap& picture, const TBitmap& pattern, int level, bool inverse) {
  if (NoPixels(picture) || NoPixels(pattern)) return;
  const int w = picture.Width(), h = picture.Height();
  const int ph = pattern.Height();
  // Only the pattern columns that reach the picture matter; x mod span is
  // then the pattern column of x.
  const int span = std::min(pattern.Width(), w);
  // Rows in bands on every core, each band with its own row buffers.
  const auto rows = RowPointers(picture);
  ForEachBand(h, w, [&](int first, int last) {
    std::vector<uint8_t> patternRow(3 * static_cast<size_t>(span));
    std::vector<int> change(span);
    for (int y = first; y < last; ++y) {
      DibReadRow(*pattern.Handle(), y % ph, 0, span, patternRow.data());
      for (int i = 0; i < span; ++i) {
        int sum = patternRow[3 * i] + patternRow[3 * i + 1] + patternRow[3 * i + 2];
        int64_t d = static_cast<int64_t>(sum - 384) * level / 765;
        change[i] = LimitChange(inverse ? d : -d);
      }
      uint8_t* row = rows[y];
      for (int x = 0, i = 0; x < w; ++x, i = i + 1 == span ? 0 : i + 1) AddToChannels(row + 3 * x, change[i]);
    }
  });
}

void ApplyVideo(TBitmap& picture, int lightness, int type) {
  if (NoPixels(picture) || type < 0 || type > 3) return;
  const int columns = VideoPatternColumns[type], patternRows = VideoPatternRows[type];
  const int w = picture.Width(), h = picture.Height();
  const int add = std::clamp(lightness, -510, 255);  // beyond, 2 * c + lightness saturates for every c
  const auto rows = RowPointers(picture);
  ForEachRowInBands(h, w, [&](int y) {
    const int32_t* cells = VideoPatternCells[type] + (y % patternRows) * columns;
    uint8_t* row = rows[y];
    for (int x = 0; x < w; ++x) {
      // Cell 0 (red) is byte 2, cell 2 (blue) byte 0.
      uint8_t& channel = row[3 * x + 2 - cells[x % columns]];
      channel = ClampByte(2 * channel + add);
    }
  });
}
