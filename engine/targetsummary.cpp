#include "engine/targetsummary.h"

#include <cstdio>

namespace {

const TTargetFormat kFormats[TargetFormatCount] = {
    {"bmp", ".bmp", "BMP tunning"},
    {"jpg", ".jpg", "JPG tunning"},
    {"gif", ".gif", "GIF tunning"},
    {"png", ".png", "PNG tunning"},
};

struct TColorName {
  TColor Color;
  const char* Name;
};

// The standard colours, then the system colours in the order of their
// index (clScrollBar is index 0, clInfoBk index 24).
const TColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
};

const char* const kSystemColorNames[] = {
    "clScrollBar",   "clBackground",     "clActiveCaption", "clInactiveCaption",     "clMenu",
    "clWindow",      "clWindowFrame",    "clMenuText",      "clWindowText",          "clCaptionText",
    "clActiveBorder", "clInactiveBorder", "clAppWorkSpace", "clHighlight",           "clHighlightText",
    "clBtnFace",     "clBtnShadow",      "clGrayText",      "clBtnText",             "clInactiveCaptionText",
    "clBtnHighlight", "cl3DDkShadow",    "cl3DLight",       "clInfoText",            "clInfoBk",
};

}  // namespace

const TTargetFormat* FindTargetFormat(int format) {
  return format >= 0 && format < TargetFormatCount ? &kFormats[format] : nullptr;
}

int TargetFormatOfCaption(const std::string& caption) {
  for (int i = 0; i < TargetFormatCount; ++i)
    if (caption == kFormats[i].Caption) return i;
  return -1;
}

std::string ColorToString(TColor color) {
  for (const TColorName& entry : kColorNames)
    if (entry.Color == color) return entry.Name;
  const uint32_t value = static_cast<uint32_t>(color);
  const uint32_t index = value & 0xFFFFFFu;
  constexpr uint32_t count = sizeof kSystemColorNames / sizeof kSystemColorNames[0];
  if ((value & 0xFF000000u) == (static_cast<uint32_t>(clScrollBar) & 0xFF000000u) && index < count)
    return kSystemColorNames[index];
  char text[16];
  std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(value));
  return text;
}

std::vector<std::string> TargetSummaryLines(const TJobRecord& job, int format) {
  auto flag = [](bool on) { return std::string(on ? "true" : "false"); };
  switch (format) {
    case 0:
      return {"Target: BMP files", job.BmpPixelFormatText};
    case 1:
      return {"Target: JPG files", "Compress: " + IntToStr(job.JpegQuality)};
    case 2:
      return {"Target: GIF files",
              "Colors: " + job.GifColorsText,
              "Reduction: " + job.GifColorReductionText,
              "Dither: " + job.GifDitherText,
              job.GifCompression == gcLZW ? "Compress: LZW" : "Compress: RLE",
              "Transparency: " + flag(job.GifTransparent)};
    case 3:
      return {"Target: PNG files", "Compress: " + IntToStr(job.PngCompressionLevel),
              "Transp. color: " + ColorToString(job.PngTransparentColor), "Interlace: " + flag(job.PngInterlace)};
    default:
      return {};
  }
}
