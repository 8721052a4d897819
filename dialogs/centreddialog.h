// The base of the program's dialogs: each opens centred on the screen its
// owner window is on, not over the window that opened it.
#pragma once

#include <QDialog>

class TCentredDialog : public QDialog {
  Q_OBJECT

 public:
  using QDialog::QDialog;

 protected:
  // Each time the program shows the dialog it is placed anew.
  void showEvent(QShowEvent* event) override;
};

// Moves the window so that its frame is centred on the usable area of the
// screen its owner (or, without one, the window itself) is on; a window
// larger than that area keeps its top-left corner, title bar included, on
// the screen.
void CentreOnScreen(QWidget& window);
