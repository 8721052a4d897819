// Reading source pictures into a bitmap, by the file's extension.
#include "engine/jobrecord.h"
#include "gif/gifimage.h"
#include "platform/icon.h"
#include "platform/jpeg.h"
#include "platform/metafile.h"
#include "png/pngimage.h"

bool TJobRecord::LoadPictureToBitmap(const std::string& path, TBitmap& bitmap) {
  if (SameText(ExtractFileExt(path), ".gif")) return LoadGifToBitmap(path, bitmap);
  return LoadImageToBitmap(path, bitmap);
}

bool TJobRecord::LoadGifToBitmap(const std::string& path, TBitmap& bitmap) {
  RegisterGifFormat();
  // Only the first frame is wanted: no painter may start while the picture
  // is copied.
  TGIFDrawOptions animate = DrawOption(goAnimate);
  try {
    TGIFImage gif;
    GIFImageDefaultDrawOptions &= TGIFDrawOptions(~animate);
    gif.LoadFromFile(path);
    bitmap.Assign(&gif);
  } catch (...) {
    GIFImageDefaultDrawOptions |= animate;
    return false;
  }
  GIFImageDefaultDrawOptions |= animate;
  return true;
}

namespace {
// Draws a picture that has no pixels of its own (icon, metafile) onto the
// bitmap at its size, over the bitmap's fresh fill.
void DrawOnto(TGraphic& graphic, TBitmap& bitmap) {
  bitmap.SetWidth(graphic.Width());
  bitmap.SetHeight(graphic.Height());
  bitmap.Canvas()->Draw(0, 0, &graphic);
}
}  // namespace

bool TJobRecord::LoadImageToBitmap(const std::string& path, TBitmap& bitmap) {
  // Icons whose entries are stored as PNG find the codec through TPicture.
  RegisterPngFormat();
  std::string ext = ExtractFileExt(path);
  try {
    if (SameText(ext, ".bmp")) {
      bitmap.LoadFromFile(path);
      return true;
    }
    if (SameText(ext, ".emf") || SameText(ext, ".wmf")) {
      TMetafile metafile;
      {
        TMemoryStream stream;
        stream.LoadFromFile(path);
        metafile.LoadFromStream(stream);
      }
      DrawOnto(metafile, bitmap);
      return true;
    }
    if (SameText(ext, ".jpg") || SameText(ext, ".jpeg")) {
      TJPEGImage jpeg;
      {
        TMemoryStream stream;
        stream.LoadFromFile(path);
        jpeg.LoadFromStream(stream);
      }
      jpeg.DIBNeeded();
      bitmap.Assign(&jpeg);
      return true;
    }
    if (SameText(ext, ".png")) {
      TPNGObject png;
      png.LoadFromFile(path);
      bitmap.Assign(&png);
      return true;
    }
    if (SameText(ext, ".ico")) {
      TIcon icon;
      icon.LoadFromFile(path);
      DrawOnto(icon, bitmap);
      return true;
    }
  } catch (...) {
    return false;
  }
  return false;
}
