// Files of piled-up chunks: each is claimed and loaded in calls on its
// stream that follow its bytes, shows its picture and is saved by the list's
// rules. (Before, each pile cost a list search or several stream calls per
// chunk, or inflated every zTXt in full.)
#include <gtest/gtest.h>

#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

using TChunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// Counts the calls made on it.
class TCallCountingStream : public TReadOnlyMemoryStream {
 public:
  using TReadOnlyMemoryStream::TReadOnlyMemoryStream;
  int64_t Read(void* buffer, int64_t count) override { return ++Calls, TReadOnlyMemoryStream::Read(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    return ++Calls, TReadOnlyMemoryStream::Seek(offset, origin);
  }
  int64_t Calls = 0;
};

TChunks operator+(TChunks a, const TChunks& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
TChunks Pile(int count, const std::string& name, const std::vector<uint8_t>& data = {}) {
  return TChunks(size_t(count), {name, data});
}
// The chunks with the image data left out.
TChunks WithoutImageData(TChunks chunks) {
  for (auto& [name, data] : chunks)
    if (name == "IDAT") data.clear();
  return chunks;
}

}  // namespace

TEST(PngPiles, EachPileIsReadInWorkOfItsBytesAndSavedByTheRules) {
  // 2 x 1 pictures: RGB grey 128 and 64, palette indices 0 and 1.
  const std::vector<uint8_t> rgb = {0, 0, 0, 2, 0, 0, 0, 1, 8, 2, 0, 0, 0},
                             palette = {0, 0, 0, 2, 0, 0, 0, 1, 8, 3, 0, 0, 0};
  const TChunks grey = {{"IDAT", Deflate({0, 128, 128, 128, 64, 64, 64})}}, end = {{"IEND", {}}};
  const TChunks indices = {{"IDAT", Deflate({0, 0, 1})}}, colors = {{"PLTE", {10, 20, 30, 40, 50, 60}}};
  std::vector<uint8_t> text = {'k', 0, 0};
  const std::vector<uint8_t> deflated = Deflate(std::vector<uint8_t>(size_t(kMaxChunkTextBytes) + 1, 'a'), 9);
  text.insert(text.end(), deflated.begin(), deflated.end());
  struct TRow {
    const char* Name;
    TChunks Chunks, Saved;
    std::vector<TColor> Colors;
  };
  const TChunks texts = TChunks{{"IHDR", rgb}} + Pile(300, "zTXt", text) + grey + end;
  const TRow rows[] = {
      {"gAMA",
       TChunks{{"IHDR", rgb}} + Pile(100000, "gAMA", {0, 1, 0x86, 0xA0}) + grey + end,
       {},
       {RGB(186, 186, 186), RGB(136, 136, 136)}},
      {"PLTE behind unknown chunks",
       TChunks{{"IHDR", palette}} + Pile(20000, "abCd") + Pile(20000, "PLTE", {1, 2, 3, 4, 5, 6}) + colors + indices +
           end,
       TChunks{{"IHDR", palette}} + Pile(20000, "abCd") + colors + indices + end,
       {RGB(10, 20, 30), RGB(40, 50, 60)}},
      {"later IHDR",
       TChunks{{"IHDR", rgb}} + Pile(40000, "IHDR", rgb) + grey + end,
       TChunks{{"IHDR", rgb}} + grey + end,
       {RGB(128, 128, 128), RGB(64, 64, 64)}},
      {"empty IDAT",
       TChunks{{"IHDR", rgb}} + Pile(100000, "IDAT") + grey + Pile(100000, "IDAT") + end,
       TChunks{{"IHDR", rgb}} + grey + end,
       {RGB(128, 128, 128), RGB(64, 64, 64)}},
      {"empty ancillary",
       TChunks{{"IHDR", rgb}} + Pile(200000, "abCd") + grey + end,
       {},
       {RGB(128, 128, 128), RGB(64, 64, 64)}},
      // Each inflates past its bound: four take the file's room, and none
      // after them is inflated; all are written back as they were read.
      {"zTXt past the text total", texts, {}, {RGB(128, 128, 128), RGB(64, 64, 64)}},
  };
  for (const TRow& row : rows) {
    TChunkStream stream;
    for (const auto& [name, data] : row.Chunks) stream.Chunk(name, data);
    const std::vector<uint8_t>& file = stream.Bytes;
    const int64_t calls = int64_t(file.size()) / 16384 + 64;
    TCallCountingStream claimed(file.data(), file.size());
    int64_t width = 0, height = 0, loadBytes = 0;
    EXPECT_TRUE(PngLoadClaim(claimed, width, height, loadBytes)) << row.Name;
    EXPECT_LE(claimed.Calls, calls) << row.Name;

    TCallCountingStream read(file.data(), file.size());
    TPNGObject png;
    png.LoadFromStream(read);
    EXPECT_LE(read.Calls, calls) << row.Name;
    EXPECT_EQ(png.TextRoom().Left(), row.Chunks == texts ? 0 : kMaxFileTextBytes) << row.Name;
    TBitmap bitmap;
    bitmap.Assign(&png);
    bitmap.SetPixelFormat(pf24bit);
    EXPECT_EQ(std::vector<TColor>({PixelAt(bitmap, 0, 0), PixelAt(bitmap, 1, 0)}), row.Colors) << row.Name;
    const TChunks saved = WithoutImageData(ListChunks(SavedBytes(png)));
    EXPECT_TRUE(saved == WithoutImageData(row.Saved.empty() ? row.Chunks : row.Saved)) << row.Name;
  }
}
