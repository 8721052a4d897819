// The watermark pattern built at start.
#include "engine/jobrecord.h"

#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

TEST(JobRecord, PatternFromTheProgramFolderOrASquare) {
  // Without a readable "back.bmp" beside the program: a green 60 x 60
  // square.
  TempDir dir;
  for (bool garbage : {false, true}) {
    if (garbage) WriteTextFile(dir.File("back.bmp"), "BMgarbage");
    TJobRecord job(dir.Path());
    EXPECT_FALSE(job.WatermarkFromFile);
    EXPECT_EQ(job.WatermarkFile, dir.File("back.bmp"));
    ASSERT_EQ(job.WatermarkBitmap->Width(), 60);
    ASSERT_EQ(job.WatermarkBitmap->Height(), 60);
    EXPECT_EQ(job.WatermarkBitmap->PixelFormat(), pf24bit);
    for (int y = 0; y < 60; y += 7)
      for (int x = 0; x < 60; x += 7) EXPECT_EQ(PixelAt(*job.WatermarkBitmap, x, y), 0x8000);
  }
  // A pattern file in any format becomes a 24-bit copy.
  auto pattern = MakeTestBitmap(12, 9);
  pattern->SetPixelFormat(pf8bit);
  pattern->SaveToFile(dir.File("back.bmp"));
  TJobRecord job(dir.Path());
  EXPECT_TRUE(job.WatermarkFromFile);
  EXPECT_EQ(job.WatermarkBitmap->PixelFormat(), pf24bit);
  EXPECT_TRUE(SameColors(*job.WatermarkBitmap, *pattern));
  // A picture without pixels cannot be tiled: the square again.
  for (auto [width, height] : {std::pair{0, 7}, std::pair{7, 0}}) {
    TBitmap empty;
    empty.SetPixelFormat(pf24bit);
    empty.SetSize(width, height);
    empty.SaveToFile(dir.File("back.bmp"));
    TJobRecord none(dir.Path());
    EXPECT_FALSE(none.WatermarkFromFile);
    EXPECT_EQ(none.WatermarkBitmap->Width(), 60);
  }
  // The pattern shipped with the program is readable.
  TJobRecord shipped(std::string(BRIGHTMILL_SOURCE_DIR) + "/app/");
  EXPECT_TRUE(shipped.WatermarkFromFile);
  EXPECT_EQ(shipped.WatermarkBitmap->Width(), 64);
}
