// Colour values of the picture layer (0x00BBGGRR, system colours with the
// top byte 0xFF) as Qt colours. Every control and window goes through here.
#pragma once

#include <QColor>

#include "platform/graphics/gdi.h"

// System colours are resolved first; clNone and clDefault give black.
QColor ToQColor(TColor color);
// The reverse, without system colours.
TColor FromQColor(const QColor& color);
