#include "engine/targetsummary.h"

#include "platform/graphics/colornames.h"

namespace {

const TTargetFormat kFormats[TargetFormatCount] = {
    {"bmp", ".bmp", "BMP tunning"},
    {"jpg", ".jpg", "JPG tunning"},
    {"gif", ".gif", "GIF tunning"},
    {"png", ".png", "PNG tunning"},
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
