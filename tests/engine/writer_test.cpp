// Writing finished pictures under new names into the target folder, in
// every target format with the job's options.
#include <gtest/gtest.h>

#include "engine/jobrecord.h"
#include "gif/gifimage.h"
#include "platform/graphics/jpeg.h"
#include "png/pngimage.h"
#include "tests/support/testsupport.h"
#include "tests/support/writelimit.h"

namespace {

class TargetWriter : public ::testing::Test {
 protected:
  TargetWriter() : Job(Dir.Path()) {}
  ~TargetWriter() override {
    // The GIF writer leaves the job's settings in the codec's defaults.
    GIFImageDefaultColorReduction = rmNetscape;
    GIFImageDefaultColorReductionBits = 8;
    GIFImageDefaultDitherMode = dmNearest;
    GIFImageDefaultCompression = gcLZW;
  }
  std::string Save(const std::string& base, TBitmap& picture) {
    return Job.SaveBitmapToTarget(picture, Dir.Path(), base);
  }
  std::string Save(const std::string& base = "photo(Gauss)") { return Save(base, *MakeTestBitmap(6, 4)); }
  TempDir Dir;
  TJobRecord Job;
};

// The values of the first quantisation table of a JPEG file.
std::vector<int> FirstQuantTable(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 0; i + 5 + 64 <= jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) return std::vector<int>(&jpeg[i + 5], &jpeg[i + 5] + 64);
  return {};
}

bool Contains(const std::vector<uint8_t>& file, const std::string& text) {
  return std::search(file.begin(), file.end(), text.begin(), text.end()) != file.end();
}

TEST_F(TargetWriter, TakesTheFirstFreeNumberAndNeverReplacesAFile) {
  Job.TargetExtension = ".jpg";
  WriteTextFile(Dir.File("photo(Gauss)_1.jpg"), "taken");
  WriteTextFile(Dir.File("photo(Gauss)_3.jpg"), "taken");
  EXPECT_EQ(Save(), "photo(Gauss)_2.jpg");
  EXPECT_EQ(Save(), "photo(Gauss)_4.jpg");
  EXPECT_EQ(ReadFile(Dir.File("photo(Gauss)_3.jpg")).size(), 5u);
  // A folder (or anything else) holding a name is skipped like a file.
  Job.TargetExtension = ".bmp";
  ASSERT_TRUE(CreateDir(Dir.File("pic_1.bmp")));
  EXPECT_EQ(Save("pic"), "pic_2.bmp");
  auto first = ReadFile(Dir.File("pic_2.bmp"));
  EXPECT_EQ(Save("pic"), "pic_3.bmp");
  EXPECT_EQ(ReadFile(Dir.File("pic_2.bmp")), first);
}

TEST_F(TargetWriter, FailuresAnswerErrorAndLeaveNoFile) {
  auto picture = MakeTestBitmap(4, 4);
  TBitmap empty;
  // A target folder that has gone; formats not written here; an empty
  // picture, which no encoder takes.
  EXPECT_EQ(Job.SaveBitmapToTarget(*picture, Dir.File("gone/"), "x"), "Error");
  Job.TargetExtension = ".tif";
  EXPECT_EQ(Save("x", *picture), "Error");
  for (const char* extension : {".jpg", ".png"}) {
    Job.TargetExtension = extension;
    EXPECT_EQ(Save("e", empty), "Error") << extension;
    EXPECT_FALSE(FileExists(Dir.File(std::string("e_1") + extension)));
  }
  Job.TargetExtension = ".bmp";
  EXPECT_EQ(Save("x", *picture), "x_1.bmp");

  // A disk that fills up while a picture is written: no file is left, and
  // the next picture takes the number again.
  auto large = MakeNoiseBitmap(200, 100, 1);
  for (const char* extension : {".bmp", ".png"}) {
    Job.TargetExtension = extension;
    {
      TWriteLimit full(1000);
      EXPECT_EQ(Save("full", *large), "Error") << extension;
    }
    EXPECT_FALSE(FileExists(Dir.File(std::string("full_1") + extension)));
    EXPECT_EQ(Save("full", *picture), std::string("full_1") + extension);
  }
}

TEST_F(TargetWriter, BmpInTheJobsPixelFormat) {
  auto picture = MakeTestBitmap(9, 5);
  Job.BmpPixelFormat = pf1bit;
  ASSERT_EQ(Save("mono", *picture), "mono_1.bmp");
  EXPECT_EQ(picture->PixelFormat(), pf1bit);  // the caller's bitmap is converted in place
  TBitmap back;
  back.LoadFromFile(Dir.File("mono_1.bmp"));
  EXPECT_EQ(back.PixelFormat(), pf1bit);
  EXPECT_TRUE(SameColors(back, *picture));
}

TEST_F(TargetWriter, JpegAtTheJobsQuality) {
  // Quality 100, not the class's 90, then the standard luminance table at 50.
  Job.TargetExtension = ".jpg";
  ASSERT_EQ(Save("q"), "q_1.jpg");
  EXPECT_EQ(FirstQuantTable(ReadFile(Dir.File("q_1.jpg"))), std::vector<int>(64, 1));
  Job.JpegQuality = 50;
  ASSERT_EQ(Save("q"), "q_2.jpg");
  EXPECT_EQ(FirstQuantTable(ReadFile(Dir.File("q_2.jpg"))).at(0), 16);
}

TEST_F(TargetWriter, PngWithTheJobsOptions) {
  Job.TargetExtension = ".png";
  auto picture = MakeTestBitmap(40, 30, 1);
  ASSERT_EQ(Save("photo", *picture), "photo_1.png");
  std::vector<uint8_t> plain = ReadFile(Dir.File("photo_1.png"));
  EXPECT_EQ(plain[28], 0);  // interlace byte of the header
  EXPECT_FALSE(Contains(plain, "tRNS"));

  // Interlaced, stored, and with the transparent colour in a tRNS chunk.
  Job.PngInterlace = true;
  Job.PngCompressionLevel = 0;
  Job.PngTransparentColor = PixelAt(*picture, 3, 2);
  ASSERT_EQ(Save("photo", *picture), "photo_2.png");
  std::vector<uint8_t> options = ReadFile(Dir.File("photo_2.png"));
  EXPECT_EQ(options[28], 1);
  EXPECT_GT(options.size(), plain.size());
  EXPECT_TRUE(Contains(options, "tRNS"));
  TPNGObject png;
  png.LoadFromFile(Dir.File("photo_2.png"));
  EXPECT_EQ(png.TransparentColor(), PixelAt(*picture, 3, 2));

  // A level zlib does not know ends in "Error".
  Job.PngCompressionLevel = 10;
  EXPECT_EQ(Save("photo", *picture), "Error");
  EXPECT_FALSE(FileExists(Dir.File("photo_3.png")));
}

TEST_F(TargetWriter, GifWithTheJobsOptions) {
  Job.TargetExtension = ".GIF";
  Job.GifColorBits = 3;
  auto picture = MakeNoiseBitmap(40, 30, 9);
  ASSERT_EQ(Save("q", *picture), "q_1.GIF");
  std::vector<uint8_t> file = ReadFile(Dir.File("q_1.GIF"));
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF87a");
  TGIFImage back;
  back.LoadFromFile(Dir.File("q_1.GIF"));
  EXPECT_LE(back.GlobalColorMap().Count(), 8);
  // Run-length codes take more room for the same pixels; diffusion makes
  // other pixels.
  auto shown = [&](const std::string& name) {
    TGIFImage gif;
    gif.LoadFromFile(Dir.File(name));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->Assign(&gif);
    return bitmap;
  };
  Job.GifCompression = gcRLE;
  ASSERT_EQ(Save("r", *picture), "r_1.GIF");
  EXPECT_GT(ReadFile(Dir.File("r_1.GIF")).size(), file.size());
  EXPECT_TRUE(SameColors(*shown("r_1.GIF"), *shown("q_1.GIF")));
  Job.GifDitherMode = dmFloydSteinberg;
  ASSERT_EQ(Save("d", *picture), "d_1.GIF");
  EXPECT_FALSE(SameColors(*shown("d_1.GIF"), *shown("q_1.GIF")));

  // Transparency from the bottom-left pixel needs a 89a file.
  Job.GifTransparent = true;
  Job.GifColorReduction = rmNetscape;
  Job.GifDitherMode = dmBurkes;
  picture->Canvas()->SetPixel(0, 29, clRed);
  ASSERT_EQ(Save("q", *picture), "q_2.GIF");
  file = ReadFile(Dir.File("q_2.GIF"));
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
  back.LoadFromFile(Dir.File("q_2.GIF"));
  TGIFSubImage& frame = *back.Frames().SubImages(0);
  ASSERT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.Pixels(0, 29), frame.GraphicControlExtension()->TransparentColorIndex());

  // Methods that cannot reduce the picture (too many colours, no palette
  // given) fail without leaving a file.
  for (TColorReduction reduction : {rmNone, rmPalette}) {
    Job.GifColorReduction = reduction;
    EXPECT_EQ(Save("n", *picture), "Error") << int(reduction);
  }
  EXPECT_FALSE(FileExists(Dir.File("n_1.GIF")));
}

}  // namespace
