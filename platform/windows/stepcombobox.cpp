#include "platform/windows/stepcombobox.h"

namespace {

const char* const SteppingProperty = "brightmillStepping";

// Marks the box as stepped for as long as it lives.
class TStepping {
 public:
  explicit TStepping(QComboBox* box) : FBox(box) { FBox->setProperty(SteppingProperty, true); }
  ~TStepping() { FBox->setProperty(SteppingProperty, false); }
  TStepping(const TStepping&) = delete;
  TStepping& operator=(const TStepping&) = delete;

 private:
  QComboBox* FBox;
};

}  // namespace

bool TStepComboBox::Stepping(const QComboBox* box) { return box && box->property(SteppingProperty).toBool(); }

void TStepComboBox::keyPressEvent(QKeyEvent* event) {
  TStepping stepping(this);
  QComboBox::keyPressEvent(event);
}

void TStepComboBox::wheelEvent(QWheelEvent* event) {
  TStepping stepping(this);
  QComboBox::wheelEvent(event);
}
