#include "controls/xpgroupbox.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "platform/windows/colors.h"

TXPGroupBox::TXPGroupBox(const QString& caption, QWidget* parent) : QWidget(parent), FCaption(caption) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(185, 105);
}

void TXPGroupBox::SetCaption(const QString& value) {
  if (value == FCaption) return;
  FCaption = value;
  update();
}

void TXPGroupBox::SetCaptionAlignment(TCaptionAlignment value) {
  if (value == FCaptionAlignment) return;
  FCaptionAlignment = value;
  update();
}

void TXPGroupBox::SetColor(TColor value) {
  FColor = value;
  update();
}

void TXPGroupBox::SetBorderColor(TColor value) {
  if (value == FBorderColor) return;
  FBorderColor = value;
  update();
}

void TXPGroupBox::SetFontColor(TColor value) {
  if (value == FFontColor) return;
  FFontColor = value;
  update();
}

void TXPGroupBox::SetBorderWidth(int value) {
  if (value == FBorderWidth) return;
  FBorderWidth = std::clamp(value, 1, 10);
  update();
}

void TXPGroupBox::SetCaptionOffset(int value) {
  if (value == FCaptionOffset) return;
  FCaptionOffset = std::clamp(value, 1, 30);
  update();
}

void TXPGroupBox::SetCornersOffset(int value) {
  if (value == FCornersOffset) return;
  FCornersOffset = std::clamp(value, 1, 30);
  update();
}

// BorderWidth - CornersOffset - 1 is negative for most settings; its
// magnitude is the size.
int TXPGroupBox::CornerSize() const { return std::abs(FBorderWidth - FCornersOffset - 1); }

void TXPGroupBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor back = ToQColor(FColor);
  painter.fillRect(rect(), back);
  painter.setFont(font());
  const int sampleHeight = QFontMetrics(font()).height();
  // The frame: its top edge runs through the middle of the caption's line.
  // The pen is centred on the outline, so the outer half of a wide pen is
  // cut at the edges; odd widths sit on pixel centres to keep edges crisp.
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(ToQColor(FBorderColor), FBorderWidth));
  painter.setBrush(back);
  const double shift = FBorderWidth % 2 ? 0.5 : 0.0;
  const QRectF frame(QPointF(shift, sampleHeight / 2 + shift), QPointF(width() - 1 + shift, height() - 1 + shift));
  const double radius = CornerSize() / 2.0;
  painter.drawRoundedRect(frame, radius, radius);
  painter.setRenderHint(QPainter::Antialiasing, false);
  // The caption on its own background breaks the top edge.
  if (FCaption.isEmpty()) return;
  const QRect text(QPoint(FCaptionOffset, 0), QPoint(width() - FCaptionOffset - 1, height() - FBorderWidth - 1));
  if (text.width() <= 0 || text.height() <= 0) return;
  const int align = FCaptionAlignment == caRight ? Qt::AlignRight : FCaptionAlignment == caCenter ? Qt::AlignHCenter : Qt::AlignLeft;
  const int flags = align | Qt::AlignTop | Qt::TextShowMnemonic;
  painter.setClipRect(text);
  painter.fillRect(painter.boundingRect(text, flags, FCaption) & text, back);
  painter.setPen(ToQColor(FFontColor));
  painter.drawText(text, flags, FCaption);
}

void TXPGroupBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FPressed = true;
  QWidget::mousePressEvent(event);
}

void TXPGroupBox::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) FPressed = false;
  QWidget::mouseReleaseEvent(event);
  if (click) emit clicked();
}

void TXPGroupBox::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  emit OnMouseEnter();
}

void TXPGroupBox::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  emit OnMouseLeave();
}

void TXPGroupBox::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange) update();
}
