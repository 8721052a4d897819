// The image optimizer: cropping, merging and cleaning up frames.
#include <gtest/gtest.h>

#include "tests/gif/gifsupport.h"

namespace {

// Every frame's transparent index (-1 for an opaque frame).
int TransparentOf(TGIFSubImage& frame) {
  TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  return frame.Transparent() && gce ? gce->TransparentColorIndex() : -1;
}

TEST(GifOptimize, CroppingNeverTakesTheLastFrame) {
  // One frame of 3 x 2 whose every pixel is its transparent index.
  auto image = MakeImage(4, 3, 2, std::vector<uint8_t>(6, 3));
  MakeTransparent(FrameOf(*image), 3);
  std::vector<int> percents;
  image->OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&, const std::string&) {
    if (stage == psRunning) percents.push_back(percent);
  };
  image->Optimize(OptimizeOption(ooCrop), rmNone, dmNearest, 8);
  ASSERT_EQ(image->Frames().Count(), 1);
  EXPECT_EQ(FrameOf(*image).BoundsRect(), Rect(0, 0, 3, 2));
  EXPECT_EQ(FramePixels(FrameOf(*image)), std::vector<uint8_t>(6, 3));
  for (int percent : percents) EXPECT_LE(percent, 100);

  // Stored among other data with every optimization: it reads back as the
  // same invisible frame.
  TGIFImage back;
  StoreOptimizedAndReadBack(*image, back);
  ASSERT_EQ(back.Frames().Count(), 1);
  TGIFSubImage& frame = FrameOf(back);
  EXPECT_EQ(frame.BoundsRect(), Rect(0, 0, 3, 2));
  ASSERT_GE(TransparentOf(frame), 0);
  EXPECT_EQ(FramePixels(frame), std::vector<uint8_t>(6, uint8_t(TransparentOf(frame))));

  // Of two invisible frames the first goes and the second stays.
  image = MakeImage(4, 3, 2, std::vector<uint8_t>(6, 3));
  MakeTransparent(FrameOf(*image), 3);
  TGIFSubImage& second = AddFrame(*image, 0, 0, 3, 2);
  std::fill_n(second.Data(), 6, uint8_t(2));
  MakeTransparent(second, 2);
  image->Optimize(OptimizeOption(ooCrop), rmNone, dmNearest, 8);
  ASSERT_EQ(image->Frames().Count(), 1);
  EXPECT_EQ(&FrameOf(*image), &second);
  EXPECT_EQ(FramePixels(second), std::vector<uint8_t>(6, 2));
}

// Two 2 x 1 frames on a map of four greys, both showing 1, 2; the first
// says its transparent index is the given one.
std::vector<uint8_t> TwoEqualFrames(int transparentIndex) {
  ByteWriter w = GifStart(2, 1, 2);
  w.U8(0x21).U8(0xF9).U8(4).U8(0x01).U16(0).U8(uint8_t(transparentIndex)).U8(0);
  for (int i = 0; i < 2; ++i) {
    ImageDescriptor(w, 0, 0, 2, 1);
    w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {2, 3}, {5, 3}})));
  }
  w.U8(0x3B);
  return w.Data;
}

TEST(GifOptimize, MergedFramesTakeATransparentIndexTheirPixelsAndMapAgreeOn) {
  // The second frame shows nothing new: its pixels become transparent. The
  // first frame's index lies inside the map and is shared.
  TGIFImage image;
  ASSERT_TRUE(LoadGif(image, TwoEqualFrames(3)).empty());
  image.Optimize(OptimizeOption(ooMerge), rmNone, dmNearest, 8);
  EXPECT_EQ(TransparentOf(FrameOf(image, 1)), 3);
  EXPECT_EQ(FramePixels(FrameOf(image, 1)), std::vector<uint8_t>({3, 3}));
  EXPECT_EQ(image.GlobalColorMap().Count(), 4);

  // An index beyond the map is not borrowed: black is added for the second
  // frame, and the frame still writes.
  ASSERT_TRUE(LoadGif(image, TwoEqualFrames(200)).empty());
  WarningLog log(image);
  image.Optimize(OptimizeOption(ooMerge), rmNone, dmNearest, 8);
  TGIFSubImage& second = FrameOf(image, 1);
  EXPECT_EQ(TransparentOf(second), 4);
  EXPECT_EQ(FramePixels(second), std::vector<uint8_t>({4, 4}));
  EXPECT_EQ(image.GlobalColorMap().Colors(4), (TGIFColor{0, 0, 0}));
  EXPECT_TRUE(log.Messages.empty());
  RefImage ref = GiflibRead(SavedBytes(image));
  EXPECT_EQ(ref.TransparentIndex, std::vector<int>({200, 4}));
  EXPECT_EQ(ref.Frames.at(1), std::vector<uint8_t>({4, 4}));
}

}  // namespace
