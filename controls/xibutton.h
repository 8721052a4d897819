// The gradient button: the push button of every window. Its face is a
// vertical two-colour gradient (or a plain colour) inside a one-pixel border
// and an optional inner 3D edge, with a centred caption, an optional glyph
// beside, above or below it and a solid focus rectangle. Each of its four
// looks (normal, hot, pressed, disabled) has its own six colours; a colour
// scheme fills all 25 colours at once. Only the left button presses it and
// takes the focus (a Tab stop's); a right or middle press changes nothing.
//
// As a dialog button it can be the window's default button (Enter) or its
// cancel button (Esc), and a click hands its modal result to the dialog it
// sits in: a non-zero result ends the dialog's exec() before the click
// handlers run (mrOk accepts, mrCancel rejects, others end it with that
// value); 0 leaves the window open. Connect to &TXiButton::clicked.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QImage>
#include <QMetaObject>
#include <QPixmap>
#include <QPointer>
#include <array>
#include <memory>

#include "platform/graphics/gdi.h"

class QPainter;
class TBitmap;
class TStringList;

class TXiButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum TColorScheme : uint8_t {
    csNeoDesert,
    csNeoSky,
    csNeoGrass,
    csNeoSilver,
    csNeoRose,
    csNeoSun,
    csDesert,
    csGrass,
    csSky,
    csSun,
    csRose,
    csSilver,
    csCustom
  };
  enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
  // The look the next paint uses.
  enum TBtnState : uint8_t { bsNormal, bsOver, bsDown };
  // Modal results.
  using TModalResult = int;
  static constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7;

  explicit TXiButton(const QString& caption = QString(), QWidget* parent = nullptr);
  ~TXiButton() override;

  // Binds the button to an action: a click triggers it, and the button
  // follows its enabled state and hint (the action's status tip); the
  // button keeps its own caption. nullptr unbinds.
  void SetAction(QAction* action);
  QAction* Action() const { return FAction; }

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption) { setText(caption); }

  // The 25 colours by index: 0-5 normal look (face = gradient start at the
  // top, grad = gradient end at the bottom, dark = lower-right inner edge,
  // light = upper-left inner edge, border, text), 6-11 hot look, 12-17
  // pressed look, 18-23 disabled look, 24 focus rectangle. Setting any
  // colour (also with an index outside 0-24, which stores nothing) makes
  // the scheme csCustom.
  TColor Colors(int index) const;
  void SetColors(int index, TColor value);

#define XI_BUTTON_COLOR(Name, Index)                \
  TColor Name() const { return FColors[Index]; }   \
  void Set##Name(TColor value) { SetColors(Index, value); }
  XI_BUTTON_COLOR(ColorFace, 0)
  XI_BUTTON_COLOR(ColorGrad, 1)
  XI_BUTTON_COLOR(ColorDark, 2)
  XI_BUTTON_COLOR(ColorLight, 3)
  XI_BUTTON_COLOR(ColorBorder, 4)
  XI_BUTTON_COLOR(ColorText, 5)
  XI_BUTTON_COLOR(OverColorFace, 6)
  XI_BUTTON_COLOR(OverColorGrad, 7)
  XI_BUTTON_COLOR(OverColorDark, 8)
  XI_BUTTON_COLOR(OverColorLight, 9)
  XI_BUTTON_COLOR(OverColorBorder, 10)
  XI_BUTTON_COLOR(OverColorText, 11)
  XI_BUTTON_COLOR(DownColorFace, 12)
  XI_BUTTON_COLOR(DownColorGrad, 13)
  XI_BUTTON_COLOR(DownColorDark, 14)
  XI_BUTTON_COLOR(DownColorLight, 15)
  XI_BUTTON_COLOR(DownColorBorder, 16)
  XI_BUTTON_COLOR(DownColorText, 17)
  XI_BUTTON_COLOR(DisabledColorFace, 18)
  XI_BUTTON_COLOR(DisabledColorGrad, 19)
  XI_BUTTON_COLOR(DisabledColorDark, 20)
  XI_BUTTON_COLOR(DisabledColorLight, 21)
  XI_BUTTON_COLOR(DisabledColorBorder, 22)
  XI_BUTTON_COLOR(DisabledColorText, 23)
  XI_BUTTON_COLOR(ColorFocusRect, 24)
#undef XI_BUTTON_COLOR

  // The last scheme applied (csCustom once a single colour was set). A Neo
  // scheme sets all 25 colours and turns Gradient on; a plain one sets all
  // but the four gradient ends and turns Gradient off; csCustom changes
  // nothing.
  TColorScheme ColorScheme() const { return FColorScheme; }
  void SetColorScheme(TColorScheme value);
  // The current colours as 25 assignment lines ("ColorFace:= $00C6ECFF;"),
  // normal, hot, pressed and disabled look (face, grad, light, dark,
  // border, text each) and the focus rectangle last, for taking a look
  // that was tuned by hand into a scheme.
  std::unique_ptr<TStringList> GetColorScheme() const;

  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool value);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout value);
  // The glyph is copied; an empty image removes it.
  const QImage& Glyph() const { return FGlyph; }
  void SetGlyph(const QImage& glyph);
  void SetGlyph(const TBitmap& glyph);
  void SetGlyph(const QPixmap& glyph) { SetGlyph(glyph.toImage()); }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int value);
  // The glyph's top-left pixel colour is drawn transparent.
  bool TransparentGlyph() const { return FTransparentGlyph; }
  void SetTransparentGlyph(bool value);
  bool Gradient() const { return FGradient; }
  void SetGradient(bool value);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool value);

  // Escape clicks this button from anywhere in its window.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool value);
  // Enter clicks this button from anywhere in its window, unless another
  // button has the focus.
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult value) { FModalResult = value; }

  TBtnState State() const { return FState; }

  // The face's vertical gradient over the rectangle: one row a step from
  // start towards end, rect's height steps in all (the row that would have
  // the end colour lies just below the rectangle).
  static void GradientFillRect(QPainter& canvas, const QRect& rect, TColor start, TColor end);

  // Hands the modal result to the dialog, shows the normal look, then
  // emits clicked() (which also triggers a bound action). A disabled button
  // does nothing.
  void Click();

  QSize sizeHint() const override;

  // Offers Enter or Escape to the buttons of a window as dialog keys: the
  // focused button takes Enter, a Cancel button Escape (both without Shift,
  // Ctrl or Alt), a Default button Enter. Answers whether one clicked.
  static bool DialogKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  // Runs inside every click, just before clicked() is emitted.
  void nextCheckState() override;

 private:
  void SetLook(TBtnState state);
  void MouseEntered();
  void MouseLeft();
  void WatchDialogKeys();
  void MakeDrawnGlyph();

  std::array<TColor, 25> FColors{};
  TColorScheme FColorScheme = csNeoDesert;
  bool FCtl3D = true;
  TButtonLayout FLayout = blGlyphLeft;
  QImage FGlyph;
  QImage FDrawnGlyph;  // the glyph as drawn (transparent colour applied)
  int FSpacing = 4;
  bool FTransparentGlyph = true;
  bool FGradient = false;
  bool FHotTrack = true;
  bool FCancel = false;
  bool FDefault = false;
  TModalResult FModalResult = mrNone;
  TBtnState FState = bsNormal;
  bool FMousePressed = false;
  bool FMouseInside = false;
  QPointer<QAction> FAction;
  QMetaObject::Connection FActionChanged, FActionTrigger;
};
