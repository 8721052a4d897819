// Piles of extensions and of data sub-blocks hold memory of their bytes,
// counted at the heap, and the claim made before a load holds what it takes.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/jobrecord.h"
#include "engine/picturefiles.h"
#include "tests/gif/gifsupport.h"
#include "tests/memory/allocationcount.h"

TEST(GifPiles, EachPileHoldsItsBytesAndTheClaimHoldsTheLoad) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  RegisterPictureFormats();
  const std::vector<uint8_t> blocks = SubBlocks(std::vector<uint8_t>(1000000, 'x'), 1);
  ByteWriter application, comment, pile;
  application.U8(0x21).U8(0xFF).U8(11).Text("PILEDATA1.0").Bytes(blocks);
  comment.U8(0x21).U8(0xFE).Bytes(blocks);
  for (int i = 0; i < 300000; ++i) pile.U8(0x21).U8(0xFE).U8(0);
  pile.Bytes({0x21, 0xF9, 4, 1, 0, 0, 1, 0});  // the frame's first: index 1 transparent
  const struct {
    const char* Name;
    std::vector<uint8_t> Extensions;
    int Kept;  // the extensions kept; all are written back when that is all
  } rows[] = {
      {"application extension of a million blocks", application.Data, 1},
      {"comment of a million blocks", comment.Data, 1},
      {"300,000 comments", pile.Data, GIFMaxFrameExtensions + 1},
  };
  TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    ByteWriter w = GifStart(1, 1, 1);
    ImageDescriptor(w.Bytes(row.Extensions), 0, 0, 1, 1);
    const std::vector<uint8_t> file = w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {5, 3}}))).U8(0x3B).Data;
    TGIFImage image;
    std::vector<std::string> warnings;
    EXPECT_LE(MeasureAllocations([&] { warnings = LoadGif(image, file); }).Peak, int64_t(file.size()) + (256 << 10));
    EXPECT_EQ(FrameOf(image).Extensions().Count(), row.Kept);
    const std::vector<uint8_t> saved = SavedBytes(image);
    if (row.Kept == 1) {
      EXPECT_TRUE(warnings.empty());
      EXPECT_NE(std::search(saved.begin(), saved.end(), row.Extensions.begin(), row.Extensions.end()), saved.end());
    } else {
      EXPECT_EQ(warnings, std::vector<std::string>({sTooManyExtensions}));
      EXPECT_TRUE(FrameOf(image).Transparent());
    }
    // The road of a run: the claim holds the load and follows the bytes.
    WriteFile(dir.File("pile.gif"), file);
    const int64_t claimed = ClaimLoadBytes(ClaimPictureFile(dir.File("pile.gif")));
    bool loaded = false;
    const TAllocations load = MeasureAllocations([&] {
      TBitmap bitmap;
      loaded = TJobRecord::LoadPictureToBitmap(dir.File("pile.gif"), bitmap) && (bitmap.SetPixelFormat(pf24bit), true);
    });
    EXPECT_TRUE(loaded);
    EXPECT_LE(load.Peak, claimed);
    EXPECT_LE(claimed, 2 * int64_t(file.size()) + (1 << 20));
  }
}
