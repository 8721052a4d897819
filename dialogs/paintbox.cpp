#include "dialogs/paintbox.h"

#include <QPainter>

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

void TPaintBox::SetOnPaint(TPaintHandler handler) {
  FOnPaint = std::move(handler);
  update();
}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (!FOnPaint) return;
  // A picture that cannot be drawn leaves the area in its window colour; a
  // message here would only ask for the next paint.
  try {
    FOnPaint(painter);
  } catch (...) {
  }
}
