// The target summary lines of each format.
#include "engine/targetsummary.h"

#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

using Lines = std::vector<std::string>;

TEST(TargetSummary, LinesFollowTheOptionsAsTheyStand) {
  TempDir dir;
  TJobRecord job(dir.Path());
  EXPECT_EQ(TargetSummaryLines(job, 3),
            (Lines{"Target: PNG files", "Compress: 6", "Transp. color: $1FFFFFFF", "Interlace: false"}));
  for (int format : {-1, 4, 7}) EXPECT_TRUE(TargetSummaryLines(job, format).empty()) << format;
  job.BmpPixelFormatText = "Pixel format: 8 bit";
  job.JpegQuality = 7;
  job.GifColorsText = "16";
  job.GifColorReductionText = "Windows 20";
  job.GifDitherText = "Floyd Steinberg";
  job.GifCompression = gcRLE;
  job.GifTransparent = true;
  job.PngCompressionLevel = 9;
  job.PngTransparentColor = clWhite;
  job.PngInterlace = true;
  EXPECT_EQ(TargetSummaryLines(job, 0), (Lines{"Target: BMP files", "Pixel format: 8 bit"}));
  EXPECT_EQ(TargetSummaryLines(job, 1)[1], "Compress: 7");
  EXPECT_EQ(TargetSummaryLines(job, 2), (Lines{"Target: GIF files", "Colors: 16", "Reduction: Windows 20",
                                               "Dither: Floyd Steinberg", "Compress: RLE", "Transparency: true"}));
  EXPECT_EQ(TargetSummaryLines(job, 3),
            (Lines{"Target: PNG files", "Compress: 9", "Transp. color: clWhite", "Interlace: true"}));
}
