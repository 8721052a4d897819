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
  if (value == cbGrayed) setTristate(true);
  setCheckState(value == cbChecked ? Qt::Checked : value == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
}
