// The OK and Cancel buttons of the program's dialogs: OK is the default
// button (Enter) with modal result OK in the dialog's own scheme, Cancel
// the cancel button (Esc) with modal result Cancel in the sky scheme; each
// with its designer name.
#pragma once

#include <QRect>

#include "controls/xibutton.h"

TXiButton* MakeOkButton(QWidget* parent, const QRect& bounds,
                        TXiButton::TColorScheme scheme = TXiButton::csNeoDesert);
TXiButton* MakeCancelButton(QWidget* parent, const QRect& bounds);
