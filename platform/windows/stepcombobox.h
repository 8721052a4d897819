// A drop-down list that tells a change made by stepping the closed box
// (the arrow keys, a typed letter, the mouse wheel) from a pick in its open
// list. Handlers that move the focus on after a pick leave it in the box
// while the user steps through the items.
#pragma once

#include <QComboBox>

// True while the control's value is being stepped from the keyboard or the
// wheel: a drop-down list below, a radio button reached by an arrow key.
bool IsStepping(const QWidget* control);

// Marks a control as stepped for as long as it lives.
class TSteppingMark {
 public:
  explicit TSteppingMark(QWidget* control);
  ~TSteppingMark();
  TSteppingMark(const TSteppingMark&) = delete;
  TSteppingMark& operator=(const TSteppingMark&) = delete;

 private:
  QWidget* FControl;
};

class TStepComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

  // True while a change of `box` comes from stepping it; false for any
  // other box.
  static bool Stepping(const QComboBox* box);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
};
