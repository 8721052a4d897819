#include "controls/xibutton.h"

TXiButton::TXiButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void TXiButton::SetAction(QAction* action) {
  FAction = action;
  setText(action->text());
  setEnabled(action->isEnabled());
  connect(action, &QAction::changed, this, [this] { setEnabled(FAction->isEnabled()); });
  connect(this, &QPushButton::clicked, action, &QAction::trigger);
}
