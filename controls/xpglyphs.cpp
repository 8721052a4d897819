#include "controls/xpglyphs.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

namespace xpglyphs {

QRgb Mix(QRgb from, QRgb to, double t) {
  auto channel = [t](int a, int b) { return int(a + (b - a) * t + 0.5); };
  return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)), channel(qBlue(from), qBlue(to)));
}

QImage FromArt(std::initializer_list<const char*> rows, const std::function<QRgb(char, int, int)>& colour,
               bool keyed) {
  const int height = int(rows.size());
  const int width = height ? int(std::char_traits<char>::length(*rows.begin())) : 0;
  QImage picture(width, height, QImage::Format_ARGB32);
  int y = 0;
  for (const char* row : rows) {
    for (int x = 0; x < width && row[x]; ++x) picture.setPixel(x, y, row[x] == '.' ? KeyColour : colour(row[x], x, y));
    ++y;
  }
  return keyed ? KeyOut(picture) : picture;
}

QImage KeyOut(const QImage& picture) {
  QImage out = picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((row[x] | 0xFF000000u) == KeyColour) row[x] = 0;
  }
  return out;
}

QRect CaptionRect(TXPCheckBoxAlign align, int width, int height, int sampleHeight) {
  const int top = height / 2 - sampleHeight / 2 - 1;
  const int bottom = sampleHeight / 2 + height / 2;
  const int left = align == taLeft ? BoxSize + 5 : 2;
  const int right = align == taLeft ? width : width - (BoxSize + 5);
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

namespace {
// (left, top, right, bottom) with right and bottom outside, as the rules
// give them.
QRect Edges(int left, int top, int right, int bottom) { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }
}  // namespace

QRect FocusRect(TXPCheckBoxAlign align, int width, int height, int textWidth, int textHeight, int sampleHeight) {
  const int bw = BoxSize, tw = textWidth, th = textHeight, w = width, h = height;
  const int y0 = h / 2 - sampleHeight / 2;
  const bool left = align == taLeft;
  if (bw + 4 + tw <= w && y0 + th + 1 <= h)
    return left ? Edges(bw + 4, y0 - 1, bw + tw + 6, y0 + th) : Edges(0, y0 - 1, tw + 4, y0 + th);
  if ((left ? tw + 2 * bw + 10 > w : tw + 2 * bw + 9 > w) && y0 + th + 2 > h)
    return left ? Edges(bw + 4, 0, w, h) : Edges(0, 0, w - bw - 4, h);
  if (bw + 4 + tw > w) return left ? Edges(bw + 4, y0, w, y0 + th) : Edges(0, y0, w - bw - 4, y0 + th);
  return left ? Edges(bw + 4, 0, bw + tw + 6, h) : Edges(0, 0, tw + 6, h);
}

QRect FocusRect(TXPCheckBoxAlign align, int width, int height, const QString& caption, const QFont& font) {
  const QFontMetrics metrics(font);
  const QSize text = caption.isEmpty() ? QSize(0, metrics.height()) : metrics.size(Qt::TextShowMnemonic, caption);
  return FocusRect(align, width, height, text.width(), text.height(), metrics.height());
}

void DrawFocusRect(QPainter& painter, const QRect& rect, const QColor& colour) {
  if (rect.width() <= 0 || rect.height() <= 0) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(colour, 0));
  // Every other pixel of a checkerboard laid from the top-left corner, so
  // that no two dots meet, also at the corners.
  const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
  auto dot = [&](int x, int y) {
    if ((x - l + y - t) % 2 == 0) painter.drawPoint(x, y);
  };
  for (int x = l; x <= r; ++x) {
    dot(x, t);
    dot(x, b);
  }
  for (int y = t + 1; y < b; ++y) {
    dot(l, y);
    dot(r, y);
  }
  painter.restore();
}

void DrawCaption(QPainter& painter, const QRect& rect, const QString& caption, const QColor& text,
                 const QColor& back) {
  if (caption.isEmpty() || rect.width() <= 0 || rect.height() <= 0) return;
  constexpr int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic;
  painter.save();
  painter.setClipRect(rect);
  painter.fillRect(painter.boundingRect(rect, flags, caption) & rect, back);
  painter.setPen(text);
  painter.drawText(rect, flags, caption);
  painter.restore();
}

bool TPaintSwitch::MayPaint() {
  if (!FEnabled) FSkipped = true;
  return FEnabled;
}

TPaintSwitch::TPause::~TPause() {
  FPaint.FEnabled = FWasEnabled;
  if (FPaint.FEnabled && FPaint.FSkipped) {
    FPaint.FSkipped = false;
    FPaint.FOwner->update();
  }
}

}  // namespace xpglyphs
