// Helpers of the GIF tests: files written and read with giflib (the
// reference), hand-made code streams, and loading with warnings collected.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gif/gifimage.h"
#include "tests/support/testsupport.h"

// A frame for giflib to write.
struct RefFrame {
  RefFrame(int width, int height, std::vector<uint8_t> pixels)
      : Width(width), Height(height), Pixels(std::move(pixels)) {}
  int Left = 0, Top = 0, Width, Height;
  std::vector<uint8_t> Pixels;  // rows top to bottom
  bool Interlaced = false;
  int LocalBits = 0;    // bits of a local colour map; 0 for none
  std::string Comment;  // a comment extension in front when not empty
  int Loops = -1;       // a NETSCAPE2.0 loop extension in front when >= 0
};

// An image of one frame at (0, 0) with the pixels and a map of colors grey
// levels, global or local.
std::unique_ptr<TGIFImage> MakeImage(int colors, int width, int height, const std::vector<uint8_t>& pixels,
                                     bool interlaced = false, bool local = false);

// A new frame of the image with the bounds.
TGIFSubImage& AddFrame(TGIFImage& image, int left, int top, int width, int height);
// Gives the frame a graphic control extension that makes the index
// transparent.
TGIFGraphicControlExtension& MakeTransparent(TGIFSubImage& frame, int index);

// Collects the warnings an image receives, all of severity gsWarning.
struct WarningLog {
  explicit WarningLog(TGIFImage& image);
  std::vector<std::string> Messages;
};

// A GIF file written by giflib with a global map of 2^globalBits grey levels
// (none for 0).
std::vector<uint8_t> GiflibWrite(int screenWidth, int screenHeight, int globalBits,
                                 const std::vector<RefFrame>& frames);

// A GIF file as giflib reads it.
struct RefImage {
  int Width = 0, Height = 0;
  std::vector<std::vector<uint8_t>> Frames;  // pixels in plain row order
  std::vector<TColor> Colors;                // the global colour map
  std::vector<int> TransparentIndex;         // per frame, -1 for none
  // The colour of a pixel of a frame through the global map.
  TColor PixelColor(size_t frame, int x, int y) const {
    return Colors.at(Frames.at(frame).at(size_t(y) * size_t(Width) + size_t(x)));
  }
};
// Fails the test when giflib cannot read the data.
RefImage GiflibRead(const std::vector<uint8_t>& data);

// count pixels below colors, in runs of random length (1..maxRun).
std::vector<uint8_t> RandomPixels(int64_t count, int colors, uint32_t seed, int maxRun = 8);

// Codes of given widths packed least significant bit first.
std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths);
// The bytes as data sub-blocks of at most blockSize bytes and a terminator.
std::vector<uint8_t> SubBlocks(const std::vector<uint8_t>& bytes, int blockSize = 255);

// The start of a GIF file: signature, screen and a global map of 2^bits
// grey levels (none for 0), as the image itself writes them.
ByteWriter GifStart(int width, int height, int globalBits, const std::string& version = "GIF89a");
// An image descriptor without local map.
void ImageDescriptor(ByteWriter& w, int left, int top, int width, int height, bool interlaced = false);

// Loads the data; returns the warnings as "message" lines. Errors pass on.
std::vector<std::string> LoadGif(TGIFImage& image, const std::vector<uint8_t>& data);
// The message of the GIFException that loading raises; "" when it loads.
std::string LoadError(TGIFImage& image, const std::vector<uint8_t>& data);
// The pixels of the first frame of the data, which must load without
// warnings.
std::vector<uint8_t> DecodedPixels(const std::vector<uint8_t>& data);
// The image stored among other data (WriteData) with GIFImageOptimizeOnStream
// set, and read back into back.
void StoreOptimizedAndReadBack(TGIFImage& image, TGIFImage& back);
// Frame i of an image, and the pixels of a frame as a vector.
inline TGIFSubImage& FrameOf(TGIFImage& image, int i = 0) { return *image.Frames().SubImages(i); }
std::vector<uint8_t> FramePixels(const TGIFSubImage& frame);
