#include "dialogs/dialogbuttons.h"

TXiButton* MakeOkButton(QWidget* parent, const QRect& bounds, TXiButton::TColorScheme scheme) {
  auto* button = new TXiButton("OK", parent);
  button->setObjectName("XiButton1");
  button->setGeometry(bounds);
  // Stored as a whole scheme: the gradient ends are the scheme's own, not
  // the white a new button starts with.
  button->SetColorScheme(scheme);
  button->SetDefault(true);
  button->SetModalResult(TXiButton::mrOk);
  return button;
}

TXiButton* MakeCancelButton(QWidget* parent, const QRect& bounds) {
  auto* button = new TXiButton("Cancel", parent);
  button->setObjectName("XiButton2");
  button->setGeometry(bounds);
  button->SetColorScheme(TXiButton::csNeoSky);
  button->SetCancel(true);
  button->SetModalResult(TXiButton::mrCancel);
  return button;
}
