// Files of piled-up chunks are claimed and read in stream calls that follow
// their bytes, with the gamma tables built once at most and memory that
// follows the bytes (within the claim), show their pictures and are saved by
// the list's rules.
#include <gtest/gtest.h>

#include "png/pnglang.h"
#include "tests/memory/allocationcount.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {
using TChunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

class TCallCountingStream : public TReadOnlyMemoryStream {
 public:
  using TReadOnlyMemoryStream::TReadOnlyMemoryStream;
  int64_t Read(void* buffer, int64_t count) override { return ++Calls, TReadOnlyMemoryStream::Read(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin from) override { return ++Calls, TReadOnlyMemoryStream::Seek(offset, from); }
  int64_t Calls = 0;
};

TChunks operator+(TChunks a, const TChunks& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
TChunks Pile(int count, const std::string& name, const std::vector<uint8_t>& data = {}) {
  return TChunks(size_t(count), {name, data});
}
TChunks WithoutImageData(TChunks chunks) {
  for (auto& [name, data] : chunks)
    if (name == "IDAT") data.clear();
  return chunks;
}
// Chunks taken in turn from each pile until all are spent.
TChunks Alternating(const TChunks& a, const TChunks& b) {
  TChunks both;
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i < a.size()) both.push_back(a[i]);
    if (i < b.size()) both.push_back(b[i]);
  }
  return both;
}
std::vector<uint8_t> ZtxtData(const std::vector<uint8_t>& text, bool spoilCheck = false, int level = 7) {
  std::vector<uint8_t> data = {'k', 0, 0}, deflated = Deflate(text, level);
  if (spoilCheck) deflated.back() ^= 1;
  data.insert(data.end(), deflated.begin(), deflated.end());
  return data;
}
}  // namespace

TEST(PngPiles, EachPileIsReadInWorkOfItsBytesAndSavedByTheRules) {
  // 2 x 1 pictures: RGB greys 128 and 64; palette indices 0 and 1.
  std::vector<uint8_t> rgb = {0, 0, 0, 2, 0, 0, 0, 1, 8, 2, 0, 0, 0}, indexed = rgb;
  indexed[9] = 3;
  const TChunks header = {{"IHDR", rgb}}, end = {{"IEND", {}}};
  const TChunks grey = {{"IDAT", Deflate({0, 128, 128, 128, 64, 64, 64})}};
  const TChunks palette = {{"PLTE", {10, 20, 30, 40, 50, 60}}}, indices = {{"IDAT", Deflate({0, 0, 1})}};
  const std::vector<TColor> greys = {RGB(128, 128, 128), RGB(64, 64, 64)};
  // Each zTXt inflates past its bound: four take the file's text room, none
  // after them is inflated, and all are written back as they were read.
  std::vector<uint8_t> text = {'k', 0, 0}, deflated = Deflate(std::vector<uint8_t>(kMaxChunkTextBytes + 1, 'a'), 9);
  text.insert(text.end(), deflated.begin(), deflated.end());
  const TChunks texts = header + Pile(300, "zTXt", text) + grey + end;
  // Texts that inflate 2 MiB and then fail their check take that from the
  // room: 16 spend it, and the later ones are kept as read. Those inflated
  // hold no text, and are written with the text " ".
  const std::vector<uint8_t> failing = ZtxtData(std::vector<uint8_t>(2 << 20, 'a'), true);
  const TChunks failed = header + Pile(20, "zTXt", failing) + grey + end,
                failedSaved = header + Pile(16, "zTXt", ZtxtData({' '})) + Pile(4, "zTXt", failing) + grey + end;
  const std::vector<uint8_t> phys = {0, 0, 11, 19, 0, 0, 11, 19, 1}, time = {7, 232, 1, 2, 3, 4, 5};
  const struct {
    const char* Name;
    TChunks Chunks, Saved;
    std::vector<TColor> Colors;
  } rows[] = {
      {"gAMA", header + Pile(100000, "gAMA", {0, 1, 0x86, 0xA0}) + grey + end, {}, {0xBABABA, 0x888888}},
      {"PLTE behind unknown chunks",
       TChunks{{"IHDR", indexed}} + Pile(20000, "abCd") + Pile(20000, "PLTE", {1, 2, 3}) + palette + indices + end,
       TChunks{{"IHDR", indexed}} + Pile(20000, "abCd") + palette + indices + end, {RGB(10, 20, 30), RGB(40, 50, 60)}},
      {"later IHDR", header + Pile(40000, "IHDR", rgb) + grey + end, header + grey + end, greys},
      {"empty IDAT", header + Pile(100000, "IDAT") + grey + Pile(100000, "IDAT") + end, header + grey + end, greys},
      {"empty ancillary", header + Pile(200000, "abCd") + grey + end, {}, greys},
      {"zTXt past the text total", texts, {}, greys},
      // The gamma is the last one's, built once.
      {"alternating gAMA",
       header + Alternating(Pile(50000, "gAMA", {0, 0, 0xB1, 0x8F}), Pile(50000, "gAMA", {0, 1, 0x86, 0xA0})) + grey +
           end,
       {},
       {0xBABABA, 0x888888}},
      {"tRNS", header + Pile(100000, "tRNS", {0, 1, 0, 2, 0, 3}) + grey + end, {}, greys},
      {"opaque tRNS of a palette",
       TChunks{{"IHDR", indexed}} + palette + Pile(100000, "tRNS", {255, 255}) + indices + end,
       {},
       {RGB(10, 20, 30), RGB(40, 50, 60)}},
      // Fields of another length are written as those of a new chunk.
      {"pHYs", header + Alternating(Pile(50000, "pHYs", phys), Pile(50000, "pHYs", {1, 2})) + grey + end,
       header + Alternating(Pile(50000, "pHYs", phys), Pile(50000, "pHYs", std::vector<uint8_t>(9, 0))) + grey + end,
       greys},
      {"tIME", header + Alternating(Pile(50000, "tIME", time), Pile(50000, "tIME", {1})) + grey + end,
       header + Alternating(Pile(50000, "tIME", time), Pile(50000, "tIME", std::vector<uint8_t>(7, 0))) + grey + end,
       greys},
      {"tEXt", header + Pile(100000, "tEXt", {'k', 0, 'v'}) + grey + end, {}, greys},
      {"small zTXt", header + Pile(50000, "zTXt", ZtxtData({'v'})) + grey + end, {}, greys},
      {"zTXt that fail their check", failed, failedSaved, greys},
      {"ancillary", header + Pile(100000, "abCd", {1, 2, 3}) + grey + end, {}, greys},
      {"PLTE of RGB", header + Pile(20000, "PLTE", {1, 2, 3}) + grey + end,
       header + Pile(1, "PLTE", {1, 2, 3}) + grey + end, greys},
      {"cHRM", header + Pile(100000, "cHRM", std::vector<uint8_t>(32, 0)) + grey + end, header + grey + end, greys},
      {"IEND after IEND", header + grey + end + Pile(100000, "IEND"), header + grey + end, greys},
  };
  const std::map<std::string, int64_t> textLeft = {{"zTXt past the text total", 0}, {"zTXt that fail their check", 0},
                                                   {"tEXt", kMaxFileTextBytes - 300000},
                                                   {"small zTXt", kMaxFileTextBytes - 50000}};
  for (const auto& row : rows) {
    TChunkStream stream;
    for (const auto& [name, data] : row.Chunks) stream.Chunk(name, data);
    const std::vector<uint8_t>& file = stream.Bytes;
    const int64_t calls = int64_t(file.size()) / 16384 + 64;
    TCallCountingStream claimed(file.data(), file.size()), read(file.data(), file.size());
    int64_t width = 0, height = 0, loadBytes = 0;
    EXPECT_TRUE(PngLoadClaim(claimed, width, height, loadBytes)) << row.Name;
    // The load into the working bitmap (as the run loads) holds what the
    // claim says at most, and no more than twice the file's bytes but for
    // what every load holds; a chunk object for each chunk holds far more.
    TPNGObject png;
    TBitmap bitmap;
    const int64_t peak = MeasureAllocations([&] {
                           png.LoadFromStream(read);
                           bitmap.Assign(&png);
                           bitmap.SetPixelFormat(pf24bit);
                         }).Peak;
    if (AllocationsCounted()) {
      const int64_t claim = int64_t(PixelMemorySize(size_t(AlignedRowBytes(width, 24) * height))) + loadBytes;
      EXPECT_LE(peak, claim) << row.Name;
      EXPECT_LE(claim, 2 * peak + (int64_t(1) << 20)) << row.Name;
      EXPECT_LE(peak, 2 * int64_t(file.size()) + (int64_t(2) << 20)) << row.Name;
    }
    EXPECT_LE(std::max(claimed.Calls, read.Calls), calls) << row.Name;
    EXPECT_LE(png.GammaBuilds(), 1) << row.Name;
    EXPECT_EQ(png.TextRoom().Left(), textLeft.count(row.Name) ? textLeft.at(row.Name) : kMaxFileTextBytes)
        << row.Name;
    EXPECT_EQ(std::vector<TColor>({PixelAt(bitmap, 0, 0), PixelAt(bitmap, 1, 0)}), row.Colors) << row.Name;
    const std::vector<uint8_t> bytes = SavedBytes(png);
    EXPECT_TRUE(WithoutImageData(ListChunks(bytes)) == WithoutImageData(row.Saved.empty() ? row.Chunks : row.Saved))
        << row.Name;
    TPNGObject copy;
    copy.Assign(&png);
    EXPECT_TRUE(SavedBytes(copy) == bytes) << row.Name;
  }
}

// Chunks past the objects their kind keeps are read by their class as any
// other: a failure stops the file there, with the failing chunk last in the
// list; a large one stays a chunk of its class; a zTXt chunk's text is
// compressed when the picture is written, at its level then, and a text
// read after one that failed to inflate is whole.
TEST(PngPiles, ChunksPastTheObjectsAreReadAsTheirClassReadsThem) {
  const std::vector<uint8_t> rgb = {0, 0, 0, 2, 0, 0, 0, 1, 8, 2, 0, 0, 0}, trns = {0, 1, 0, 2, 0, 3};
  const std::vector<uint8_t> wide = {0, 1, 0x11, 0x70, 0, 0, 0, 1, 8, 2, 0, 0, 0}, text = {'t', 'e', 'x', 't'};
  std::vector<uint8_t> large = {'k', 0}, dictionary = {'k', 0, 0, 0x78, 0xBB, 0, 0, 0, 1, 3, 0};
  large.resize(5000, 'x');
  const std::string kNone = "(nothing raised)";
  const struct {
    const char* Name;
    TChunks Chunks;
    bool SpoilLastCrc;
    std::string Message;  // the failure
    std::string Last;     // the name of the last chunk of the list
    int Texts;            // text chunks in the list as objects
    TChunks Saved;        // written at compression level 2 (empty: as read)
  } rows[] = {
      {"CRC", Pile(1500, "gAMA", {0, 1, 0x86, 0xA0}), true, pnglang::EPngInvalidCRCText, "gAMA", 0, {}},
      {"tRNS of 257 bytes", Pile(1100, "tRNS", trns) + Pile(1, "tRNS", std::vector<uint8_t>(257, 1)), false,
       pnglang::EPNGInvalidPaletteText, "tRNS", 0, {}},
      {"later IHDR too wide", Pile(1100, "IHDR", rgb) + Pile(1, "IHDR", wide), false, pnglang::EPNGSizeExceedsText,
       "IHDR", 0, {}},
      {"large tEXt", Pile(1100, "tEXt", {'k', 0, 'v'}) + Pile(1, "tEXt", large), false, kNone, "IEND", 1001, {}},
      {"zTXt", Pile(1500, "zTXt", ZtxtData(text)), false, kNone, "IEND", 1000,
       Pile(1500, "zTXt", ZtxtData(text, false, 2))},
      {"zTXt after one that failed", Alternating(Pile(600, "zTXt", dictionary), Pile(600, "zTXt", ZtxtData(text))),
       false, kNone, "IEND", 1000,
       Alternating(Pile(600, "zTXt", ZtxtData({' '}, false, 2)), Pile(600, "zTXt", ZtxtData(text, false, 2)))},
  };
  const TChunks header = {{"IHDR", rgb}}, end = {{"IDAT", {}}, {"IEND", {}}};
  for (const auto& row : rows) {
    TChunkStream stream;
    for (const auto& [name, data] : header + row.Chunks) stream.Chunk(name, data);
    if (row.SpoilLastCrc) stream.Bytes.back() ^= 1;
    const std::vector<uint8_t> file = stream.Chunk("IDAT", Deflate({0, 1, 2, 3, 4, 5, 6})).End().Bytes;
    TPNGObject png;
    EXPECT_EQ(RaisedMessage<Exception>([&] {
                TReadOnlyMemoryStream read(file.data(), file.size());
                png.LoadFromStream(read);
              }),
              row.Message)
        << row.Name;
    const TPNGList& list = png.ChunkList();
    EXPECT_EQ(list.Item(list.Count() - 1)->GetChunkName(), row.Last) << row.Name;
    int texts = 0;
    for (int i = 0; i < list.Count(); ++i) texts += dynamic_cast<TChunktEXt*>(list.Item(i)) != nullptr;
    EXPECT_EQ(texts, row.Texts) << row.Name;
    if (row.Message != kNone) continue;
    png.CompressionLevel = 2;
    const TChunks saved = WithoutImageData(ListChunks(SavedBytes(png)));
    EXPECT_TRUE(saved == header + (row.Saved.empty() ? row.Chunks : row.Saved) + end) << row.Name;
  }
}
