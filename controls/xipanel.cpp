#include "controls/xipanel.h"

#include <QPainter>

#include "platform/windows/colors.h"

namespace {

// ColorFace, ColorGrad, ColorLight, ColorDark as 0xBBGGRR.
constexpr TColor kSchemes[6][4] = {
    {0xFFFFFF, 0xA4E1FF, 0x008FD5, 0x00699B},  // csDesert
    {0xFFFFFF, 0xB0F2CB, 0x3EB56A, 0x156F37},  // csGrass
    {0xFFFFFF, 0xDAE0DE, 0x7D7D7D, 0x626262},  // csSilver
    {0xFFFFFF, 0xFFE0C1, 0xF0964D, 0xB35900},  // csSky
    {0xFFFFFF, 0xCCCCFF, 0x0651CC, 0x00009D},  // csRose
    {0xFFFFFF, 0xBFFFFF, 0x009595, 0x006464},  // csSun
};

}  // namespace

TXiPanel::TXiPanel(QWidget* parent) : QWidget(parent) {
  resize(185, 41);
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetColorScheme(csDesert);
}

void TXiPanel::SetColors(int index, TColor value) {
  if (index >= 0 && index < 4) FColors[index] = value;
  FColorScheme = csCustom;
  update();
}

void TXiPanel::SetColorScheme(TColorScheme value) {
  if (value > csSun) value = csCustom;
  if (value != csCustom)
    for (int i = 0; i < 4; ++i) FColors[i] = kSchemes[value - 1][i];
  FColorScheme = value;
  update();
}

void TXiPanel::SetFillDirection(TFillDirection value) {
  FFillDirection = value;
  update();
}

void TXiPanel::SetCaption(const QString& caption) {
  FCaption = caption;
  update();
}

void TXiPanel::SetAlignment(TAlignment value) {
  FAlignment = value;
  update();
}

void TXiPanel::SetBevelInner(TPanelBevel value) {
  FBevelInner = value;
  update();
}

void TXiPanel::SetBevelOuter(TPanelBevel value) {
  FBevelOuter = value;
  update();
}

void TXiPanel::SetBevelWidth(int value) {
  FBevelWidth = std::max(value, 1);
  update();
}

void TXiPanel::GradientFillRect(QPainter& canvas, const QRect& rect, TColor start, TColor end,
                                TFillDirection direction) {
  GradientFill(canvas, rect, start, end, TGradientDirection(direction));
}

void TXiPanel::DrawBevel(QPainter& canvas, int x, int y, int w, int h, const QColor& topLeft,
                         const QColor& bottomRight) {
  DrawRing(canvas, QRect(x, y, w + 1, h + 1), topLeft, bottomRight, rcLeftEdge);
}

void TXiPanel::DrawFrame(QPainter& canvas, int start, int count, const QColor& topLeft,
                         const QColor& bottomRight) const {
  for (int i = start; i < start + count; ++i) {
    const int w = width() - 2 * i - 1, h = height() - 2 * i - 1;
    if (w < 0 || h < 0) break;
    DrawBevel(canvas, i, i, w, h, topLeft, bottomRight);
  }
}

void TXiPanel::paintEvent(QPaintEvent*) {
  const int cw = width(), ch = height();
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  GradientFillRect(painter, rect(), FColors[0], FColors[1], FFillDirection);

  if (!FCaption.isEmpty()) {
    const QFontMetrics metrics(font());
    const int tw = metrics.horizontalAdvance(FCaption);
    int x = (cw - tw) / 2;
    const bool both = FBevelInner != bvNone && FBevelOuter != bvNone;
    if (FAlignment == taLeftJustify) x = FBevelWidth + 2 + (both ? FBevelWidth : 0);
    if (FAlignment == taRightJustify) x = cw - FBevelWidth - 2 - tw - (both ? FBevelWidth : 0);
    const int y = (ch - metrics.height()) / 2;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(x, y, tw, metrics.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                     FCaption);
  }

  const QColor light = ToQColor(FColors[2]), dark = ToQColor(FColors[3]);
  if (FBevelOuter == bvLowered) DrawFrame(painter, 0, FBevelWidth, dark, light);
  if (FBevelOuter == bvRaised || FBevelOuter == bvSpace) DrawFrame(painter, 0, FBevelWidth, light, dark);
  const int inner = FBevelOuter != bvNone ? FBevelWidth : 0;
  if (FBevelInner == bvLowered) DrawFrame(painter, inner, FBevelWidth, dark, light);
  if (FBevelInner == bvRaised || FBevelInner == bvSpace) DrawFrame(painter, inner, FBevelWidth, light, dark);
}
