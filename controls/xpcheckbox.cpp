#include "controls/xpcheckbox.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/windows/colors.h"

namespace {

using xpglyphs::FromArt;
using xpglyphs::Mix;

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

}  // namespace

TXPCheckBox::TXPCheckBox(const QString& caption, QWidget* parent) : TXPFlagButton(caption, parent, 97) {}

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

void TXPCheckBox::DrawFlag(QPainter& painter, int x, int y) const {
  const TCheckPictures& p = Pictures();
  if (isEnabled()) {
    painter.drawImage(x, y, Pressed() ? p.Pressed : p.Normal);
    if (MouseIn() && !Pressed()) painter.drawImage(x + 1, y + 1, p.Hover);
    if (FState == cbChecked) painter.drawImage(x + 3, y + 3, p.Flag);
    if (FState == cbGrayed) painter.drawImage(x + 3, y + 3, p.Grayed);
  } else {
    painter.drawImage(x, y, p.Disabled);
    if (FState == cbChecked) painter.drawImage(x + 3, y + 3, p.DisabledFlag);
    if (FState == cbGrayed) painter.drawImage(x + 3, y + 3, p.DisabledGrayed);
  }
}

void TXPCheckBox::PressReleased() {
  Toggle();
  emit clicked();
}

void TXPCheckBox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton && TakePress()) Toggle();
  emit clicked();
}
