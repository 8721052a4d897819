#include "platform/windows/bitmapview.h"

#include <QImage>
#include <QPainter>

void PaintBitmap(QPainter& painter, int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  if (bitmap.PixelFormat() == pf24bit) {
    // Rows are blue, green, red and lie one after the other, top first.
    const uint8_t* first = bitmap.ScanLine(0);
    qsizetype stride = bitmap.Height() > 1 ? bitmap.ScanLine(1) - first : ((bitmap.Width() * 3 + 3) & ~3);
    QImage image(first, bitmap.Width(), bitmap.Height(), stride, QImage::Format_BGR888);
    painter.drawImage(x, y, image);
    return;
  }
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SetPixelFormat(pf24bit);
  PaintBitmap(painter, x, y, copy);
}

TBitmapView::TBitmapView(QWidget* parent) : QWidget(parent) {}

void TBitmapView::SetBitmap(const TBitmap* bitmap) {
  FBitmap = bitmap;
  update();
}

void TBitmapView::SetCentered(bool centered) {
  FCentered = centered;
  update();
}

void TBitmapView::FitToBitmap() {
  if (FBitmap) resize(FBitmap->Width(), FBitmap->Height());
}

void TBitmapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (!FBitmap || FBitmap->Empty()) return;
  int x = 0, y = 0;
  if (FCentered) {
    x = (width() - FBitmap->Width()) / 2;
    y = (height() - FBitmap->Height()) / 2;
  }
  PaintBitmap(painter, x, y, *FBitmap);
}
