// The document model: colour maps and their usage sort, frame bounds and
// pixels, graphic control extensions and the image.
#include <gtest/gtest.h>

#include "tests/gif/gifsupport.h"

namespace {

template <class F>
std::string ErrorOf(F&& action) {
  return RaisedMessage<GIFException>(action);
}

TEST(GifColorMap, SearchesAndGuardsItsIndices) {
  TGIFImage image;
  WarningLog log(image);
  TGIFColorMap& map = image.GlobalColorMap();
  // A colour present twice: the higher index unless the map is optimized.
  for (uint8_t v : {10, 20, 10, 30}) map.Add({v, v, v});
  EXPECT_EQ(map.IndexOf({10, 10, 10}), 2);
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf({10, 10, 10}), 0);
  EXPECT_EQ(map.AddUnique({30, 30, 30}), 3);
  EXPECT_EQ(map.AddUnique({40, 40, 40}), 4);
  EXPECT_FALSE(map.Optimized());
  // Reading outside: a warning and colour 0; an empty map raises.
  EXPECT_EQ(map.Colors(7), TGIFColor({10, 10, 10}));
  EXPECT_EQ(log.Messages, std::vector<std::string>({sBadColorIndex}));
  map.Clear();
  EXPECT_EQ(ErrorOf([&] { map.Colors(0); }), sEmptyColorMap);
  for (int i = 0; i < 256; ++i) map.Add({uint8_t(i), 0, 0});
  EXPECT_EQ(ErrorOf([&] { map.Add({}); }), sTooManyColors);
}

TEST(GifColorMap, UsageSortRenumbersPixelsAndDropsUnusedColours) {
  // Already in falling order of use: nothing moves, the unused colour stays.
  auto image = MakeImage(4, 9, 1, {0, 0, 0, 0, 0, 1, 1, 1, 2});
  EXPECT_TRUE(image->GlobalColorMap().Optimize());
  EXPECT_TRUE(image->GlobalColorMap().Optimized());
  EXPECT_EQ(image->GlobalColorMap().Count(), 4);
  EXPECT_EQ(FramePixels(FrameOf(*image)), std::vector<uint8_t>({0, 0, 0, 0, 0, 1, 1, 1, 2}));

  // Uses 1, 5, 0, 3: the new order is 1, 3, 0 and colour 2 is dropped; the
  // pixels and the transparent index follow.
  image = MakeImage(4, 9, 1, {1, 1, 1, 1, 1, 0, 3, 3, 3});
  TGIFGraphicControlExtension& gce = MakeTransparent(FrameOf(*image), 3);
  EXPECT_TRUE(image->GlobalColorMap().Optimize());
  std::vector<int> greys;
  for (int i = 0; i < image->GlobalColorMap().Count(); ++i) greys.push_back(image->GlobalColorMap().Colors(i).Red);
  EXPECT_EQ(greys, std::vector<int>({85, 255, 0}));
  EXPECT_EQ(FramePixels(FrameOf(*image)), std::vector<uint8_t>({0, 0, 0, 0, 0, 2, 1, 1, 1}));
  EXPECT_EQ(gce.TransparentColorIndex(), 1);

  // A local map sorts the frame's own pixels; one colour is left alone.
  image = MakeImage(3, 4, 1, {2, 2, 1, 2}, false, true);
  TGIFSubImage& frame = FrameOf(*image);
  EXPECT_TRUE(frame.ColorMap().Optimize());
  EXPECT_EQ(frame.ColorMap().Count(), 2);
  EXPECT_EQ(FramePixels(frame), std::vector<uint8_t>({0, 0, 1, 0}));
  frame.ColorMap().Delete(1);
  EXPECT_FALSE(frame.ColorMap().Optimize());
  // A map no frame uses is left alone.
  TGIFImage empty;
  empty.GlobalColorMap().Add({});
  empty.GlobalColorMap().Add({1, 1, 1});
  EXPECT_FALSE(empty.GlobalColorMap().Optimize());
}

TEST(GifFrame, BoundsGrowTheScreenAndGuardThePixels) {
  TGIFImage image;
  WarningLog log(image);
  AddFrame(image, 0, 0, 40, 2);
  EXPECT_TRUE(log.Messages.empty());
  auto* second = &AddFrame(image, 20, 0, 40, 1);
  EXPECT_EQ(log.Messages, std::vector<std::string>({sBadWidth, sScreenSizeExceeded}));
  EXPECT_EQ(image.Width(), 60);
  EXPECT_EQ(ErrorOf([&] { second->SetBounds(65000, 0, 536, 1); }), sBadDimension);
  EXPECT_EQ(ErrorOf([&] { second->Scanline(1); }), sBadPixelCoordinates);
  EXPECT_EQ(ErrorOf([&] { second->Pixels(40, 0); }), sBadPixelCoordinates);
  second->SetBounds(20, 0, 0, 3);
  EXPECT_EQ(ErrorOf([&] { second->Scanline(0); }), sEmptyImage);
  // A dying frame leaves its list.
  delete second;
  EXPECT_EQ(image.Frames().Count(), 1);
}

TEST(GifFrame, GraphicControlExtensionDrivesTransparency) {
  auto image = MakeImage(4, 2, 1, {0, 1});
  WarningLog log(*image);
  TGIFSubImage& frame = FrameOf(*image);
  TGIFGraphicControlExtension& gce = MakeTransparent(frame, 4);
  EXPECT_TRUE(image->IsTransparent());
  EXPECT_EQ(gce.TransparentColorIndex(), 0);
  EXPECT_EQ(log.Messages, std::vector<std::string>({sBadColorIndex}));
  gce.SetTransparentColor(RGB(1, 2, 3));
  EXPECT_EQ(gce.TransparentColorIndex(), 4);
  // Destroying it clears the frame's transparency and reference.
  frame.Extensions().Delete(0);
  EXPECT_FALSE(frame.Transparent());
  EXPECT_EQ(frame.GraphicControlExtension(), nullptr);
}

TEST(GifImage, SettingsAndClearing) {
  GIFImageDefaultCompression = gcRLE;
  TGIFImage image;
  GIFImageDefaultCompression = gcLZW;
  EXPECT_EQ(image.Compression, gcRLE);
  EXPECT_EQ(ErrorOf([&] { image.SetReductionBits(2); }), sInvalidBitSize);
  EXPECT_EQ(ErrorOf([&] { image.SetReductionBits(9); }), sInvalidBitSize);

  auto two = MakeImage(2, 3, 3, std::vector<uint8_t>(9, 1));
  two->Clear();
  EXPECT_EQ(two->Width(), 0);
  EXPECT_EQ(two->Header().PackedFields(), 0x77);
}

}  // namespace
