// The flat radio button: a 13 x 13 round button drawn from small pictures
// (blue rim, orange hover ring, green dot, grey forms when disabled) beside
// its caption. The TXPRadioButton children of one parent form a group: at
// most one of them is checked, only that one is reached by Tab, and the
// arrow keys move to the neighbouring button and check it.
#pragma once

#include <QWidget>

#include "controls/xpglyphs.h"
#include "platform/gdi.h"

using TXPRadioButtonAlign = TXPCheckBoxAlign;

class TXPRadioButton : public QWidget {
  Q_OBJECT

 public:
  explicit TXPRadioButton(const QString& caption = QString(), QWidget* parent = nullptr);
  ~TXPRadioButton() override;

  bool Checked() const { return FChecked; }
  // Checking unchecks the group's other buttons. Raises nothing.
  void SetChecked(bool value);
  // The sibling pass alone: every other TXPRadioButton of the same parent
  // unchecked.
  void UnCheck();

  TXPRadioButtonAlign Alignment() const { return FAlignment; }
  void SetAlignment(TXPRadioButtonAlign value);
  // The caption; "&" marks the accelerator letter.
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& value);
  // Background of the whole control (default the window colour).
  TColor Color() const { return FColor; }
  void SetColor(TColor value);

  QRect GetFocusRect() const;
  bool MouseIn() const { return FMouseIn; }
  // Left button or Space held down on the button.
  bool Pressed() const { return FPressed; }

  QSize sizeHint() const override;

 signals:
  // A user action (mouse press or release, Space, an arrow key) turned the
  // button on. Setting Checked in code, focus and clicking a button that is
  // already on raise nothing.
  void clicked();
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  bool event(QEvent* event) override;
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
  void RedrawFlag() { update(); }
  // Checks the button for the user: raises clicked() when it was off.
  void UserCheck();
  // Moves the focus to the next (+1) or previous (-1) button of the group
  // and checks it.
  void MoveInGroup(int step);

  bool FChecked = false;
  TXPRadioButtonAlign FAlignment = taLeft;
  QString FCaption;
  TColor FColor = clWindow;
  bool FMouseIn = false;
  bool FPressed = false;
  xpglyphs::TPaintSwitch FPaint{this};
};
