#include "controls/xpcheckbox.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/windows/colors.h"

namespace {

using xpglyphs::FromArt;

QRgb Mix(QRgb from, QRgb to, double t) {
  auto channel = [t](int a, int b) { return int(a + (b - a) * t + 0.5); };
  return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)), channel(qBlue(from), qBlue(to)));
}

// An 11 x 11 face shaded diagonally from `from` (top left) to `to`.
QImage Face(QRgb from, QRgb to) {
  QImage face(11, 11, QImage::Format_ARGB32);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 11; ++x) face.setPixel(x, y, Mix(from, to, (x + y) / 20.0));
  return face;
}

// A 13 x 13 box: the face at (1, 1) inside a one-pixel frame.
QImage Box(const QImage& face, QRgb frame) {
  QImage box(13, 13, QImage::Format_ARGB32);
  box.fill(frame);
  QPainter painter(&box);
  painter.drawImage(1, 1, face);
  return box;
}

QImage Tick(QRgb colour) {
  return FromArt({"......#",
                  ".....##",
                  "#...###",
                  "##.###.",
                  "#####..",
                  ".###...",
                  "..#...."},
                 [colour](char, int, int) { return colour; });
}

QImage Square(QRgb colour) {
  QImage square(7, 7, QImage::Format_ARGB32);
  square.fill(colour);
  return square;
}

// The eight pictures, made once.
struct TCheckPictures {
  QImage Normal, Pressed, Hover, Flag, Grayed, Disabled, DisabledFlag, DisabledGrayed;

  TCheckPictures() {
    const QRgb frame = ToQColor(0x80501F).rgb();
    Normal = Box(Face(qRgb(220, 220, 214), qRgb(255, 255, 255)), frame);
    Pressed = Box(Face(qRgb(176, 172, 156), qRgb(230, 228, 216)), frame);
    Hover = FromArt({"ooooooooooo",
                     "oyyyyyyyyyo",
                     "oy.......yo",
                     "oy.......yo",
                     "oy.......yo",
                     "oy.......yo",
                     "oy.......yo",
                     "oy.......yo",
                     "oy.......yo",
                     "oyyyyyyyyyo",
                     "ooooooooooo"},
                    [](char c, int, int) { return c == 'o' ? qRgb(248, 179, 48) : qRgb(252, 214, 110); });
    Flag = Tick(qRgb(33, 161, 33));
    Grayed = Square(qRgb(33, 161, 33));
    QImage white(11, 11, QImage::Format_ARGB32);
    white.fill(Qt::white);
    Disabled = Box(white, ToQColor(0xBFC8CF).rgb());
    DisabledFlag = Tick(qRgb(196, 192, 174));
    DisabledGrayed = Square(qRgb(196, 192, 174));
  }
};

const TCheckPictures& Pictures() {
  static const TCheckPictures pictures;
  return pictures;
}

void DrawFlag(QPainter& painter, int x, int y, TXPCheckBoxState state, bool enabled, bool mouseIn, bool pressed) {
  const TCheckPictures& p = Pictures();
  if (enabled) {
    painter.drawImage(x, y, pressed ? p.Pressed : p.Normal);
    if (mouseIn && !pressed) painter.drawImage(x + 1, y + 1, p.Hover);
    if (state == cbChecked) painter.drawImage(x + 3, y + 3, p.Flag);
    if (state == cbGrayed) painter.drawImage(x + 3, y + 3, p.Grayed);
  } else {
    painter.drawImage(x, y, p.Disabled);
    if (state == cbChecked) painter.drawImage(x + 3, y + 3, p.DisabledFlag);
    if (state == cbGrayed) painter.drawImage(x + 3, y + 3, p.DisabledGrayed);
  }
}

}  // namespace

TXPCheckBox::TXPCheckBox(const QString& caption, QWidget* parent) : QWidget(parent), FCaption(caption) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(97, 17);
}

void TXPCheckBox::SetState(TXPCheckBoxState value) {
  if (value == FState) return;
  FState = value;
  RedrawFlag();
}

void TXPCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TXPCheckBox::SetAlignment(TXPCheckBoxAlign value) {
  if (value == FAlignment) return;
  FAlignment = value;
  update();
}

void TXPCheckBox::SetCaption(const QString& value) {
  if (value == FCaption) return;
  FCaption = value;
  updateGeometry();
  update();
}

void TXPCheckBox::SetColor(TColor value) {
  if (value == FColor) return;
  FColor = value;
  update();
}

QRect TXPCheckBox::GetFocusRect() const {
  return xpglyphs::FocusRect(FAlignment, width(), height(), FCaption, font());
}

QSize TXPCheckBox::sizeHint() const {
  const QFontMetrics metrics(font());
  const int text = FCaption.isEmpty() ? 0 : metrics.size(Qt::TextShowMnemonic, FCaption).width();
  return QSize(xpglyphs::BoxSize + 5 + text + 4, std::max(17, metrics.height() + 2));
}

void TXPCheckBox::paintEvent(QPaintEvent*) {
  if (!FPaint.MayPaint()) return;
  QPainter painter(this);
  const QColor back = ToQColor(FColor);
  painter.fillRect(rect(), back);
  DrawFlag(painter, xpglyphs::BoxLeft(FAlignment, width()), xpglyphs::BoxTop(height()), FState, isEnabled(),
           FMouseIn, FPressed);
  painter.setFont(font());
  const QRect text = xpglyphs::CaptionRect(FAlignment, width(), height(), QFontMetrics(font()).height());
  xpglyphs::DrawCaption(painter, text, FCaption, palette().color(QPalette::WindowText), back);
  if (hasFocus()) xpglyphs::DrawFocusRect(painter, GetFocusRect(), palette().color(QPalette::WindowText));
}

void TXPCheckBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !FPressed) {
    FPressed = true;
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    RedrawFlag();
  }
  event->accept();
}

void TXPCheckBox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  // The mouse stays with the box while the button is held, so a release
  // outside it still toggles.
  if (event->button() != Qt::LeftButton || !FPressed) return;
  FPressed = false;
  Toggle();
  RedrawFlag();
  emit clicked();
}

void TXPCheckBox::keyPressEvent(QKeyEvent* event) {
  xpglyphs::TPaintSwitch::TPause pause(FPaint);
  if (event->key() != Qt::Key_Space || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (!FPressed) {
    FPressed = true;
    RedrawFlag();
  }
  event->accept();
}

void TXPCheckBox::keyReleaseEvent(QKeyEvent* event) {
  // Holding a key repeats presses only; the box toggles at the real release.
  if (event->isAutoRepeat() || !FPressed) {
    QWidget::keyReleaseEvent(event);
    return;
  }
  xpglyphs::TPaintSwitch::TPause pause(FPaint);
  event->accept();
  FPressed = false;
  Toggle();
  RedrawFlag();
  emit clicked();
}

void TXPCheckBox::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TXPCheckBox::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  // A press the box no longer sees the end of must not toggle it later.
  FPressed = false;
  update();
}

void TXPCheckBox::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  FMouseIn = true;
  RedrawFlag();
  emit OnMouseEnter();
}

void TXPCheckBox::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  FMouseIn = false;
  RedrawFlag();
  emit OnMouseLeave();
}

void TXPCheckBox::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
}
