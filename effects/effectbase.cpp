#include "effects/effectbase.h"

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

std::unique_ptr<TBitmap> CopyPicture(TBitmap& picture) {
  if (picture.PixelFormat() == pf24bit) {
    // The working format: the pixel memory copied in one pass.
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(&picture);
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
