// What loading a PNG file into the working bitmap holds, counted at the
// heap, against the claim read from the file before (PngLoadClaim); and the
// text chunks past their bounds, kept as read.
#include <gtest/gtest.h>

#include "tests/memory/allocationcount.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

using TChunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

struct TClaim {
  bool Readable = false;
  int64_t Width = 0, Height = 0, LoadBytes = 0;
};

TClaim ClaimOf(TStream&& stream) {
  TClaim claim;
  claim.Readable = PngLoadClaim(stream, claim.Width, claim.Height, claim.LoadBytes);
  return claim;
}

// The peak of the engine's load: the file read, drawn into a 24-bit bitmap,
// which is made 24-bit again once the object is gone.
int64_t LoadPeak(const std::string& path) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  return MeasureAllocations([&] {
           {
             TPNGObject png;
             {
               TFileStream file(path, fmOpenRead | fmShareDenyWrite);
               png.LoadFromStream(file);
             }
             bitmap.Assign(&png);
           }
           bitmap.SetPixelFormat(pf24bit);
         })
      .Peak;
}

// A 2 x 2 RGB picture with the chunks before its image data.
std::vector<uint8_t> WithChunks(const TChunks& chunks) {
  TChunkStream stream = TChunkStream().Header(2, 2, 8, 2);
  for (const auto& [name, data] : chunks) stream.Chunk(name, data);
  return stream.Chunk("IDAT", Deflate(std::vector<uint8_t>(14, 0))).End().Bytes;
}

// A text chunk's data: the keyword, a zero byte, for zTXt the method byte
// and the text deflated, for tEXt the text.
std::vector<uint8_t> TextData(const std::string& keyword, const std::string& text, bool compressed = true) {
  std::vector<uint8_t> data(keyword.begin(), keyword.end());
  data.push_back(0);
  if (compressed) data.push_back(0);
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (compressed) bytes = Deflate(bytes, 9);
  data.insert(data.end(), bytes.begin(), bytes.end());
  return data;
}

const std::string kBound(size_t(kMaxChunkTextBytes), 'a');

// Past one chunk's bound, which counts as the bound inflated; three chunks
// of the bound fill the file's; a fourth, a small tEXt and zTXt after them.
const TChunks kPastTheBounds = {{"zTXt", TextData("over", kBound + "b")}, {"zTXt", TextData("z1", kBound)},
                                {"zTXt", TextData("z2", kBound)},         {"zTXt", TextData("z3", kBound)},
                                {"zTXt", TextData("z4", kBound)},         {"tEXt", TextData("late", "text", false)},
                                {"zTXt", TextData("small", "text")}};

}  // namespace

TEST(PngClaim, ALoadHoldsWhatItsClaimSays) {
  if (!AllocationsCounted()) GTEST_SKIP() << "this build's sanitizer keeps the heap";
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  // Every kind, plain and interlaced; the interlaced grey, RGB and palette
  // pictures with a transparent sample or palette alphas (they blend).
  // The last, large, has its pixels in huge pages.
  auto add = [&](int type, int depth, int width, int height, bool interlaced) {
    TSamplePicture picture = MakeSamplePicture(type, depth, width, height, interlaced, 3);
    if (interlaced && type == 3) picture.PaletteAlpha = {0, 128};
    if (interlaced && (type == 0 || type == 2)) picture.MakeTransparent(1, 1);
    files.emplace_back(picture.Name(), WriteWithLibpng(picture));
  };
  for (const TKind& kind : kKinds)
    for (bool interlaced : {false, true}) add(kind.ColorType, kind.BitDepth, 800, 600, interlaced);
  add(2, 8, 4000, 2500, true);
  // Twelve zTXt chunks of 8 MiB of text each, and ordinary text: a few tEXt
  // chunks, an XMP packet of 3 MiB in a zTXt and raw in an iTXt.
  TChunks many(12, {"zTXt", TextData("many", kBound)}), ordinary;
  std::string xmp;
  for (int i = 0; xmp.size() < (size_t(3) << 20); ++i) xmp += "<rdf:li>entry " + std::to_string(i) + "</rdf:li>\n";
  for (const char* keyword : {"Title", "Author", "Comment"})
    ordinary.push_back({"tEXt", TextData(keyword, xmp.substr(0, 3000), false)});
  ordinary.push_back({"zTXt", TextData("XML:com.adobe.xmp", xmp)});
  ordinary.push_back({"iTXt", TextData("XML:com.adobe.xmp", xmp, false)});
  files.emplace_back("many zTXt", WithChunks(many));
  files.emplace_back("past the bounds", WithChunks(kPastTheBounds));
  files.emplace_back("ordinary text", WithChunks(ordinary));

  // A first load makes what stays for the process (the nearest-colour
  // search of a thread).
  TempDir folder;
  WriteFile(folder.File("picture.png"), files[0].second);
  LoadPeak(folder.File("picture.png"));
  for (const auto& [name, file] : files) {
    WriteFile(folder.File("picture.png"), file);
    const TClaim claim = ClaimOf(TFileStream(folder.File("picture.png"), fmOpenRead | fmShareDenyWrite));
    ASSERT_TRUE(claim.Readable) << name;
    const int64_t peak = LoadPeak(folder.File("picture.png"));
    const int64_t claimed =
        int64_t(PixelMemorySize(size_t(AlignedRowBytes(claim.Width, 24) * claim.Height))) + claim.LoadBytes;
    EXPECT_LE(peak, claimed) << name;
    EXPECT_LE(claimed, peak + peak / 8 + (int64_t(1) << 20)) << name;
  }
}

TEST(PngClaim, RefusedExactlyWhereTheLoadRefusesTheHeader) {
  const std::vector<uint8_t> data = Deflate(std::vector<uint8_t>(14, 0));
  auto header = [](std::vector<uint8_t> fields) { return TChunkStream().Chunk("IHDR", fields); };
  auto kind = [](int width, int height, int depth, int type) {
    return TChunkStream().Header(width, height, depth, type);
  };
  std::vector<uint8_t> badCrc = kind(2, 2, 8, 2).Bytes, cut = badCrc;
  badCrc[29] ^= 1;
  cut.resize(30);
  // The files and the size claimed; 0 x 0 for the refused ones.
  const std::tuple<std::vector<uint8_t>, int, int> cases[] = {
      {{0x89, 'P', 'N', 'G'}, 0, 0},
      {TChunkStream().Chunk("IEND", {}).Bytes, 0, 0},
      {badCrc, 0, 0},
      {cut, 0, 0},
      {header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0}).Bytes, 0, 0},
      {header({0, 1, 0, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0}).Bytes, 0, 0},
      {header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 1, 0, 0}).Bytes, 0, 0},
      {header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 2}).Bytes, 0, 0},
      {kind(0, 1, 8, 2).Bytes, 0, 0},
      {kind(1, 1, 16, 3).Bytes, 0, 0},
      {kind(65535, 65535, 16, 6).Bytes, 0, 0},
      // Failures after the header, and a header of more than 13 bytes.
      {kind(65535, 9, 16, 6).End().Bytes, 65535, 9},
      {kind(3, 2, 8, 2).Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).End().Bytes, 3, 2},
      {header({0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0, 0, 7}).Chunk("IDAT", data).End().Bytes, 2, 2},
      {kind(2, 2, 8, 2).Chunk("IDAT", data).End().Bytes, 2, 2},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [file, width, height] = cases[i];
    const TClaim claim = ClaimOf(TReadOnlyMemoryStream(file.data(), file.size()));
    EXPECT_EQ(claim.Readable, width > 0) << i;
    EXPECT_EQ(std::vector<int64_t>({claim.Width, claim.Height}), std::vector<int64_t>({width, height})) << i;
    bool loaded = true;
    try {
      LoadPng(file);
    } catch (const Exception&) {
      loaded = false;
    }
    EXPECT_TRUE(claim.Readable || !loaded) << i;
  }
}

TEST(PngText, TextPastItsBoundsIsKeptAsReadAndWrittenBack) {
  const std::vector<uint8_t> file = WithChunks(kPastTheBounds);
  std::unique_ptr<TPNGObject> png = LoadPng(file);
  std::vector<std::string> held;
  for (int i = 0; i < png->ChunkList().Count(); ++i)
    if (auto* text = dynamic_cast<TChunktEXt*>(png->ChunkList().Item(i)))
      held.push_back(text->KeptAsRead ? "kept" : text->Keyword + " " + std::to_string(text->Text.size()));
  EXPECT_EQ(held,
            std::vector<std::string>({"kept", "z1 8388608", "z2 8388608", "z3 8388608", "kept", "kept", "kept"}));
  // The kept chunks are written back as they were read, but for one whose
  // text is set again; the inflated ones give their text again.
  auto text = [](const TPNGObject& png, int index) { return dynamic_cast<TChunktEXt*>(png.ChunkList().Item(index)); };
  text(*png, 7)->Keyword = "small";
  text(*png, 7)->Text = "new";
  const TChunks saved = ListChunks(SavedBytes(*png)), read = ListChunks(file);
  ASSERT_EQ(saved.size(), read.size());
  for (size_t i : {1, 5, 6}) EXPECT_EQ(saved[i], read[i]) << i;
  std::unique_ptr<TPNGObject> again = LoadPng(WithChunks({saved[7], saved[2]}));
  EXPECT_EQ(text(*again, 1)->Keyword + " " + text(*again, 1)->Text, "small new");
  EXPECT_EQ(text(*again, 2)->Text, kBound);
}
