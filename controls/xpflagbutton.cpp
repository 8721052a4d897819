#include "controls/xpflagbutton.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/windows/colors.h"

TXPFlagButton::TXPFlagButton(const QString& caption, QWidget* parent, int width)
    : QWidget(parent), FCaption(caption) {
  // A Tab stop; the mouse gives the focus only through a left press (below),
  // so a right or middle click leaves it where it is.
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(width, 17);
}

void TXPFlagButton::SetAlignment(TXPCheckBoxAlign value) {
  if (value == FAlignment) return;
  FAlignment = value;
  update();
}

void TXPFlagButton::SetCaption(const QString& value) {
  if (value == FCaption) return;
  FCaption = value;
  updateGeometry();
  update();
}

void TXPFlagButton::SetColor(TColor value) {
  if (value == FColor) return;
  FColor = value;
  update();
}

QRect TXPFlagButton::GetFocusRect() const {
  return xpglyphs::FocusRect(FAlignment, width(), height(), FCaption, font());
}

QSize TXPFlagButton::sizeHint() const {
  const QFontMetrics metrics(font());
  const int text = FCaption.isEmpty() ? 0 : metrics.size(Qt::TextShowMnemonic, FCaption).width();
  return QSize(xpglyphs::BoxSize + 5 + text + 4, std::max(17, metrics.height() + 2));
}

void TXPFlagButton::paintEvent(QPaintEvent*) {
  if (!FPaint.MayPaint()) return;
  QPainter painter(this);
  const QColor back = ToQColor(FColor);
  painter.fillRect(rect(), back);
  DrawFlag(painter, xpglyphs::BoxLeft(FAlignment, width()), xpglyphs::BoxTop(height()));
  painter.setFont(font());
  const QRect captionRect = xpglyphs::CaptionRect(FAlignment, width(), height(), QFontMetrics(font()).height());
  // The caption keeps the font's colour in every state: only the picture
  // tells a disabled control.
  const QColor text = palette().color(QPalette::Active, QPalette::WindowText);
  xpglyphs::DrawCaption(painter, captionRect, FCaption, text, back);
  if (hasFocus()) xpglyphs::DrawFocusRect(painter, GetFocusRect(), text);
}

void TXPFlagButton::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || FPressed) return;
  FPressed = true;
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  RedrawFlag();
  MousePressed();
}

void TXPFlagButton::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  // The mouse stays with the control while the button is held, so a
  // release outside it still counts.
  if (event->button() == Qt::LeftButton && TakePress()) PressReleased();
}

bool TXPFlagButton::TakePress() {
  if (!FPressed) return false;
  FPressed = false;
  RedrawFlag();
  return true;
}

void TXPFlagButton::keyPressEvent(QKeyEvent* event) {
  xpglyphs::TPaintSwitch::TPause pause(FPaint);
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && event->key() == Qt::Key_Space) {
    if (!FPressed) {
      FPressed = true;
      RedrawFlag();
    }
    event->accept();
    return;
  }
  if (plain && KeyPressed(event->key())) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TXPFlagButton::keyReleaseEvent(QKeyEvent* event) {
  // Holding a key repeats presses only; the action comes at the real release.
  if (event->isAutoRepeat() || !FPressed) {
    QWidget::keyReleaseEvent(event);
    return;
  }
  xpglyphs::TPaintSwitch::TPause pause(FPaint);
  event->accept();
  TakePress();
  PressReleased();
}

void TXPFlagButton::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TXPFlagButton::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  // A press the control no longer sees the end of must not act later.
  FPressed = false;
  update();
}

void TXPFlagButton::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  FMouseIn = true;
  RedrawFlag();
  emit OnMouseEnter();
}

void TXPFlagButton::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  FMouseIn = false;
  RedrawFlag();
  emit OnMouseLeave();
}

void TXPFlagButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
}
