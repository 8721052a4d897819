#include "platform/graphics/colornames.h"

#include <cstdio>

namespace {

struct NamedColor {
  TColor Color;
  const char* Name;
};

constexpr NamedColor StandardColors[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"},     {clOlive, "clOlive"},
    {clNavy, "clNavy"},   {clPurple, "clPurple"}, {clTeal, "clTeal"},       {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"},     {clLime, "clLime"},       {clYellow, "clYellow"},
    {clBlue, "clBlue"},   {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"},     {clWhite, "clWhite"},
};

// The system colours in the order of their index (clScrollBar is index 0).
constexpr const char* SystemColorNames[] = {
    "clScrollBar",        "clBackground",    "clActiveCaption", "clInactiveCaption",
    "clMenu",             "clWindow",        "clWindowFrame",   "clMenuText",
    "clWindowText",       "clCaptionText",   "clActiveBorder",  "clInactiveBorder",
    "clAppWorkSpace",     "clHighlight",     "clHighlightText", "clBtnFace",
    "clBtnShadow",        "clGrayText",      "clBtnText",       "clInactiveCaptionText",
    "clBtnHighlight",     "cl3DDkShadow",    "cl3DLight",       "clInfoText",
    "clInfoBk",
};

}  // namespace

std::string ColorToString(TColor color) {
  for (const NamedColor& named : StandardColors)
    if (named.Color == color) return named.Name;
  uint32_t value = static_cast<uint32_t>(color);
  uint32_t systemBase = static_cast<uint32_t>(clScrollBar);
  if (value >= systemBase && value - systemBase < std::size(SystemColorNames))
    return SystemColorNames[value - systemBase];
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", value);
  return text;
}
