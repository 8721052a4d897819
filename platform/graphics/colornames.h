// Names of colours as the program shows them in its summaries.
#pragma once

#include <string>

#include "platform/graphics/gdi.h"

// The name of one of the 16 standard colours ("clGreen") or of the 25 system
// colours ("clBtnFace"); any other value gives "$" and the value as eight
// upper-case hexadecimal digits ("$1FFFFFFF" for clNone).
std::string ColorToString(TColor color);
