// Writing finished pictures under new names into the target folder.
#include <gtest/gtest.h>

#include "engine/jobrecord.h"
#include "platform/jpeg.h"
#include "tests/support/testsupport.h"

namespace {

class TargetWriter : public ::testing::Test {
 protected:
  TargetWriter() : Job(Dir.Path()) {}
  std::string Save(const std::string& base = "photo(Gauss)") {
    auto picture = MakeTestBitmap(6, 4);
    return Job.SaveBitmapToTarget(*picture, Dir.Path(), base);
  }
  TempDir Dir;
  TJobRecord Job;
};

// The values of the first quantisation table of a JPEG file.
std::vector<int> FirstQuantTable(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 0; i + 4 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) {
      std::vector<int> values;
      for (size_t k = 0; k < 64 && i + 5 + k < jpeg.size(); ++k) values.push_back(jpeg[i + 5 + k]);
      return values;
    }
  }
  return {};
}

}  // namespace

TEST_F(TargetWriter, TakesTheFirstFreeNumber) {
  Job.TargetExtension = ".jpg";
  WriteTextFile(Dir.File("photo(Gauss)_1.jpg"), "taken");
  WriteTextFile(Dir.File("photo(Gauss)_3.jpg"), "taken");
  EXPECT_EQ(Save(), "photo(Gauss)_2.jpg");
  EXPECT_EQ(Save(), "photo(Gauss)_4.jpg");
  EXPECT_EQ(Save(), "photo(Gauss)_5.jpg");
  // The files that were there are untouched.
  EXPECT_EQ(ReadFile(Dir.File("photo(Gauss)_1.jpg")).size(), 5u);
  EXPECT_EQ(ReadFile(Dir.File("photo(Gauss)_3.jpg")).size(), 5u);
}

TEST_F(TargetWriter, NeverReplacesAFile) {
  // A folder (or anything else) holding a name is skipped like a file.
  ASSERT_TRUE(CreateDir(Dir.File("pic_1.bmp")));
  EXPECT_EQ(Save("pic"), "pic_2.bmp");
  // A second run over the same folder continues the numbers.
  EXPECT_EQ(Save("pic"), "pic_3.bmp");
  auto first = ReadFile(Dir.File("pic_2.bmp"));
  EXPECT_EQ(Save("pic"), "pic_4.bmp");
  EXPECT_EQ(ReadFile(Dir.File("pic_2.bmp")), first);
}

TEST_F(TargetWriter, BmpInTheJobsPixelFormat) {
  auto picture = MakeTestBitmap(9, 5);
  Job.BmpPixelFormat = pf1bit;
  std::string name = Job.SaveBitmapToTarget(*picture, Dir.Path(), "mono");
  ASSERT_EQ(name, "mono_1.bmp");
  auto data = ReadFile(Dir.File(name));
  ASSERT_GT(data.size(), 30u);
  EXPECT_EQ(data[28], 1);  // bits per pixel in the file
  EXPECT_EQ(picture->PixelFormat(), pf1bit);  // the caller's bitmap is converted in place

  TBitmap back;
  back.LoadFromFile(Dir.File(name));
  EXPECT_EQ(back.PixelFormat(), pf1bit);
  EXPECT_TRUE(SameColors(back, *picture));
}

TEST_F(TargetWriter, JpegAtTheJobsQuality) {
  Job.TargetExtension = ".jpg";
  ASSERT_EQ(Save("q"), "q_1.jpg");
  auto table = FirstQuantTable(ReadFile(Dir.File("q_1.jpg")));
  ASSERT_EQ(table.size(), 64u);
  for (int v : table) EXPECT_EQ(v, 1);  // quality 100, not the class's 90

  Job.JpegQuality = 50;
  ASSERT_EQ(Save("q"), "q_2.jpg");
  table = FirstQuantTable(ReadFile(Dir.File("q_2.jpg")));
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(table[0], 16);  // the standard luminance table at quality 50

  TJPEGImage jpeg;
  jpeg.LoadFromFile(Dir.File("q_1.jpg"));
  EXPECT_EQ(jpeg.Width(), 6);
  EXPECT_EQ(jpeg.Height(), 4);
}

TEST_F(TargetWriter, FailuresAnswerError) {
  auto picture = MakeTestBitmap(4, 4);
  // A target folder that has gone.
  EXPECT_EQ(Job.SaveBitmapToTarget(*picture, Dir.File("gone/"), "x"), "Error");
  // Formats not written by this writer.
  Job.TargetExtension = ".tif";
  EXPECT_EQ(Job.SaveBitmapToTarget(*picture, Dir.Path(), "x"), "Error");
  // Nothing was left behind.
  Job.TargetExtension = ".bmp";
  EXPECT_EQ(Job.SaveBitmapToTarget(*picture, Dir.Path(), "x"), "x_1.bmp");
}

TEST_F(TargetWriter, EmptyPictureCannotBeJpeg) {
  Job.TargetExtension = ".jpg";
  TBitmap empty;
  EXPECT_EQ(Job.SaveBitmapToTarget(empty, Dir.Path(), "e"), "Error");
  EXPECT_FALSE(FileExists(Dir.File("e_1.jpg")));
}
