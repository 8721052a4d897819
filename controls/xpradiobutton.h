// The flat radio button: a 13 x 13 round button drawn from small pictures
// (blue rim, orange hover ring, green dot, grey forms when disabled) beside
// its caption. The TXPRadioButton children of one parent form a group: at
// most one of them is checked, only that one is reached by Tab, and the
// arrow keys move to the neighbouring button and check it.
#pragma once

#include "controls/xpflagbutton.h"

using TXPRadioButtonAlign = TXPCheckBoxAlign;

// clicked() means a user action (mouse press or release, Space, an arrow
// key) turned the button on. Setting Checked in code, focus and clicking a
// button that is already on raise nothing.
class TXPRadioButton : public TXPFlagButton {
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

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void DrawFlag(QPainter& painter, int x, int y) const override;
  // The press checks the button at once, and its release again (when code
  // turned it off meanwhile).
  void MousePressed() override { UserCheck(); }
  void PressReleased() override { UserCheck(); }
  // The arrow keys move to the neighbouring button and check it.
  bool KeyPressed(int key) override;

 private:
  // Checks the button for the user: raises clicked() when it was off.
  void UserCheck();
  // Moves the focus to the next (+1) or previous (-1) button of the group
  // and checks it.
  void MoveInGroup(int step);

  bool FChecked = false;
};
