#include "controls/xpcheckbox.h"

#include <QSignalBlocker>

TXPCheckBox::TXPCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {}

TXPCheckBoxState TXPCheckBox::State() const {
  switch (checkState()) {
    case Qt::Checked: return cbChecked;
    case Qt::PartiallyChecked: return cbGrayed;
    default: return cbUnchecked;
  }
}

void TXPCheckBox::SetState(TXPCheckBoxState value) {
  if (value == State()) return;
  QSignalBlocker quiet(this);
  setTristate(value == cbGrayed);
  setCheckState(value == cbChecked ? Qt::Checked : value == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
}

void TXPCheckBox::Toggle() {
  switch (State()) {
    case cbUnchecked: SetState(AllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}
