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

void DrawBitmap(QPainter& painter, int x, int y, const TBitmap& bitmap) {
  if (!bitmap.Transparent() || bitmap.Empty()) {
    PaintBitmap(painter, x, y, bitmap);
    return;
  }
  TBitmap copy;
  copy.Assign(&bitmap);
  copy.SetPixelFormat(pf24bit);
  const TColor transparent = ColorToRGB(bitmap.TransparentColor());
  QImage image(copy.Width(), copy.Height(), QImage::Format_ARGB32);
  for (int row = 0; row < copy.Height(); ++row) {
    const uint8_t* in = copy.ScanLine(row);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
    for (int column = 0; column < copy.Width(); ++column, in += 3) {
      bool hidden = RGB(in[2], in[1], in[0]) == transparent;
      out[column] = hidden ? 0u : qRgb(in[2], in[1], in[0]);
    }
  }
  painter.drawImage(x, y, image);
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

void TBitmapView::SetDrawTransparent(bool value) {
  FDrawTransparent = value;
  update();
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
  if (FDrawTransparent)
    DrawBitmap(painter, x, y, *FBitmap);
  else
    PaintBitmap(painter, x, y, *FBitmap);
}
