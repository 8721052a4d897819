// GIF pictures in the engine: loading GIF sources and writing ".gif" targets.
#include <gtest/gtest.h>

#include "engine/jobrecord.h"
#include "gif/gifimage.h"
#include "tests/support/testsupport.h"

namespace {

bool Animating() { return (GIFImageDefaultDrawOptions & DrawOption(goAnimate)) != 0; }

// A two-frame GIF whose first frame is a 2 x 1 black-and-red strip at
// (1, 1) on a 4 x 3 screen.
std::vector<uint8_t> AnimationFile() {
  TGIFImage gif;
  for (int f = 0; f < 2; ++f) {
    auto* frame = new TGIFSubImage(&gif);
    gif.Add(frame);
    frame->SetBounds(1, 1, 2, 1);
    frame->Scanline(0)[0] = uint8_t(f);
    frame->Scanline(0)[1] = 1;
  }
  gif.GlobalColorMap().Add({0, 0, 0});
  gif.GlobalColorMap().Add({255, 0, 0});
  gif.SetWidth(4);
  gif.SetHeight(3);
  TMemoryStream stream;
  gif.SaveToStream(stream);
  return {stream.Memory(), stream.Memory() + stream.Size()};
}

TEST(GifEngine, SourcesLoadTheirFirstFrameOnWhite) {
  TempDir dir;
  std::vector<uint8_t> file = AnimationFile();
  WriteFile(dir.File("anim.gif"), file);
  TBitmap bitmap;
  ASSERT_TRUE(TJobRecord::LoadPictureToBitmap(dir.File("anim.gif"), bitmap));
  EXPECT_TRUE(Animating());
  bitmap.SetPixelFormat(pf24bit);
  EXPECT_EQ(ColorLetters(bitmap), "WWWW\nWKRW\nWWWW");

  // A damaged file gives false, and the animation option is back.
  file.resize(file.size() / 2);
  file[10] = 0x87;  // a global map larger than what follows
  WriteFile(dir.File("bad.gif"), file);
  EXPECT_FALSE(TJobRecord::LoadGifToBitmap(dir.File("bad.gif"), bitmap));
  EXPECT_TRUE(Animating());
}

TEST(GifEngine, TargetsUseTheJobsOptions) {
  TempDir dir;
  TJobRecord job(dir.Path());
  job.TargetExtension = ".GIF";
  job.GifColorBits = 3;
  auto picture = MakeNoiseBitmap(40, 30, 9);
  std::string name = job.SaveBitmapToTarget(*picture, dir.Path(), "q");
  ASSERT_EQ(name, "q_1.GIF");
  EXPECT_EQ(GIFImageDefaultColorReduction, rmQuantize);
  EXPECT_EQ(GIFImageDefaultColorReductionBits, 3);
  std::vector<uint8_t> file = ReadFile(dir.File(name));
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF87a");
  TGIFImage back;
  back.LoadFromFile(dir.File(name));
  EXPECT_LE(back.GlobalColorMap().Count(), 8);
  EXPECT_EQ(back.Width(), 40);

  // Transparency from the bottom-left pixel needs a 89a file.
  job.GifTransparent = true;
  job.GifColorReduction = rmNetscape;
  job.GifDitherMode = dmBurkes;
  job.GifCompression = gcRLE;
  picture->Canvas()->SetPixel(0, 29, clRed);
  name = job.SaveBitmapToTarget(*picture, dir.Path(), "q");
  file = ReadFile(dir.File(name));
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
  back.LoadFromFile(dir.File(name));
  ASSERT_TRUE(back.Frames().SubImages(0)->Transparent());
  EXPECT_EQ(back.Frames().SubImages(0)->Pixels(0, 29),
            back.Frames().SubImages(0)->GraphicControlExtension()->TransparentColorIndex());

  // A picture the method cannot reduce fails without leaving a file.
  job.GifColorReduction = rmNone;
  EXPECT_EQ(job.SaveBitmapToTarget(*picture, dir.Path(), "n"), "Error");
  EXPECT_FALSE(FileExists(dir.File("n_1.GIF")));
  GIFImageDefaultColorReduction = rmNetscape;
  GIFImageDefaultColorReductionBits = 8;
  GIFImageDefaultDitherMode = dmNearest;
  GIFImageDefaultCompression = gcLZW;
}

}  // namespace
