// Writing finished pictures into the target folder under new names.
#include <functional>
#include <memory>

#include "engine/jobrecord.h"
#include "engine/targetconversion.h"
#include "gif/gifimage.h"
#include "png/pngimage.h"

namespace {
const char* const kError = "Error";

// The highest running number tried before the writer gives up. Every number
// names another file, so the search ends on its own; the bound only keeps a
// folder that claims to hold every name from stalling the run.
constexpr long long kLastNumber = 100000000;

// Creates targetDir + baseName + "_" + n + extension with the first n for
// which no file of that name exists, and writes the picture into it. The
// file is created exclusively, so a name taken in the meantime moves on to
// the next number and nothing is ever replaced. A file that cannot be
// written whole is removed again. Only a plain name directly inside the
// target folder is ever created (no "/", no zero byte). Answers the file
// name, or "Error".
std::string WriteUnderNewName(const std::string& targetDir, const std::string& baseName,
                              const std::string& extension, const std::function<void(TStream&)>& write) {
  if (!IsPlainFileName(baseName + "_1" + extension)) return kError;
  for (long long n = 1; n <= kLastNumber; ++n) {
    std::string name = baseName + "_" + IntToStr(n) + extension;
    std::string path = targetDir + name;
    if (FileExists(path)) continue;
    bool exists = false;
    std::unique_ptr<TFileStream> file(TFileStream::CreateNew(path, &exists));
    if (!file) continue;  // taken between the test and the creation
    try {
      write(*file);
    } catch (...) {
      file.reset();
      DeleteFile(path);
      throw;
    }
    return name;
  }
  return kError;
}

// Writes encoded data as it is.
std::function<void(TStream&)> Copy(TMemoryStream& data) {
  return [&data](TStream& file) {
    data.SetPosition(0);
    file.CopyFrom(data, data.Size());
  };
}
}  // namespace

std::string TJobRecord::SaveBitmapToTarget(TBitmap& bitmap, const std::string& targetDir,
                                           const std::string& newBaseName) {
  try {
    // Compressed pictures are encoded in memory first, so that a codec's
    // failure never leaves a file; a BMP, as large as the picture itself,
    // goes straight into its new file (removed again when it cannot be
    // written whole).
    TMemoryStream encoded;
    if (SameText(TargetExtension, ".png")) {
      TPNGObject png;
      png.InterlaceMethod = PngInterlace ? imAdam7 : imNone;
      png.CompressionLevel = PngCompressionLevel;
      png.Assign(&bitmap);
      // clNone leaves the picture opaque (or with the bitmap's own
      // transparency).
      if (PngTransparentColor != clNone) png.SetTransparentColor(PngTransparentColor);
      png.SaveToStream(encoded);
    } else if (SameText(TargetExtension, ".gif")) {
      // The codec's process-wide defaults follow the job's GIF options.
      GIFImageDefaultColorReduction = GifColorReduction;
      GIFImageDefaultColorReductionBits = GifColorBits;
      GIFImageDefaultDitherMode = GifDitherMode;
      GIFImageDefaultCompression = GifCompression;
      TGIFImage gif;
      ConvertToTargetGif(bitmap, GifConversionOf(*this), gif);
      gif.SaveToStream(encoded);
    } else if (SameText(TargetExtension, ".jpg") || SameText(TargetExtension, ".jpeg")) {
      EncodeTargetJpeg(bitmap, JpegQuality, encoded);
    } else if (SameText(TargetExtension, ".bmp")) {
      ConvertToTargetBmp(bitmap, BmpPixelFormat);
      return WriteUnderNewName(targetDir, newBaseName, TargetExtension,
                               [&bitmap](TStream& file) { bitmap.SaveToStream(file); });
    } else {
      return kError;
    }
    return WriteUnderNewName(targetDir, newBaseName, TargetExtension, Copy(encoded));
  } catch (...) {
    return kError;
  }
}
