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

// Gives the frame a graphic control extension with the disposal and a
// delay (so that cleaning up keeps it).
TGIFGraphicControlExtension& Control(TGIFSubImage& frame, TDisposalMethod disposal) {
  auto* gce = new TGIFGraphicControlExtension(&frame);
  frame.Extensions().Add(gce);
  gce->SetDisposal(disposal);
  gce->SetDelay(5);
  return *gce;
}

TEST(GifOptimize, CleanupSettlesEveryFramesTransparencyBeforeTheDisposals) {
  // Frames of 4 x 1 on one spot. The first is cleared to the background
  // after it shows; the second names 3 transparent but shows no 3, so it is
  // opaque and covers the first whole: the clearing is not needed.
  auto image = MakeImage(4, 4, 1, {0, 1, 2, 0});
  TGIFGraphicControlExtension& cleared = Control(FrameOf(*image), dmBackground);
  TGIFSubImage& covering = AddFrame(*image, 0, 0, 4, 1);
  std::fill_n(covering.Data(), 4, uint8_t(1));
  MakeTransparent(covering, 3).SetDelay(5);
  // The third is restored after it shows; the fourth lies inside it but
  // shows its transparent colour: the restoring stays.
  TGIFGraphicControlExtension& restored = Control(AddFrame(*image, 0, 0, 4, 1), dmPrevious);
  TGIFSubImage& showing = AddFrame(*image, 1, 0, 2, 1);
  showing.Data()[0] = 1;
  MakeTransparent(showing, 1).SetDelay(5);
  // A frame of extensions only shows nothing, so nothing transparent.
  TGIFSubImage& empty = AddFrame(*image, 0, 0, 0, 0);
  MakeTransparent(empty, 2).SetDelay(5);
  image->Optimize(OptimizeOption(ooCleanup), rmNone, dmNearest, 8);
  ASSERT_EQ(image->Frames().Count(), 5);
  EXPECT_EQ(cleared.Disposal(), dmNone);
  EXPECT_FALSE(covering.Transparent());
  EXPECT_EQ(restored.Disposal(), dmPrevious);
  EXPECT_EQ(TransparentOf(showing), 1);
  EXPECT_FALSE(empty.Transparent());
  EXPECT_FALSE(empty.GraphicControlExtension()->Transparent());
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
