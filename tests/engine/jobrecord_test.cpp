// The watermark pattern built at start.
#include "engine/jobrecord.h"

#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

TEST(JobRecord, PatternFromTheProgramFolderOrASquare) {
  // Without a readable "back.bmp" beside the program, or with one without
  // pixels (which cannot be tiled): a green 60 x 60 square.
  TempDir dir;
  TBitmap noColumns, noRows;
  noColumns.SetPixelFormat(pf24bit);
  noRows.SetPixelFormat(pf24bit);
  noColumns.SetSize(0, 7);
  noRows.SetSize(7, 0);
  for (int kind = 0; kind < 4; ++kind) {
    if (kind == 1) WriteTextFile(dir.File("back.bmp"), "BMgarbage");
    if (kind > 1) (kind == 2 ? noColumns : noRows).SaveToFile(dir.File("back.bmp"));
    TJobRecord job(dir.Path());
    EXPECT_FALSE(job.WatermarkFromFile) << kind;
    EXPECT_EQ(job.WatermarkFile, dir.File("back.bmp"));
    EXPECT_EQ(job.WatermarkBitmap->PixelFormat(), pf24bit);
    EXPECT_TRUE(SameColors(*job.WatermarkBitmap, *MakeFlatBitmap(60, 60, 0x8000))) << kind;
  }
  // A pattern file in any format becomes a 24-bit copy.
  auto pattern = MakeTestBitmap(12, 9);
  pattern->SetPixelFormat(pf8bit);
  pattern->SaveToFile(dir.File("back.bmp"));
  TJobRecord job(dir.Path());
  EXPECT_TRUE(job.WatermarkFromFile);
  EXPECT_EQ(job.WatermarkBitmap->PixelFormat(), pf24bit);
  EXPECT_TRUE(SameColors(*job.WatermarkBitmap, *pattern));
  // The pattern shipped with the program is readable.
  TJobRecord shipped(std::string(BRIGHTMILL_SOURCE_DIR) + "/app/");
  EXPECT_TRUE(shipped.WatermarkFromFile);
  EXPECT_EQ(shipped.WatermarkBitmap->Width(), 64);
}
