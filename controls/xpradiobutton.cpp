#include "controls/xpradiobutton.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <vector>

#include "platform/windows/colors.h"

namespace {

using xpglyphs::FromArt;
using xpglyphs::Mix;

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
// one while none is checked. The others still take the focus from a left
// press and the arrow keys, which give it themselves.
void UpdateTabStops(QWidget* parent) {
  const std::vector<TXPRadioButton*> group = Group(parent);
  TXPRadioButton* stop = nullptr;
  for (TXPRadioButton* button : group)
    if (Reachable(button) && (button->Checked() || !stop)) {
      stop = button;
      if (button->Checked()) break;
    }
  for (TXPRadioButton* button : group) button->setFocusPolicy(button == stop ? Qt::TabFocus : Qt::NoFocus);
}

// For a parent the button is leaving: once the event loop runs again (and
// only while the parent lives).
void UpdateTabStopsLater(QWidget* parent) {
  if (parent) QMetaObject::invokeMethod(parent, [parent] { UpdateTabStops(parent); }, Qt::QueuedConnection);
}

}  // namespace

TXPRadioButton::TXPRadioButton(const QString& caption, QWidget* parent) : TXPFlagButton(caption, parent, 113) {
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
  return TXPFlagButton::event(event);
}

void TXPRadioButton::DrawFlag(QPainter& painter, int x, int y) const {
  const TRadioPictures& p = Pictures();
  if (isEnabled()) {
    painter.drawImage(x, y, Pressed() ? p.Pressed : p.Normal);
    if (MouseIn() && !Pressed()) painter.drawImage(x + 1, y + 1, p.Hover);
    if (FChecked) painter.drawImage(x + 4, y + 4, p.Flag);
  } else {
    painter.drawImage(x, y, p.Disabled);
    if (FChecked) painter.drawImage(x + 4, y + 4, p.DisabledFlag);
  }
}

bool TXPRadioButton::KeyPressed(int key) {
  if (key == Qt::Key_Up || key == Qt::Key_Left) MoveInGroup(-1);
  else if (key == Qt::Key_Down || key == Qt::Key_Right) MoveInGroup(+1);
  else return false;
  return true;
}

void TXPRadioButton::changeEvent(QEvent* event) {
  TXPFlagButton::changeEvent(event);
  if (event->type() == QEvent::EnabledChange && parentWidget()) UpdateTabStops(parentWidget());
}
