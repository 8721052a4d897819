// What the flat check box and the flat radio button share: a 13 x 13 flag
// box beside its caption, the caption's alignment and accelerator, the
// background colour, the hover and press state, the focus rectangle, and
// the user's action by a left click or Space. A press is taken at its
// release; a press whose end the control no longer sees (the focus went
// elsewhere) does nothing. Only a left press takes the focus: a right or
// middle one leaves it, and the flag, as they are. Setting a state in code
// raises nothing.
#pragma once

#include <QWidget>

#include "controls/xpglyphs.h"
#include "platform/graphics/gdi.h"

class TXPFlagButton : public QWidget {
  Q_OBJECT

 public:
  TXPCheckBoxAlign Alignment() const { return FAlignment; }
  void SetAlignment(TXPCheckBoxAlign value);
  // The caption; "&" marks the accelerator letter.
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& value);
  // Background of the whole control (default the window colour).
  TColor Color() const { return FColor; }
  void SetColor(TColor value);

  // Where the dotted focus rectangle goes (it may reach past the edges).
  QRect GetFocusRect() const;
  bool MouseIn() const { return FMouseIn; }
  // Left button or Space held down on the control.
  bool Pressed() const { return FPressed; }

  QSize sizeHint() const override;

 signals:
  // A user action on the control (what counts is the control's own rule).
  void clicked();
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  TXPFlagButton(const QString& caption, QWidget* parent, int width);

  // Draws the flag box with its top-left corner at (x, y).
  virtual void DrawFlag(QPainter& painter, int x, int y) const = 0;
  // The left button went down on the control (the press is already shown).
  virtual void MousePressed() {}
  // A plain key other than Space: answers whether the control took it.
  virtual bool KeyPressed(int /*key*/) { return false; }
  // The user's press ended: a left release or the release of Space.
  virtual void PressReleased() = 0;
  // Ends a press the control holds (answers false when it holds none).
  bool TakePress();
  void RedrawFlag() { update(); }

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  TXPCheckBoxAlign FAlignment = taLeft;
  QString FCaption;
  TColor FColor = clWindow;
  bool FMouseIn = false;
  bool FPressed = false;
  xpglyphs::TPaintSwitch FPaint{this};
};
