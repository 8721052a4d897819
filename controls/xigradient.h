// Two-colour gradients of the flat-look controls (button, track bar, panel),
// worked out line by line with the rounding their looks were designed with.
#pragma once

#include <QColor>
#include <vector>

#include "platform/graphics/gdi.h"

// The colours of `count` lines running from start towards end in `steps`
// equal steps: per channel a running double that starts at the start byte,
// gains (end - start) / steps after each line and is rounded half to even.
// System colours are resolved first. With steps <= 0 (a gradient with no
// extent) every line has the start colour.
std::vector<QColor> GradientColors(TColor start, TColor end, int steps, int count);
