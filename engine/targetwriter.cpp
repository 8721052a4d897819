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
// written whole, or whose close reports a failure (a network file system or
// a quota may keep a lost write until then), is removed again: only the
// file made here, never one that took its name since. Only a plain name
// directly inside the target folder is ever created (no "/", no zero byte).
// Answers the file name, or "Error".
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
      file->Close();
    } catch (...) {
      file->RemoveCreated();
      throw;
    }
    return name;
  }
  return kError;
}

}  // namespace

void TJobValues::SetGifDefaults() const {
  GIFImageDefaultColorReduction = GifColorReduction;
  GIFImageDefaultColorReductionBits = GifColorBits;
  GIFImageDefaultDitherMode = GifDitherMode;
  GIFImageDefaultCompression = GifCompression;
}

std::unique_ptr<TMemoryStream> TJobValues::EncodeForTarget(TBitmap& bitmap) const {
  // Every format is encoded in memory first, so that a codec's failure
  // never leaves a file, and the file is written in one go. A picture the
  // format cannot hold is refused before it is converted.
  if (!TargetTakes(*this, bitmap.Width(), bitmap.Height())) return nullptr;
  auto encoded = std::make_unique<TMemoryStream>();
  try {
    if (SameText(TargetExtension, ".png")) {
      TPNGObject png;
      png.InterlaceMethod = PngInterlace ? imAdam7 : imNone;
      png.CompressionLevel = PngCompressionLevel;
      png.Assign(&bitmap);
      // clNone leaves the picture opaque (or with the bitmap's own
      // transparency).
      if (PngTransparentColor != clNone) png.SetTransparentColor(PngTransparentColor);
      png.SaveToStream(*encoded);
    } else if (SameText(TargetExtension, ".gif")) {
      // The options are set on the picture itself: the codec's process-wide
      // defaults are the main thread's (SetGifDefaults).
      TGIFImage gif;
      ConvertToTargetGif(bitmap, GifConversionOf(*this), gif);
      gif.SaveToStream(*encoded);
    } else if (SameText(TargetExtension, ".jpg") || SameText(TargetExtension, ".jpeg")) {
      EncodeTargetJpeg(bitmap, JpegQuality, *encoded);
    } else if (SameText(TargetExtension, ".bmp")) {
      ConvertToTargetBmp(bitmap, BmpPixelFormat);
      bitmap.SaveToStream(*encoded);
    } else {
      return nullptr;
    }
  } catch (...) {
    return nullptr;
  }
  return encoded;
}

std::string TJobValues::WriteToTarget(TMemoryStream& encoded, const std::string& targetDir,
                                      const std::string& newBaseName) const {
  try {
    return WriteUnderNewName(targetDir, newBaseName, TargetExtension, [&encoded](TStream& file) {
      file.WriteBuffer(encoded.Memory(), encoded.Size());
    });
  } catch (...) {
    return kError;
  }
}

std::string TJobValues::SaveBitmapToTarget(TBitmap& bitmap, const std::string& targetDir,
                                           const std::string& newBaseName) const {
  if (SameText(TargetExtension, ".gif")) SetGifDefaults();
  std::unique_ptr<TMemoryStream> encoded = EncodeForTarget(bitmap);
  return encoded ? WriteToTarget(*encoded, targetDir, newBaseName) : kError;
}
