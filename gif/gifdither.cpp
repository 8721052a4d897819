// The ditherers: nearest colour and error diffusion by six kernels.
#include <algorithm>
#include <cstdlib>

#include "gif/gifimage.h"
#include "gif/gifreduce.h"

uint8_t TDitherEngine::Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) {
  uint8_t index = FLookup.Lookup(red, green, blue, r, g, b);
  FColumn += FDirection;
  return index;
}

void TDitherEngine::NextLine() {
  FDirection = -FDirection;
  FColumn = FDirection > 0 ? 0 : FWidth - 1;
}

TErrorDiffusionDitherer::TErrorDiffusionDitherer(int width, TColorLookup& lookup, int divisor,
                                                 std::vector<TDitherShare> kernel)
    : TDitherEngine(width, lookup), FDivisor(divisor), FKernel(std::move(kernel)) {
  for (const TDitherShare& share : FKernel) {
    FMargin = std::max(FMargin, std::abs(share.Offset));
    FRows = std::max(FRows, share.Row + 1);
  }
  FStride = std::max(width, 0) + 2 * FMargin;
  if (int64_t(FRows) * 3 * FStride * int64_t(sizeof(int32_t)) > MaxBitmapBytes)
    throw EOutOfMemory(sOutOfMemDIB);
  FErrors.assign(size_t(FRows) * 3 * size_t(FStride), 0);
  PlaceRows();
}

void TErrorDiffusionDitherer::PlaceRows() {
  FCells.resize(size_t(FRows) * 3);
  for (int row = 0; row < FRows; ++row)
    for (int c = 0; c < 3; ++c)
      FCells[size_t(row * 3 + c)] =
          FErrors.data() + (size_t((FFirstRow + row) % FRows) * 3 + size_t(c)) * size_t(FStride);
}

uint8_t TErrorDiffusionDitherer::Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                        uint8_t& b) {
  int cell = FColumn + FMargin;
  int direction = FDirection;
  const int value[3] = {red, green, blue};
  int adjusted[3];
  for (int c = 0; c < 3; ++c)
    adjusted[c] = std::clamp(value[c] + (Cells(0, c)[cell] + FDivisor / 2) / FDivisor, 0, 255);
  uint8_t index =
      TDitherEngine::Dither(uint8_t(adjusted[0]), uint8_t(adjusted[1]), uint8_t(adjusted[2]), r, g, b);
  const int chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    int error = adjusted[c] - chosen[c];
    if (error == 0) continue;
    for (const TDitherShare& share : FKernel)
      Cells(share.Row, c)[cell + share.Offset * direction] += share.Weight * error;
  }
  return index;
}

void TErrorDiffusionDitherer::NextLine() {
  for (int c = 0; c < 3; ++c) std::fill_n(Cells(0, c), FStride, 0);
  FFirstRow = (FFirstRow + 1) % FRows;
  PlaceRows();
  TDitherEngine::NextLine();
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup)
    : TErrorDiffusionDitherer(width, lookup, 16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}) {}

TStuckiDitherer::TStuckiDitherer(int width, TColorLookup& lookup)
    : T5by3Ditherer(width, lookup, 42,
                              {{0, 1, 8},
                               {0, 2, 4},  //
                               {1, -2, 2},
                               {1, -1, 4},
                               {1, 0, 8},
                               {1, 1, 4},
                               {1, 2, 2},  //
                               {2, -2, 1},
                               {2, -1, 2},
                               {2, 0, 4},
                               {2, 1, 2},
                               {2, 2, 1}}) {}

TSierraDitherer::TSierraDitherer(int width, TColorLookup& lookup)
    : T5by3Ditherer(width, lookup, 32,
                              {{0, 1, 5},
                               {0, 2, 3},  //
                               {1, -2, 2},
                               {1, -1, 4},
                               {1, 0, 5},
                               {1, 1, 4},
                               {1, 2, 2},  //
                               {2, -1, 2},
                               {2, 0, 3},
                               {2, 1, 2}}) {}

TJaJuNiDitherer::TJaJuNiDitherer(int width, TColorLookup& lookup)
    : T5by3Ditherer(width, lookup, 48,
                              {{0, 1, 7},
                               {0, 2, 5},  //
                               {1, -2, 3},
                               {1, -1, 5},
                               {1, 0, 7},
                               {1, 1, 5},
                               {1, 2, 3},  //
                               {2, -2, 1},
                               {2, -1, 3},
                               {2, 0, 5},
                               {2, 1, 3},
                               {2, 2, 1}}) {}

TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup& lookup)
    : TErrorDiffusionDitherer(width, lookup, 200,
                              {{0, 2, 32},  //
                               {1, -3, 12},
                               {1, -1, 26},
                               {1, 1, 30},
                               {1, 3, 16},  //
                               {2, -2, 12},
                               {2, 0, 26},
                               {2, 2, 12},  //
                               {3, -3, 5},
                               {3, -1, 12},
                               {3, 1, 12},
                               {3, 3, 5}}) {}

TBurkesDitherer::TBurkesDitherer(int width, TColorLookup& lookup)
    : TErrorDiffusionDitherer(
          width, lookup, 32,
          {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}) {}

std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode mode, int width, TColorLookup& lookup) {
  switch (mode) {
    case dmFloydSteinberg:
      return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case dmStucki:
      return std::make_unique<TStuckiDitherer>(width, lookup);
    case dmSierra:
      return std::make_unique<TSierraDitherer>(width, lookup);
    case dmJaJuNI:
      return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case dmSteveArche:
      return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case dmBurkes:
      return std::make_unique<TBurkesDitherer>(width, lookup);
    default:
      return std::make_unique<TDitherEngine>(width, lookup);
  }
}
