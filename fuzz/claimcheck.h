// A file's claim against its reading, for the fuzz targets of the picture
// kinds and the replay of their findings: data that the loader's reader
// reads (on its own, without the claim in front) must have been claimed
// readable, at the size of the picture it gives. Each check answers what
// went wrong, or "" when the claim holds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/picturefiles.h"
#include "gif/gifimage.h"
#include "platform/graphics/icon.h"
#include "platform/graphics/jpeg.h"

namespace claimcheck {

inline std::string Compare(const uint8_t* data, size_t size, TPictureKind kind, int64_t width, int64_t height) {
  TReadOnlyMemoryStream stream(data, size);
  const TPictureClaim claim = ClaimPicture(stream, kind);
  if (!claim.Readable) return "read a picture whose claim is not readable";
  if (claim.Width != width || claim.Height != height)
    return "claimed " + std::to_string(claim.Width) + " x " + std::to_string(claim.Height) + ", read " +
           std::to_string(width) + " x " + std::to_string(height);
  return "";
}

// A JPEG as the loader decodes it: the data, then the picture at the
// class's default settings.
inline std::string Jpeg(const uint8_t* data, size_t size) {
  TBitmap bitmap;
  try {
    TJPEGImage jpeg;
    jpeg.LoadFromMemory(data, size);
    jpeg.DecodeInto(bitmap);
  } catch (const Exception&) {
    return "";
  }
  if (bitmap.Empty()) return "";
  return Compare(data, size, TPictureKind::Jpeg, bitmap.Width(), bitmap.Height());
}

// A BMP file as the loader reads it, from a stream (up to the end of its
// pixels), which must give what reading it whole from memory gives.
inline std::string Bmp(const uint8_t* data, size_t size) {
  TBitmap streamed, whole;
  bool fromStream = true, fromMemory = true;
  try {
    TReadOnlyMemoryStream stream(data, size);
    streamed.LoadFromStream(stream);
  } catch (const Exception&) {
    fromStream = false;
  }
  try {
    whole.LoadFromMemory(data, size);
  } catch (const Exception&) {
    fromMemory = false;
  }
  if (fromStream != fromMemory) return "the stream and memory readers disagree";
  if (!fromStream || streamed.Empty()) return "";
  const TDibSection& a = *streamed.Handle();
  const TDibSection& b = *whole.Handle();
  auto sameEntry = [](const RGBQUAD& x, const RGBQUAD& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  if (a.Width != b.Width || a.Height != b.Height || a.BitCount != b.BitCount || a.Bits != b.Bits ||
      !std::equal(a.ColorTable.begin(), a.ColorTable.end(), b.ColorTable.begin(), b.ColorTable.end(), sameEntry))
    return "the stream and memory readers read different pictures";
  return Compare(data, size, TPictureKind::Bmp, streamed.Width(), streamed.Height());
}

inline std::string Icon(const uint8_t* data, size_t size) {
  TIcon icon;
  try {
    icon.LoadFromMemory(data, size);
  } catch (const Exception&) {
    return "";
  }
  if (icon.Empty()) return "";
  return Compare(data, size, TPictureKind::Icon, icon.Width(), icon.Height());
}

// A GIF as the GIF reader reads it whole and copies it into a bitmap. Data
// whose frames hold more than 2^22 pixels is left alone: a few bytes may
// describe frames of a gigabyte.
inline std::string Gif(const uint8_t* data, size_t size) {
  TBitmap bitmap;
  try {
    TGIFImage image;
    image.OnWarning = [](TObject*, TGIFSeverity, const std::string&) {};
    TReadOnlyMemoryStream stream(data, size);
    image.LoadFromStream(stream);
    int64_t pixels = int64_t(image.Width()) * image.Height();
    for (int i = 0; i < image.Frames().Count(); ++i) pixels += image.Frames().SubImages(i)->DataSize();
    if (pixels > (int64_t(1) << 22)) return "";
    bitmap.Assign(&image);
  } catch (const Exception&) {
    return "";
  }
  if (bitmap.Empty()) return "";
  return Compare(data, size, TPictureKind::Gif, bitmap.Width(), bitmap.Height());
}

// Ends the fuzz target on a failed check, saying what failed.
inline void Require(const std::string& failure) {
  if (failure.empty()) return;
  std::fprintf(stderr, "claim check failed: %s\n", failure.c_str());
  std::abort();
}

}  // namespace claimcheck
