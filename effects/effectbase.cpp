#include "effects/effectbase.h"

std::unique_ptr<TBitmap> CopyPicture(TBitmap& picture) {
  auto copy = std::make_unique<TBitmap>();
  copy->SetPixelFormat(pf24bit);
  copy->SetSize(picture.Width(), picture.Height());
  BitBlt(copy->Canvas()->Handle(), 0, 0, picture.Width(), picture.Height(), picture.Canvas()->Handle(), 0, 0,
         SRCCOPY);
  return copy;
}

void CopyBack(TBitmap& picture, TBitmap& copy) {
  BitBlt(picture.Canvas()->Handle(), 0, 0, copy.Width(), copy.Height(), copy.Canvas()->Handle(), 0, 0, SRCCOPY);
}
