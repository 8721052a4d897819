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
  // Room grows in steps: 16, then multiples of 32, never above 256, never
  // down.
  map.Clear();
  for (auto [asked, capacity] : {std::pair{5, 16}, std::pair{17, 32}, std::pair{33, 64}, std::pair{5, 64},
                                 std::pair{300, 256}}) {
    map.SetCapacity(asked);
    EXPECT_EQ(map.Capacity(), capacity) << asked;
  }
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

namespace {

TEST(GifImage, NewImagesTakeTheProcessDefaults) {
  // The defaults as the program starts.
  EXPECT_EQ(GIFImageDefaultDrawOptions, 0x060F);  // async, transparent, animate, loop, dither, auto dither
  EXPECT_EQ(GIFImageDefaultColorReduction, rmNetscape);
  EXPECT_EQ(GIFImageDefaultColorReductionBits, 8);
  EXPECT_EQ(GIFImageDefaultDitherMode, dmNearest);
  EXPECT_EQ(GIFImageDefaultCompression, gcLZW);
  EXPECT_EQ(GIFImageDefaultThreadPriority, tpNormal);
  EXPECT_EQ(GIFImageDefaultAnimationSpeed, 100);
  EXPECT_FALSE(GIFImageRenderOnLoad);
  EXPECT_FALSE(GIFImageOptimizeOnStream);
  EXPECT_STREQ(GIFVersions[gv87a], "87a");
  EXPECT_STREQ(GIFVersions[gv89a], "89a");
  TGIFImage image;
  EXPECT_EQ(image.DrawOptions(), 0x060F);
  EXPECT_EQ(image.ColorReduction, rmNetscape);
  EXPECT_EQ(image.ReductionBits(), 8);
  EXPECT_EQ(image.DitherMode, dmNearest);
  EXPECT_EQ(image.Compression, gcLZW);
  EXPECT_EQ(image.ThreadPriority, tpNormal);
  EXPECT_EQ(image.AnimationSpeed(), 100);
  EXPECT_EQ(image.DrawBackgroundColor, clNone);

  // Each default reaches the images made after it changes, and only those.
  GIFImageDefaultDrawOptions = DrawOption(goTile);
  GIFImageDefaultColorReduction = rmQuantize;
  GIFImageDefaultColorReductionBits = 5;
  GIFImageDefaultDitherMode = dmBurkes;
  GIFImageDefaultThreadPriority = tpHighest;
  GIFImageDefaultAnimationSpeed = 300;
  TGIFImage later;
  GIFImageDefaultDrawOptions = 0x060F;
  GIFImageDefaultColorReduction = rmNetscape;
  GIFImageDefaultColorReductionBits = 8;
  GIFImageDefaultDitherMode = dmNearest;
  GIFImageDefaultThreadPriority = tpNormal;
  GIFImageDefaultAnimationSpeed = 100;
  EXPECT_EQ(later.DrawOptions(), DrawOption(goTile));
  EXPECT_EQ(later.ColorReduction, rmQuantize);
  EXPECT_EQ(later.ReductionBits(), 5);
  EXPECT_EQ(later.DitherMode, dmBurkes);
  EXPECT_EQ(later.ThreadPriority, tpHighest);
  EXPECT_EQ(later.AnimationSpeed(), 300);
  EXPECT_EQ(image.ColorReduction, rmNetscape);
}

TEST(GifImage, EnumerationsKeepTheirNumbers) {
  // The numbers the job and the dialogs keep the settings by.
  const TColorReduction reductions[] = {rmNone,       rmWindows20, rmWindows256, rmWindowsGray,     rmMonochrome,
                                        rmGrayScale,  rmNetscape,  rmQuantize,   rmQuantizeWindows, rmPalette};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(int(reductions[i]), i);
  const TDitherMode modes[] = {dmNearest, dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(int(modes[i]), i);
  EXPECT_EQ(int(gcLZW), 0);
  EXPECT_EQ(int(gcRLE), 1);
  // Draw options are bits 0 to 10, optimize options bits 0 to 4.
  const TGIFDrawOption options[] = {goAsync,          goTransparent, goAnimate,     goLoop, goLoopContinously,
                                    goValidateCanvas, goDirectDraw,  goClearOnLoop, goTile, goDither,
                                    goAutoDither};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(DrawOption(options[i]), 1 << i);
  const TGIFOptimizeOption optimizations[] = {ooCrop, ooMerge, ooCleanup, ooColorMap, ooReduceColors};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(OptimizeOption(optimizations[i]), 1 << i);
  // Disposal methods as the graphic control block writes them (bits 4-2).
  TGIFImage image;
  TGIFSubImage frame(&image);
  TGIFGraphicControlExtension gce(&frame);
  const TDisposalMethod disposals[] = {dmNone, dmNoDisposal, dmBackground, dmPrevious};
  for (int i = 0; i < 4; ++i) {
    gce.SetDisposal(disposals[i]);
    TMemoryStream stream;
    gce.SaveToStream(stream);
    EXPECT_EQ(stream.Memory()[3], i << 2);
  }
}

}  // namespace
