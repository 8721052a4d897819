// Icons (.ico files): a set of pictures of several sizes and colour depths,
// of which one is chosen and drawn with its transparency.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/graphics.h"

// An icon file. Loading reads the directory, chooses one entry and decodes
// it: entries of 1, 4, 8, 24 and 32 bits per pixel with their AND mask
// (32-bit ones with their alpha channel), and entries stored as PNG through
// the graphic class registered for "png" (without one such an entry is not
// valid). The chosen entry is the one whose size is nearest to 32 x 32,
// among those the one with the most colours, the first of equals.
// Raises EInvalidGraphic "Icon image is not valid" for malformed data.
class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;
  const char* ClassName() const override { return "TIcon"; }

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return FWidth == 0 || FHeight == 0; }

  void Assign(const TPersistent* source) override;  // another TIcon
  void LoadFromStream(TStream& stream) override;     // reads to the stream's end
  void SaveToStream(TStream& stream) override;       // writes the file as loaded
  // Draws the chosen entry into the rectangle (stretched when the rectangle
  // has another size): where the mask is set the target keeps its pixels
  // (inverted where the icon's colour is not black), 32-bit entries blend by
  // their alpha, and the other pixels take the icon's colours.
  void Draw(TCanvas& canvas, const TRect& rect) override;

  void LoadFromMemory(const uint8_t* data, size_t size);
  // The icon's own mask: a byte a pixel, rows top to bottom, 1 where the
  // icon leaves the target's pixel in place (the AND mask of the chosen
  // entry; for an entry with alpha, its pixels of alpha 0).
  std::vector<uint8_t> Mask() const;

 private:
  std::vector<uint8_t> FData;
  int FWidth = 0, FHeight = 0;
  // The chosen entry as 32-bit blue, green, red, alpha pixels (alpha 0 =
  // transparent) plus, for entries without alpha, the XOR colours where the
  // mask is set.
  std::vector<uint8_t> FPixels;   // FWidth * FHeight * 4
  std::vector<uint8_t> FMask;     // FWidth * FHeight, 1 where the AND mask is set
};
