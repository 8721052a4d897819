#include "platform/windows/colors.h"

QColor ToQColor(TColor color) {
  color = ColorToRGB(color);
  if (color == clNone || color == clDefault) return QColor(0, 0, 0);
  return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

TColor FromQColor(const QColor& color) { return RGB(color.red(), color.green(), color.blue()); }
