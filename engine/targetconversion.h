// The conversions the target writer applies to a finished picture before it
// encodes it, one per target format. The format dialogs show their "after"
// pictures through the same routines, so a preview is what a run writes.
#pragma once

#include "gif/gifimage.h"
#include "platform/system/classes.h"
#include "platform/graphics/graphics.h"

struct TJobValues;

// The GIF options of a picture: colour reduction, dither mode, colour bits
// (3..8), compression, and transparency (the bottom-left pixel's colour, or
// TransparentColor when it is not clNone).
struct TGifConversion {
  TColorReduction Reduction = rmQuantize;
  int ColorBits = 8;
  TDitherMode Dither = dmNearest;
  TGIFCompression Compression = gcLZW;
  bool Transparent = false;
  TColor TransparentColor = clNone;
};

// The job's GIF options as they stand.
TGifConversion GifConversionOf(const TJobValues& job);

// Fills gif with the picture as one frame converted by the options (set on
// gif itself; the codec's process-wide defaults are neither read nor
// written), with one optimised colour map. A transparent conversion marks
// the bitmap transparent. Colour bits outside 3..8 raise the codec's
// "Invalid Bits Per Pixel value".
void ConvertToTargetGif(TBitmap& bitmap, const TGifConversion& options, TGIFImage& gif);

// Writes the picture as baseline colour JPEG data at the quality (1..100)
// into the stream.
void EncodeTargetJpeg(const TBitmap& bitmap, int quality, TStream& stream);

// Converts the picture in place into the BMP pixel format.
void ConvertToTargetBmp(TBitmap& bitmap, TPixelFormat format);

// The longest side each target format's writer takes: JPEG data holds up
// to 65500 pixels a side (the JPEG library's bound), the GIF and PNG
// codecs' headers up to 65535.
constexpr int64_t kMostJpegSide = 65500;
constexpr int64_t kMostGifSide = 65535;
constexpr int64_t kMostPngSide = 65535;
// Whether the writer of the values' target format takes a width x height
// picture: its sides within the format's bound and, for BMP, its pixels in
// the chosen pixel format (which the picture is converted into before it is
// written) within the bitmap cap. The writer refuses any other picture
// before it converts it; a run refuses it before it is loaded.
bool TargetTakes(const TJobValues& values, int64_t width, int64_t height);
