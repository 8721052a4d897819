#include "platform/windows/stepcombobox.h"

namespace {
const char* const SteppingProperty = "brightmillStepping";
}  // namespace

bool IsStepping(const QWidget* control) { return control && control->property(SteppingProperty).toBool(); }

TSteppingMark::TSteppingMark(QWidget* control) : FControl(control) { FControl->setProperty(SteppingProperty, true); }

TSteppingMark::~TSteppingMark() { FControl->setProperty(SteppingProperty, false); }

bool TStepComboBox::Stepping(const QComboBox* box) { return IsStepping(box); }

void TStepComboBox::keyPressEvent(QKeyEvent* event) {
  TSteppingMark stepping(this);
  QComboBox::keyPressEvent(event);
}

void TStepComboBox::wheelEvent(QWheelEvent* event) {
  TSteppingMark stepping(this);
  QComboBox::wheelEvent(event);
}
