#include "effects/effectbase.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

std::vector<uint8_t*> RowPointers(TBitmap& picture) {
  std::vector<uint8_t*> rows(picture.Height());
  for (int y = 0; y < picture.Height(); ++y) rows[y] = picture.ScanLine(y);
  return rows;
}

std::vector<const uint8_t*> RowPointers(const TBitmap& picture) {
  std::vector<const uint8_t*> rows(picture.Height());
  for (int y = 0; y < picture.Height(); ++y) rows[y] = picture.ScanLine(y);
  return rows;
}

std::unique_ptr<TBitmap> NewPicture(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  return bitmap;
}

std::unique_ptr<TBitmap> NewUnfilledPicture(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSizeUnfilled(width, height);
  return bitmap;
}

std::unique_ptr<TBitmap> CopyPicture(TBitmap& picture) {
  if (picture.PixelFormat() == pf24bit) {
    // The working format: the rows copied in bands.
    const int w = picture.Width(), h = picture.Height();
    auto copy = NewUnfilledPicture(w, h);
    const auto sources = RowPointers(std::as_const(picture));
    const auto targets = RowPointers(*copy);
    const size_t bytes = RowBytes(w);
    ForEachRowInBands(h, w, [&](int y) { std::memcpy(targets[y], sources[y], bytes); });
    return copy;
  }
  auto copy = NewPicture(picture.Width(), picture.Height());
  BitBlt(copy->Canvas()->Handle(), 0, 0, picture.Width(), picture.Height(), picture.Canvas()->Handle(), 0, 0,
         SRCCOPY);
  return copy;
}

void CopyBack(TBitmap& picture, TBitmap& copy) {
  BitBlt(picture.Canvas()->Handle(), 0, 0, copy.Width(), copy.Height(), copy.Canvas()->Handle(), 0, 0,
         SRCCOPY);
}
