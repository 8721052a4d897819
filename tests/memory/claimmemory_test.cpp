// What loading a picture holds at its peak, counted at the heap, against
// what its claim says before the load: the picture the load places is the
// size claimed, and the load (with the conversion to 24 bits that follows
// it in a run) holds no more than ClaimLoadBytes, for ordinary files not
// far less, and for files made to cost more than they look (a frame larger
// than its screen, a frame header far into a JPEG, icon entries larger than
// their directory says, coefficients, a long tail) no more either.
#include <gtest/gtest.h>

#include "engine/jobrecord.h"
#include "engine/picturefiles.h"
#include "platform/metafile/metafile.h"
#include "png/pngimage.h"
#include "tests/memory/allocationcount.h"
#include "tests/support/craftedfiles.h"
#include "tests/support/picturefiles.h"
#include "tests/support/testsupport.h"

namespace {

struct TClaimRow {
  const char* Name;  // the file's name: its extension chooses the loader
  std::vector<uint8_t> Data;
  bool Ordinary;  // a file as a camera or a program writes it
};

// What a run's load stage holds at its peak for the file: the load into a
// fresh 24-bit bitmap, then its conversion to 24 bits. Answers -1 when the
// load fails; the picture's size goes to width and height.
int64_t LoadPeak(const std::string& path, int& width, int& height) {
  bool loaded = false;
  const TAllocations used = MeasureAllocations([&] {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    loaded = TJobRecord::LoadPictureToBitmap(path, bitmap);
    if (loaded) bitmap.SetPixelFormat(pf24bit);
    width = bitmap.Width();
    height = bitmap.Height();
  });
  return loaded ? used.Peak : -1;
}

}  // namespace

TEST(ClaimMemory, EveryLoadStaysWithinItsClaim) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  RegisterPictureFormats();
  const std::vector<uint8_t> smallPng = CraftedPng(24, 24);
  const std::vector<TClaimRow> rows = {
      // Ordinary files of every kind.
      {"photo.jpg", CraftedJpeg(1200, 900, TJpegCraft::Baseline), true},
      {"progressive.jpg", CraftedJpeg(1200, 900, TJpegCraft::Progressive), true},
      {"grey.jpg", CraftedJpeg(1000, 700, TJpegCraft::Grey), true},
      {"print.jpg", CraftedJpeg(900, 900, TJpegCraft::Cmyk), true},
      {"rgb.bmp", CraftedBmp(1000, 700, 24), true},
      {"palette.bmp", CraftedBmp(1000, 700, 8), true},
      {"mono.bmp", CraftedBmp(1000, 700, 1), true},
      {"alpha.bmp", CraftedBmp(1000, 700, 32), true},
      {"same.gif", CraftedGif(800, 600, 800, 600), true},
      {"framed.gif", CraftedGif(800, 600, 300, 200), true},
      {"icon.ico", CraftedIcon({{CraftedIconDib(48, 48, 32), 48, 48}, {CraftedIconDib(32, 32, 8)}}), true},
      {"large.ico", CraftedIcon({{CraftedIconDib(256, 256, 32), 0, 0}}), true},
      {"png.ico", CraftedIcon({{CraftedPng(256, 256), 0, 0}}), true},
      {"drawing.emf", MakeEmfFile(25400, 19050, clBlue, 10, 10, 500, 400), true},
      // Files made to cost more than they look.
      {"wide frame.gif", CraftedGif(10, 300, 30001, 10), false},
      {"large frame.gif", CraftedGif(20, 20, 2000, 1500), false},
      {"no screen frame.gif", CraftedGif(600, 500, 0, 0), false},
      {"comments.gif", CraftedGif(4, 4, 4, 4, 200, 5000), false},
      {"hidden frame.gif", CraftedGifHiddenFrame(4000, 4000), false},
      {"one pixel.gif", CraftedGif(1, 1, 1, 1), false},
      {"stray byte.jpg", WithStrayBytesBeforeFrame(CraftedJpeg(2000, 1500, TJpegCraft::Baseline)), false},
      {"comments.jpg", WithComments(CraftedJpeg(2000, 1500, TJpegCraft::Baseline), 10001), false},
      {"progressive print.jpg", CraftedJpeg(1500, 1500, TJpegCraft::ProgressiveCmyk), false},
      {"png entries.ico", CraftedIcon({{CraftedPng(800, 800), 32, 32}, {CraftedPng(900, 900), 16, 16}}), false},
      {"tail.bmp", WithTail(CraftedBmp(1, 1, 24), 30 << 20), false},
      {"tail.ico", WithTail(CraftedIcon({{CraftedIconDib(1, 1, 24)}}), 30 << 20), false},
      {"tail.jpg", WithTail(CraftedJpeg(8, 8, TJpegCraft::Baseline), 30 << 20), false},
  };
  TempDir dir;
  // A first load of each kind makes what stays for the process.
  for (const TClaimRow& first : {rows[0], rows[4], rows[8], rows[10], rows[12], rows[13]}) {
    WriteFile(dir.File(first.Name), first.Data);
    int width, height;
    LoadPeak(dir.File(first.Name), width, height);
  }
  for (const TClaimRow& row : rows) {
    SCOPED_TRACE(row.Name);
    WriteFile(dir.File(row.Name), row.Data);
    const TPictureClaim claim = ClaimPictureFile(dir.File(row.Name));
    ASSERT_TRUE(claim.Readable);
    int width = 0, height = 0;
    const int64_t peak = LoadPeak(dir.File(row.Name), width, height);
    ASSERT_GE(peak, 0);
    EXPECT_EQ(width, claim.Width);
    EXPECT_EQ(height, claim.Height);
    const int64_t claimed = ClaimLoadBytes(claim);
    EXPECT_LE(peak, claimed);
    // A metafile is drawn in the helper program, whose memory this heap
    // does not see.
    const int64_t helper = PictureKindOf(ExtractFileExt(row.Name)) == TPictureKind::Metafile
                               ? MetafileDrawBytes(row.Data.data(), row.Data.size(), width, height)
                               : 0;
    if (row.Ordinary) {
      EXPECT_LE(claimed - helper, 2 * peak);
    }
    DeleteFile(dir.File(row.Name));
  }
}

TEST(ClaimMemory, AFileRewrittenUnderItsClaimLoadsAsClaimedOrNotAtAll) {
  // Claimed, then rewritten in place, its size and time kept: neither its
  // name nor its open file tells. The load claims the bytes it reads again:
  // as large a picture loads (the new one), more is refused, and it holds
  // no more than the claim either way.
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  RegisterPictureFormats();
  auto sized = [](std::vector<uint8_t> file) {
    file.resize(20000);
    return file;
  };
  const struct {
    const char* Name;
    std::vector<uint8_t> Claimed, Rewritten;
    bool Loads;
  } rows[] = {
      {"larger.png", sized(CraftedPng(30, 20)), sized(CraftedPng(3000, 2000)), false},
      {"text.png", sized(CraftedPng(30, 20)), sized(CraftedPng(30, 20, 4, 4 << 20)), false},
      {"grey.jpg", sized(CraftedJpeg(30, 20, TJpegCraft::Baseline)), sized(CraftedJpeg(30, 20, TJpegCraft::Grey)),
       true},
      {"larger frame.gif", CraftedGif(30, 20, 30, 20), CraftedGif(30, 20, 3000, 2000), false},
  };
  TempDir dir;
  for (const auto& row : rows) {
    WriteFile(dir.File(row.Name), row.Claimed);
    TClaimedFile claimed = ClaimFile(dir.File(row.Name));
    RewriteInPlace(dir.File(row.Name), row.Rewritten, true);
    EXPECT_TRUE(claimed.Unchanged()) << row.Name;
    TBitmap bitmap, rewritten;
    bool loaded = false;
    const TAllocations used = MeasureAllocations([&] { loaded = TJobRecord::LoadClaimedPicture(claimed, bitmap); });
    EXPECT_EQ(loaded, row.Loads) << row.Name;
    EXPECT_LE(used.Peak, ClaimLoadBytes(claimed.Claim)) << row.Name;
    EXPECT_EQ(loaded, TJobRecord::LoadPictureToBitmap(dir.File(row.Name), rewritten) && SameColors(bitmap, rewritten));
  }
}
