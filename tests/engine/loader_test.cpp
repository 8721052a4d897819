// Reading source pictures by their extension.
#include <gtest/gtest.h>

#include "engine/jobrecord.h"
#include "platform/jpeg.h"
#include "tests/support/picturefiles.h"
#include "tests/support/testsupport.h"

namespace {

std::unique_ptr<TBitmap> WorkingBitmap() {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  return b;
}

std::vector<uint8_t> JpegBytes(int w, int h) {
  TJPEGImage jpeg;
  auto picture = MakeTestBitmap(w, h);
  jpeg.Assign(picture.get());
  jpeg.Compress();
  TMemoryStream stream;
  jpeg.SaveToStream(stream);
  return {stream.Memory(), stream.Memory() + stream.Size()};
}

}  // namespace

TEST(PictureLoading, ExtensionsInAnyCaseChooseTheReader) {
  TempDir dir;
  auto jpeg = JpegBytes(8, 6);
  for (const char* name : {"photo.jpg", "PHOTO.JPG", "photo.Jpeg"}) {
    WriteFile(dir.File(name), jpeg);
    auto b = WorkingBitmap();
    EXPECT_TRUE(TJobRecord::LoadImageToBitmap(dir.File(name), *b)) << name;
    EXPECT_EQ(b->Width(), 8);
    EXPECT_EQ(b->Height(), 6);
  }
  // A JPEG under another extension is not read as one.
  WriteFile(dir.File("photo.bmp"), jpeg);
  auto b = WorkingBitmap();
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("photo.bmp"), *b));
}

TEST(PictureLoading, OnlyTheTextAfterTheLastDotCounts) {
  TempDir dir;
  auto picture = MakeTestBitmap(5, 4);
  picture->SaveToFile(dir.File("a.png.bmp"));
  auto b = WorkingBitmap();
  EXPECT_TRUE(TJobRecord::LoadImageToBitmap(dir.File("a.png.bmp"), *b));
  EXPECT_TRUE(SameColors(*b, *picture));
  // "a.b.png" is a PNG whatever its content.
  picture->SaveToFile(dir.File("a.bmp.png"));
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("a.bmp.png"), *b));
}

TEST(PictureLoading, FailuresAnswerFalse) {
  TempDir dir;
  auto b = WorkingBitmap();
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("missing.bmp"), *b));
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("missing.jpg"), *b));
  EXPECT_FALSE(TJobRecord::LoadGifToBitmap(dir.File("missing.gif"), *b));

  auto jpeg = JpegBytes(64, 64);
  jpeg.resize(jpeg.size() / 2);
  WriteFile(dir.File("cut.jpg"), jpeg);
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("cut.jpg"), *b));

  WriteTextFile(dir.File("text.ico"), "not an icon");
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("text.ico"), *b));
  WriteTextFile(dir.File("empty.emf"), "");
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("empty.emf"), *b));

  // A folder with a picture's name is not a picture.
  ASSERT_TRUE(CreateDir(dir.File("folder.bmp")));
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("folder.bmp"), *b));

  // Types the program does not read load nothing.
  WriteTextFile(dir.File("notes.txt"), "text");
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("notes.txt"), *b));
}

TEST(PictureLoading, GifFilesGoToTheGifReader) {
  TempDir dir;
  // A BMP named .GIF: LoadPictureToBitmap sends it to the GIF reader, which
  // does not take it for a GIF.
  MakeTestBitmap(3, 3)->SaveToFile(dir.File("pic.GIF"));
  auto b = WorkingBitmap();
  EXPECT_FALSE(TJobRecord::LoadPictureToBitmap(dir.File("pic.GIF"), *b));
}

TEST(PictureLoading, BmpKeepsItsOwnPixelFormat) {
  TempDir dir;
  auto picture = MakeTestBitmap(7, 3);
  picture->SetPixelFormat(pf8bit);
  picture->SaveToFile(dir.File("eight.bmp"));
  auto b = WorkingBitmap();
  ASSERT_TRUE(TJobRecord::LoadImageToBitmap(dir.File("eight.bmp"), *b));
  EXPECT_EQ(b->PixelFormat(), pf8bit);
  EXPECT_TRUE(SameColors(*b, *picture));
}

TEST(PictureLoading, IconTransparencyComesOutWhite) {
  TempDir dir;
  WriteFile(dir.File("icon.ico"), MakeIcoFile(4, 3, clRed, {0, 5}));
  auto b = WorkingBitmap();
  ASSERT_TRUE(TJobRecord::LoadImageToBitmap(dir.File("icon.ico"), *b));
  EXPECT_EQ(b->Width(), 4);
  EXPECT_EQ(b->Height(), 3);
  EXPECT_EQ(PixelAt(*b, 0, 0), clWhite);
  EXPECT_EQ(PixelAt(*b, 1, 1), clWhite);
  EXPECT_EQ(PixelAt(*b, 1, 0), clRed);
  EXPECT_EQ(PixelAt(*b, 3, 2), clRed);
}

TEST(PictureLoading, MetafilesAreToldApartByContent) {
  TempDir dir;
  // An EMF 2540 x 1270 hundredths of a mm is 96 x 48 pixels.
  auto emf = MakeEmfFile(2540, 1270, clBlue, 10, 10, 20, 20);
  WriteFile(dir.File("drawing.emf"), emf);
  WriteFile(dir.File("drawing.wmf"), emf);
  for (const char* name : {"drawing.emf", "drawing.wmf"}) {
    auto b = WorkingBitmap();
    ASSERT_TRUE(TJobRecord::LoadImageToBitmap(dir.File(name), *b)) << name;
    EXPECT_EQ(b->Width(), 96);
    EXPECT_EQ(b->Height(), 48);
    EXPECT_EQ(PixelAt(*b, 15, 15), clBlue);
    EXPECT_EQ(PixelAt(*b, 5, 5), clWhite);  // undrawn area keeps the fresh white
  }
  // A placeable WMF of 1440 units per inch, 1440 x 720 units: 96 x 48 px.
  WriteFile(dir.File("plain.wmf"), MakeWmfFile(1440, 720, 1440, clLime, 0, 0, 720, 720));
  auto b = WorkingBitmap();
  ASSERT_TRUE(TJobRecord::LoadImageToBitmap(dir.File("plain.wmf"), *b));
  EXPECT_EQ(b->Width(), 96);
  EXPECT_EQ(b->Height(), 48);
  EXPECT_EQ(PixelAt(*b, 10, 10), clLime);
  EXPECT_EQ(PixelAt(*b, 80, 10), clWhite);
  // Without the placeable header a WMF is not a picture.
  WriteFile(dir.File("bare.wmf"), MakeWmfFile(1440, 720, 1440, clLime, 0, 0, 720, 720, false));
  EXPECT_FALSE(TJobRecord::LoadImageToBitmap(dir.File("bare.wmf"), *b));
}
