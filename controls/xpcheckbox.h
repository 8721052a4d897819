// The flat check box: three states (unchecked, checked, grayed); reading
// Checked answers true only for checked.
#pragma once

#include <QCheckBox>

enum TXPCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

class TXPCheckBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit TXPCheckBox(const QString& caption = QString(), QWidget* parent = nullptr);

  bool GetChecked() const { return State() == cbChecked; }
  // Setting the state in code raises no click event.
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TXPCheckBoxState State() const;
  void SetState(TXPCheckBoxState value);
  // A click goes unchecked -> checked (or grayed when AllowGrayed) ->
  // unchecked; grayed -> checked.
  virtual void Toggle();
  bool AllowGrayed = false;

 protected:
  void nextCheckState() override { Toggle(); }
};
