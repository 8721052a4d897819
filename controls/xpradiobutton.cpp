#include "controls/xpradiobutton.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <vector>

#include "platform/windows/colors.h"

namespace {

using xpglyphs::FromArt;

QRgb Mix(QRgb from, QRgb to, double t) {
  auto channel = [t](int a, int b) { return int(a + (b - a) * t + 0.5); };
  return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)), channel(qBlue(from), qBlue(to)));
}

// A 13 x 13 round button: rim colour, face shaded diagonally.
QImage Button(QRgb rim, QRgb faceFrom, QRgb faceTo) {
  return FromArt({"....#####....",
                  "..##fffff##..",
                  ".#fffffffff#.",
                  ".#fffffffff#.",
                  "#fffffffffff#",
                  "#fffffffffff#",
                  "#fffffffffff#",
                  "#fffffffffff#",
                  "#fffffffffff#",
                  ".#fffffffff#.",
                  ".#fffffffff#.",
                  "..##fffff##..",
                  "....#####...."},
                 [=](char c, int x, int y) { return c == '#' ? rim : Mix(faceFrom, faceTo, (x + y) / 24.0); });
}

QImage Dot(QRgb colour) {
  return FromArt({".###.",
                  "#####",
                  "#####",
                  "#####",
                  ".###."},
                 [colour](char, int, int) { return colour; });
}

// The six pictures, made once.
struct TRadioPictures {
  QImage Normal, Pressed, Hover, Flag, Disabled, DisabledFlag;

  TRadioPictures() {
    const QRgb rim = ToQColor(0x80501F).rgb();
    Normal = Button(rim, qRgb(220, 220, 214), qRgb(255, 255, 255));
    Pressed = Button(rim, qRgb(176, 172, 156), qRgb(230, 228, 216));
    Hover = FromArt({"...ooooo...",
                     ".ooyyyyyoo.",
                     ".oyy...yyo.",
                     "oyy.....yyo",
                     "oy.......yo",
                     "oy.......yo",
                     "oy.......yo",
                     "oyy.....yyo",
                     ".oyy...yyo.",
                     ".ooyyyyyoo.",
                     "...ooooo..."},
                    [](char c, int, int) { return c == 'o' ? qRgb(248, 179, 48) : qRgb(252, 214, 110); });
    Flag = Dot(qRgb(33, 161, 33));
    Disabled = Button(ToQColor(0xBFC8CF).rgb(), qRgb(255, 255, 255), qRgb(255, 255, 255));
    DisabledFlag = Dot(qRgb(196, 192, 174));
  }
};

const TRadioPictures& Pictures() {
  static const TRadioPictures pictures;
  return pictures;
}

void DrawFlag(QPainter& painter, int x, int y, const QColor& back, bool checked, bool enabled, bool mouseIn,
              bool pressed) {
  const TRadioPictures& p = Pictures();
  painter.fillRect(x, y, xpglyphs::BoxSize, xpglyphs::BoxSize, back);
  if (enabled) {
    painter.drawImage(x, y, pressed ? p.Pressed : p.Normal);
    if (mouseIn && !pressed) painter.drawImage(x + 1, y + 1, p.Hover);
    if (checked) painter.drawImage(x + 4, y + 4, p.Flag);
  } else {
    painter.drawImage(x, y, p.Disabled);
    if (checked) painter.drawImage(x + 4, y + 4, p.DisabledFlag);
  }
}

// The buttons of the parent's group, in child order.
std::vector<TXPRadioButton*> Group(QWidget* parent) {
  std::vector<TXPRadioButton*> group;
  if (!parent) return group;
  for (QObject* child : parent->children())
    if (auto* button = qobject_cast<TXPRadioButton*>(child)) group.push_back(button);
  return group;
}

bool Reachable(const TXPRadioButton* button) { return button->isEnabled() && !button->isHidden(); }

// Only one button of a group is a Tab stop: the checked one, or the first
// one while none is checked. The others still take the focus from the mouse
// and the arrow keys.
void UpdateTabStops(QWidget* parent) {
  const std::vector<TXPRadioButton*> group = Group(parent);
  TXPRadioButton* stop = nullptr;
  for (TXPRadioButton* button : group)
    if (Reachable(button) && (button->Checked() || !stop)) {
      stop = button;
      if (button->Checked()) break;
    }
  for (TXPRadioButton* button : group) button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

// For a parent the button is leaving: once the event loop runs again (and
// only while the parent lives).
void UpdateTabStopsLater(QWidget* parent) {
  if (parent) QMetaObject::invokeMethod(parent, [parent] { UpdateTabStops(parent); }, Qt::QueuedConnection);
}

}  // namespace

TXPRadioButton::TXPRadioButton(const QString& caption, QWidget* parent) : QWidget(parent), FCaption(caption) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(113, 17);
  UpdateTabStops(parentWidget());
}

TXPRadioButton::~TXPRadioButton() { UpdateTabStopsLater(parentWidget()); }

void TXPRadioButton::SetChecked(bool value) {
  if (value == FChecked) return;
  UnCheck();
  FChecked = value;
  RedrawFlag();
  if (parentWidget()) UpdateTabStops(parentWidget());
}

void TXPRadioButton::UnCheck() {
  for (TXPRadioButton* button : Group(parentWidget()))
    if (button != this) button->SetChecked(false);
}

void TXPRadioButton::SetAlignment(TXPRadioButtonAlign value) {
  if (value == FAlignment) return;
  FAlignment = value;
  update();
}

void TXPRadioButton::SetCaption(const QString& value) {
  if (value == FCaption) return;
  FCaption = value;
  updateGeometry();
  update();
}

void TXPRadioButton::SetColor(TColor value) {
  if (value == FColor) return;
  FColor = value;
  update();
}

QRect TXPRadioButton::GetFocusRect() const {
  return xpglyphs::FocusRect(FAlignment, width(), height(), FCaption, font());
}

QSize TXPRadioButton::sizeHint() const {
  const QFontMetrics metrics(font());
  const int text = FCaption.isEmpty() ? 0 : metrics.size(Qt::TextShowMnemonic, FCaption).width();
  return QSize(xpglyphs::BoxSize + 5 + text + 4, std::max(17, metrics.height() + 2));
}

void TXPRadioButton::UserCheck() {
  if (FChecked) return;
  SetChecked(true);
  emit clicked();
}

void TXPRadioButton::MoveInGroup(int step) {
  std::vector<TXPRadioButton*> group;
  for (TXPRadioButton* button : Group(parentWidget()))
    if (button == this || Reachable(button)) group.push_back(button);
  const int count = int(group.size());
  int index = 0;
  while (index < count && group[index] != this) ++index;
  if (count < 2 || index == count) return;
  TXPRadioButton* target = group[(index + step + count) % count];
  target->setFocus(Qt::OtherFocusReason);
  target->UserCheck();
}

bool TXPRadioButton::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentAboutToChange: UpdateTabStopsLater(parentWidget()); break;
    case QEvent::ParentChange:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
      if (parentWidget()) UpdateTabStops(parentWidget());
      break;
    default: break;
  }
  return QWidget::event(event);
}

void TXPRadioButton::paintEvent(QPaintEvent*) {
  if (!FPaint.MayPaint()) return;
  QPainter painter(this);
  const QColor back = ToQColor(FColor);
  painter.fillRect(rect(), back);
  DrawFlag(painter, xpglyphs::BoxLeft(FAlignment, width()), xpglyphs::BoxTop(height()), back, FChecked, isEnabled(),
           FMouseIn, FPressed);
  painter.setFont(font());
  const QRect text = xpglyphs::CaptionRect(FAlignment, width(), height(), QFontMetrics(font()).height());
  xpglyphs::DrawCaption(painter, text, FCaption, palette().color(QPalette::WindowText), back);
  if (hasFocus()) xpglyphs::DrawFocusRect(painter, GetFocusRect(), palette().color(QPalette::WindowText));
}

void TXPRadioButton::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || FPressed) return;
  setFocus(Qt::MouseFocusReason);
  FPressed = true;
  RedrawFlag();
  UserCheck();
}

void TXPRadioButton::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || !FPressed) return;
  FPressed = false;
  RedrawFlag();
  // On again when code turned it off while the button was held.
  UserCheck();
}

void TXPRadioButton::keyPressEvent(QKeyEvent* event) {
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
  if (plain && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Left)) {
    event->accept();
    MoveInGroup(-1);
    return;
  }
  if (plain && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Right)) {
    event->accept();
    MoveInGroup(+1);
    return;
  }
  QWidget::keyPressEvent(event);
}

void TXPRadioButton::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat() || !FPressed) {
    QWidget::keyReleaseEvent(event);
    return;
  }
  xpglyphs::TPaintSwitch::TPause pause(FPaint);
  event->accept();
  FPressed = false;
  RedrawFlag();
  UserCheck();
}

void TXPRadioButton::focusInEvent(QFocusEvent* event) {
  // Gaining the focus checks nothing by itself: not from Tab (which only
  // reaches the checked button), a window activation or a closed popup.
  QWidget::focusInEvent(event);
  update();
}

void TXPRadioButton::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  FPressed = false;
  update();
}

void TXPRadioButton::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  FMouseIn = true;
  RedrawFlag();
  emit OnMouseEnter();
}

void TXPRadioButton::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  FMouseIn = false;
  RedrawFlag();
  emit OnMouseLeave();
}

void TXPRadioButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    if (parentWidget()) UpdateTabStops(parentWidget());
    update();
  }
  if (event->type() == QEvent::FontChange) update();
}
