#include "engine/targetconversion.h"

#include <cstdio>

#include <jpeglib.h>

#include "engine/jobrecord.h"
#include "platform/graphics/jpeg.h"

static_assert(kMostJpegSide == JPEG_MAX_DIMENSION);

TGifConversion GifConversionOf(const TJobValues& job) {
  TGifConversion options;
  options.Reduction = job.GifColorReduction;
  options.ColorBits = job.GifColorBits;
  options.Dither = job.GifDitherMode;
  options.Compression = job.GifCompression;
  options.Transparent = job.GifTransparent;
  options.TransparentColor = job.GifTransparentColor;
  return options;
}

void ConvertToTargetGif(TBitmap& bitmap, const TGifConversion& options, TGIFImage& gif) {
  if (options.Transparent) {
    bitmap.SetTransparent(true);
    if (options.TransparentColor != clNone) bitmap.SetTransparentColor(options.TransparentColor);
  }
  gif.ColorReduction = options.Reduction;
  gif.SetReductionBits(options.ColorBits);
  gif.DitherMode = options.Dither;
  gif.Compression = options.Compression;
  gif.Assign(&bitmap);
  gif.OptimizeColorMap();
}

void EncodeTargetJpeg(const TBitmap& bitmap, int quality, TStream& stream) {
  TJPEGImage jpeg;
  jpeg.CompressionQuality = quality;
  jpeg.CompressFrom(bitmap);  // no copy of a picture that may be large
  jpeg.SaveToStream(stream);
}

void ConvertToTargetBmp(TBitmap& bitmap, TPixelFormat format) { bitmap.SetPixelFormat(format); }

bool TargetTakes(const TJobValues& values, int64_t width, int64_t height) {
  auto within = [&](int64_t side) { return width <= side && height <= side; };
  if (SameText(values.TargetExtension, ".png")) return within(kMostPngSide);
  if (SameText(values.TargetExtension, ".gif")) return within(kMostGifSide);
  if (SameText(values.TargetExtension, ".jpg") || SameText(values.TargetExtension, ".jpeg"))
    return within(kMostJpegSide);
  if (SameText(values.TargetExtension, ".bmp")) {
    const int64_t stride = AlignedRowBytes(width, PixelFormatBits(values.BmpPixelFormat));
    return height <= 0 || stride <= MaxBitmapBytes / height;
  }
  return true;
}
