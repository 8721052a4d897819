// PNG pictures in the engine: loading sources (also icons whose entries are
// PNG files) and writing ".png" targets with the job's options.
#include <gtest/gtest.h>

#include "engine/jobrecord.h"
#include "png/pngimage.h"
#include "tests/support/testsupport.h"

namespace {

std::vector<uint8_t> Encode(TPNGObject& png) {
  TMemoryStream stream;
  png.SaveToStream(stream);
  return {stream.Memory(), stream.Memory() + stream.Size()};
}

std::vector<uint8_t> PngOf(TBitmap& bitmap) {
  TPNGObject png;
  png.Assign(&bitmap);
  return Encode(png);
}

std::unique_ptr<TBitmap> Load(const std::string& path, bool* loaded) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  *loaded = TJobRecord::LoadImageToBitmap(path, *bitmap);
  return bitmap;
}

// An icon file with one entry that holds the PNG file.
std::vector<uint8_t> IconWithPng(const std::vector<uint8_t>& png, int size) {
  ByteWriter w;
  w.U16(0).U16(1).U16(1);
  w.U8(uint8_t(size)).U8(uint8_t(size)).U8(0).U8(0).U16(1).U16(32).U32(uint32_t(png.size())).U32(22);
  w.Bytes(png);
  return w.Data;
}

}  // namespace

TEST(PngEngine, LoadsPngSources) {
  TempDir dir;
  auto picture = MakeTestBitmap(9, 7, 2);
  WriteFile(dir.File("photo.png"), PngOf(*picture));
  WriteFile(dir.File("PHOTO2.PNG"), PngOf(*picture));
  for (const char* name : {"photo.png", "PHOTO2.PNG"}) {
    bool loaded;
    auto b = Load(dir.File(name), &loaded);
    EXPECT_TRUE(loaded) << name;
    EXPECT_TRUE(SameColors(*b, *picture)) << name;
  }
  // A palette picture and one with alpha, which shows white where clear.
  auto indexed = MakeTestBitmap(5, 5);
  indexed->SetPixelFormat(pf8bit);
  WriteFile(dir.File("palette.png"), PngOf(*indexed));
  TPNGObject alpha(COLOR_RGBALPHA, 8, 2, 1);
  std::fill_n(alpha.Scanline(0), 6, uint8_t(20));
  alpha.AlphaScanline(0)[1] = 255;
  WriteFile(dir.File("alpha.png"), Encode(alpha));
  bool loaded;
  auto b = Load(dir.File("palette.png"), &loaded);
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(SameColors(*b, *indexed));
  b = Load(dir.File("alpha.png"), &loaded);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(PixelAt(*b, 0, 0), clWhite);
  EXPECT_EQ(PixelAt(*b, 1, 0), RGB(20, 20, 20));
  // An icon entry stored as PNG goes through the codec.
  WriteFile(dir.File("icon.ico"), IconWithPng(PngOf(*picture), 9));
  b = Load(dir.File("icon.ico"), &loaded);
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(SameColors(*b, *picture));
}

TEST(PngEngine, DamagedPngAnswersFalse) {
  TempDir dir;
  std::vector<uint8_t> file = PngOf(*MakeTestBitmap(9, 7));
  std::vector<uint8_t> bad = file;
  bad[20] ^= 1;  // in the header's data: a CRC error
  WriteFile(dir.File("crc.png"), bad);
  WriteFile(dir.File("cut.png"), std::vector<uint8_t>(file.begin(), file.begin() + 40));
  for (const char* name : {"crc.png", "cut.png", "missing.png"}) {
    bool loaded = true;
    Load(dir.File(name), &loaded);
    EXPECT_FALSE(loaded) << name;
  }
}

TEST(PngEngine, WritesPngTargetsWithTheJobsOptions) {
  TempDir dir;
  TJobRecord job(dir.Path());
  job.TargetExtension = ".png";
  auto picture = MakeTestBitmap(40, 30, 1);
  EXPECT_EQ(job.SaveBitmapToTarget(*picture, dir.Path(), "photo"), "photo_1.png");
  EXPECT_EQ(job.SaveBitmapToTarget(*picture, dir.Path(), "photo"), "photo_2.png");
  bool loaded;
  EXPECT_TRUE(SameColors(*Load(dir.File("photo_1.png"), &loaded), *picture));
  std::vector<uint8_t> plain = ReadFile(dir.File("photo_1.png"));
  EXPECT_EQ(plain[28], 0);  // interlace byte of the header
  EXPECT_EQ(std::search(plain.begin(), plain.end(), "tRNS", "tRNS" + 4), plain.end());

  job.PngInterlace = true;
  job.PngCompressionLevel = 0;
  job.PngTransparentColor = PixelAt(*picture, 3, 2);
  ASSERT_EQ(job.SaveBitmapToTarget(*picture, dir.Path(), "photo"), "photo_3.png");
  std::vector<uint8_t> options = ReadFile(dir.File("photo_3.png"));
  EXPECT_EQ(options[28], 1);
  EXPECT_GT(options.size(), plain.size());  // stored, not compressed
  EXPECT_NE(std::search(options.begin(), options.end(), "tRNS", "tRNS" + 4), options.end());
  auto back = Load(dir.File("photo_3.png"), &loaded);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(PixelAt(*back, 3, 2), clWhite);  // the transparent colour shows the fresh bitmap's white
  EXPECT_EQ(PixelAt(*back, 4, 2), PixelAt(*picture, 4, 2));

  // A level zlib does not know, and an empty picture, end in "Error".
  job.PngCompressionLevel = 10;
  EXPECT_EQ(job.SaveBitmapToTarget(*picture, dir.Path(), "photo"), "Error");
  job.PngCompressionLevel = 6;
  TBitmap empty;
  EXPECT_EQ(job.SaveBitmapToTarget(empty, dir.Path(), "photo"), "Error");
  EXPECT_FALSE(FileExists(dir.File("photo_4.png")));
}
