#include "controls/xigradient.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/windows/colors.h"

std::vector<QColor> GradientColors(TColor start, TColor end, int steps, int count) {
  const QColor from = ToQColor(start), to = ToQColor(end);
  double value[3] = {double(from.red()), double(from.green()), double(from.blue())};
  double step[3] = {0, 0, 0};
  if (steps > 0) {
    step[0] = (to.red() - from.red()) / double(steps);
    step[1] = (to.green() - from.green()) / double(steps);
    step[2] = (to.blue() - from.blue()) / double(steps);
  }
  auto byte = [](double v) { return std::clamp(int(std::nearbyint(v)), 0, 255); };
  std::vector<QColor> colors;
  colors.reserve(std::max(count, 0));
  for (int i = 0; i < count; ++i) {
    colors.emplace_back(byte(value[0]), byte(value[1]), byte(value[2]));
    for (int c = 0; c < 3; ++c) value[c] += step[c];
  }
  return colors;
}

void GradientFill(QPainter& canvas, const QRect& rect, TColor start, TColor end, TGradientDirection direction) {
  const int left = rect.left(), top = rect.top(), w = rect.width(), h = rect.height();
  if (w <= 0 || h <= 0) return;
  switch (direction) {
    case gdHorizontal: {
      const std::vector<QColor> columns = GradientColors(start, end, w, w);
      for (int x = 0; x < w; ++x) canvas.fillRect(left + x, top, 1, h, columns[x]);
      break;
    }
    case gdVertical: {
      const std::vector<QColor> rows = GradientColors(start, end, h, h);
      for (int y = 0; y < h; ++y) canvas.fillRect(left, top + y, w, 1, rows[y]);
      break;
    }
    case gdDiagonal: {
      const int n = w + h;
      const std::vector<QColor> lines = GradientColors(start, end, n, n);
      QImage image(w, h, QImage::Format_RGB32);
      image.fill(ToQColor(start));
      for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 1; x < w; ++x) row[x] = lines[x + y].rgb();
      }
      canvas.drawImage(left, top, image);
      break;
    }
  }
}

void DrawRing(QPainter& canvas, const QRect& ring, const QColor& topLeft, const QColor& bottomRight,
              TRingCorner bottomLeft) {
  const int left = ring.left(), top = ring.top(), w = ring.width(), h = ring.height();
  if (w <= 0 || h <= 0) return;
  const int right = left + w - 1, bottom = top + h - 1;
  canvas.fillRect(left, top, 1, h, topLeft);
  canvas.fillRect(left, top, w - 1, 1, topLeft);
  canvas.fillRect(right, top, 1, h - 1, bottomRight);
  const int from = bottomLeft == rcLeftEdge ? left + 1 : left;
  canvas.fillRect(from, bottom, right - from + 1, 1, bottomRight);
}
