// The gradient panel: a container whose client area is a two-colour
// gradient (horizontal, vertical or diagonal), with its bevels drawn as flat
// one-pixel rings in two colours of its own and an optional single-line
// caption. The dialogs use it as the band that holds sliders and buttons.
#pragma once

#include <QWidget>

#include "controls/xigradient.h"
#include "platform/graphics/gdi.h"

class QPainter;

class TXiPanel : public QWidget {
  Q_OBJECT

 public:
  enum TColorScheme : uint8_t { csCustom, csDesert, csGrass, csSilver, csSky, csRose, csSun };
  // Horizontal: left to right; vertical: top to bottom; diagonal: along
  // x + y from the top-left corner to the bottom-right one.
  enum TFillDirection : uint8_t { fdHorizontal = gdHorizontal, fdVertical = gdVertical, fdDiagonal = gdDiagonal };
  enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
  // bvSpace looks like bvRaised.
  enum TPanelBevel : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
  enum TBorderStyle : uint8_t { bsNone, bsSingle };

  explicit TXiPanel(QWidget* parent = nullptr);

  // The four colours by index: 0 ColorFace (gradient start), 1 ColorGrad
  // (gradient end), 2 ColorLight, 3 ColorDark (bevels). Setting any index
  // (one outside 0-3 stores nothing) makes the scheme csCustom.
  TColor Colors(int index) const { return index >= 0 && index < 4 ? FColors[index] : clNone; }
  void SetColors(int index, TColor value);
  TColor ColorFace() const { return FColors[0]; }
  void SetColorFace(TColor value) { SetColors(0, value); }
  TColor ColorGrad() const { return FColors[1]; }
  void SetColorGrad(TColor value) { SetColors(1, value); }
  TColor ColorLight() const { return FColors[2]; }
  void SetColorLight(TColor value) { SetColors(2, value); }
  TColor ColorDark() const { return FColors[3]; }
  void SetColorDark(TColor value) { SetColors(3, value); }

  // A named scheme sets all four colours; csCustom sets none.
  TColorScheme ColorScheme() const { return FColorScheme; }
  void SetColorScheme(TColorScheme value);
  TFillDirection FillDirection() const { return FFillDirection; }
  void SetFillDirection(TFillDirection value);

  QString Caption() const { return FCaption; }
  void SetCaption(const QString& caption);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel value);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int value);
  // Kept for completeness; the panel draws no border of its own.
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value) { FBorderStyle = value; }

  // The drawing steps of the panel's paint.
  // The gradient over the rectangle, from its top-left corner (GradientFill):
  // N lines (N the width, the height or their sum by direction), one step of
  // N a line, so that the end colour would be the line after the last; a
  // diagonal line i runs from (i, 0) towards (0, i), the end excluded.
  static void GradientFillRect(QPainter& canvas, const QRect& rect, TColor start, TColor end,
                               TFillDirection direction);
  // One ring: the rectangle's width w and height h taken from (x, y); the
  // left and top edges in topLeft (with the bottom-left corner), the right
  // and bottom edges in bottomRight (with the top-right corner).
  static void DrawBevel(QPainter& canvas, int x, int y, int w, int h, const QColor& topLeft,
                        const QColor& bottomRight);
  // Count nested rings of the client area from ring start inwards.
  void DrawFrame(QPainter& canvas, int start, int count, const QColor& topLeft, const QColor& bottomRight) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TColor FColors[4] = {clWhite, clWhite, clSilver, clBlack};
  TColorScheme FColorScheme = csDesert;
  TFillDirection FFillDirection = fdVertical;
  QString FCaption;
  TAlignment FAlignment = taCenter;
  TPanelBevel FBevelInner = bvNone, FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  TBorderStyle FBorderStyle = bsNone;
};
