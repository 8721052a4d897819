// The flat check box: a 13 x 13 box drawn from small pictures (shaded face,
// orange hover ring, green tick or square, grey forms when disabled) beside
// its caption. Three states; a left click or Space toggles it and raises
// clicked(); the release of any other mouse button raises clicked() without
// a toggle; setting the state in code raises nothing.
#pragma once

#include <cstdint>

#include "controls/xpflagbutton.h"

enum TXPCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

class TXPCheckBox : public TXPFlagButton {
  Q_OBJECT

 public:
  explicit TXPCheckBox(const QString& caption = QString(), QWidget* parent = nullptr);

  // Checked reads true only for cbChecked (a grayed box reads false).
  bool GetChecked() const { return FState == cbChecked; }
  bool Checked() const { return GetChecked(); }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TXPCheckBoxState State() const { return FState; }
  void SetState(TXPCheckBoxState value);
  // A user toggle goes unchecked -> checked (or grayed when AllowGrayed) ->
  // unchecked; grayed -> checked.
  virtual void Toggle();

  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool value) { FAllowGrayed = value; }

 protected:
  void DrawFlag(QPainter& painter, int x, int y) const override;
  // The release of a Space press: a toggle, and clicked().
  void PressReleased() override;
  // Every mouse button's release raises clicked(), after the toggle that
  // ends a left press.
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TXPCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
};
