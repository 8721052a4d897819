// The gradient track bar: the slider of the effect and JPEG dialogs. A
// gradient-filled slide with a gradient-filled thumb the user drags, tick
// marks on request, and colours for the thumb's normal, hot and pressed
// looks and for a disabled bar. It takes no keyboard focus and answers no
// keys.
//
// Position stays within Min ... Max (Max wins when Min > Max). SetPosition
// signals OnChange every time, also with an unchanged value; SetMin and
// SetMax pull Position in silently. A drag snaps the thumb to the pixel of
// the rounded position and signals on every move.
#pragma once

#include <QRect>
#include <QWidget>
#include <array>
#include <memory>

#include "controls/xigradient.h"
#include "platform/graphics/gdi.h"

class QPainter;

class TStringList;

class TXiTrackBar : public QWidget {
  Q_OBJECT

 public:
  enum TColorScheme : uint8_t { csCustom, csDesert, csGrass, csSilver, csSky, csRose, csSun };
  // The thumb's look (bsUp is never entered).
  enum TBtnState : uint8_t { bsUp, bsOver, bsDown, bsOut };
  enum TTickStyle : uint8_t { tsNone, tsAuto, tsManual };
  enum TTickMark : uint8_t { tmBottomRight, tmTopLeft, tmBoth };
  enum TTrackBarOrientation : uint8_t { trHorizontal, trVertical };
  // The lines of a gradient run down (horizontal) or across (vertical)
  // the filled rectangle; the bar never fills diagonally.
  enum TFillDirection : uint8_t { fdHorizontal = gdHorizontal, fdVertical = gdVertical, fdDiagonal = gdDiagonal };

  explicit TXiTrackBar(QWidget* parent = nullptr);

  // The 21 colours by index: 0 BackColor, 1 TickColor, 2 DisabledTickColor,
  // 10-12 slide border, face, grad, 13-15 the same disabled, 16-18 disabled
  // thumb border, face, grad, 20-22 thumb, 30-32 hot thumb, 40-42 pressed
  // thumb. Setting any index (also one that names no colour, which stores
  // nothing) makes the scheme csCustom.
  TColor Colors(int index) const;
  void SetColors(int index, TColor value);

#define XI_TRACKBAR_COLOR(Name, Index)            \
  TColor Name() const { return FColors[Index]; } \
  void Set##Name(TColor value) { SetColors(Index, value); }
  XI_TRACKBAR_COLOR(BackColor, 0)
  XI_TRACKBAR_COLOR(TickColor, 1)
  XI_TRACKBAR_COLOR(DisabledTickColor, 2)
  XI_TRACKBAR_COLOR(SlideBorderColor, 10)
  XI_TRACKBAR_COLOR(SlideFaceColor, 11)
  XI_TRACKBAR_COLOR(SlideGradColor, 12)
  XI_TRACKBAR_COLOR(DisabledSlideBorderColor, 13)
  XI_TRACKBAR_COLOR(DisabledSlideFaceColor, 14)
  XI_TRACKBAR_COLOR(DisabledSlideGradColor, 15)
  XI_TRACKBAR_COLOR(DisabledThumbBorderColor, 16)
  XI_TRACKBAR_COLOR(DisabledThumbFaceColor, 17)
  XI_TRACKBAR_COLOR(DisabledThumbGradColor, 18)
  XI_TRACKBAR_COLOR(ThumbBorderColor, 20)
  XI_TRACKBAR_COLOR(ThumbFaceColor, 21)
  XI_TRACKBAR_COLOR(ThumbGradColor, 22)
  XI_TRACKBAR_COLOR(OverThumbBorderColor, 30)
  XI_TRACKBAR_COLOR(OverThumbFaceColor, 31)
  XI_TRACKBAR_COLOR(OverThumbGradColor, 32)
  XI_TRACKBAR_COLOR(DownThumbBorderColor, 40)
  XI_TRACKBAR_COLOR(DownThumbFaceColor, 41)
  XI_TRACKBAR_COLOR(DownThumbGradColor, 42)
#undef XI_TRACKBAR_COLOR

  // A named scheme sets all 21 colours; csCustom sets none.
  TColorScheme ColorScheme() const { return FColorScheme; }
  void SetColorScheme(TColorScheme value);
  // The current colours as 21 assignment lines to the colour fields
  // ("                FBackColor:=clBtnFace;"), for taking a look that was
  // tuned by hand into a scheme.
  std::unique_ptr<TStringList> GetColorScheme() const;

  // The corner pixels of the slide and the thumb take BackColor.
  bool SmoothCorners() const { return FSmoothCorners; }
  void SetSmoothCorners(bool value);

  int Position() const { return FPosition; }
  void SetPosition(int value);
  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  // Every Frequency-th step gets a tick with tsAuto (0: every step).
  int Frequency() const { return FFrequency; }
  void SetFrequency(int value);
  TTickStyle TickStyle() const { return FTickStyle; }
  void SetTickStyle(TTickStyle value);
  TTickMark TickMarks() const { return FTickMarks; }
  void SetTickMarks(TTickMark value);
  TTrackBarOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TTrackBarOrientation value);

  // The geometry, worked out from the current size and Position (also
  // before the bar is first shown): the thumb's extent across the slide
  // and along it, the pixel range of the thumb's offset, the offset itself,
  // and the thumb and slide rectangles.
  int ThumbLength() const;
  int ThumbWidth() const { return ThumbLength() / 2; }
  int TrackLength() const;
  int ThumbOffset() const;
  QRect ThumbRect() const;
  QRect SlideRect() const;
  TBtnState ThumbState() const { return FState; }

  // The slider's hint; it pops up over the bar only while ShowHint is on
  // (the default).
  QString Hint() const { return toolTip(); }
  void SetHint(const QString& value) { setToolTip(value); }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value) { FShowHint = value; }

  // Whether (x, y) lies inside the rectangle, all four edges counting as
  // outside.
  static bool PointInRect(int x, int y, const QRect& rect);
  // Fills the rectangle with lines running from start towards end, one
  // step a line: fdVertical rows from the top, fdHorizontal columns from
  // the left; the last line stops one step short of end.
  static void GradientFillRect(QPainter& canvas, const QRect& rect, TColor start, TColor end,
                               TFillDirection direction);

  QSize sizeHint() const override { return QSize(100, 28); }

 signals:
  void OnChange();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetLook(TBtnState state);

  std::array<TColor, 43> FColors{};
  TColorScheme FColorScheme = csDesert;
  bool FSmoothCorners = true;
  int FPosition = 0, FMin = 0, FMax = 10, FFrequency = 1;
  TTickStyle FTickStyle = tsNone;
  TTickMark FTickMarks = tmBottomRight;
  TTrackBarOrientation FOrientation = trHorizontal;
  TBtnState FState = bsOut;
  bool FShowHint = true;
};
