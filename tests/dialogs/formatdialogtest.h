// What the format dialog tests share.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/jobrecord.h"
#include "engine/targetconversion.h"
#include "gif/gifimage.h"
#include "tests/support/windowtest.h"

// A picture job whose preview file the test writes, collecting the
// messages shown.
struct TDialogJob : TPictureJob {
  // Writes the picture as <name> (by its extension: .gif through the GIF
  // writer with 256 colours, else a BMP in the bitmap's own pixel format)
  // and makes it the preview file.
  std::string UsePicture(TBitmap& picture, const std::string& name) {
    std::string path = Folder.File(name);
    std::string ext = ExtractFileExt(name);
    if (ext == ".gif") {
      TBitmap work;
      work.Assign(&picture);
      work.SetPixelFormat(pf24bit);
      TGIFImage gif;
      ConvertToTargetGif(work, TGifConversion(), gif);
      gif.SaveToFile(path);
    } else {
      picture.SaveToFile(path);
    }
    Job.PreviewFile = path;
    return path;
  }
  TMessageLog Messages;
};

// The number of different colours of a picture.
inline int ColorCount(TBitmap& picture) {
  std::set<TColor> colors;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) colors.insert(PixelAt(picture, x, y));
  return int(colors.size());
}
