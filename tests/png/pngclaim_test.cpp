// The text chunks past their bounds, kept as read.
#include <gtest/gtest.h>

#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

using TChunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

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

// Past one chunk's bound; four chunks of the bound fill the file's; a
// small tEXt and zTXt after them.
const TChunks kPastTheBounds = {{"zTXt", TextData("over", kBound + "b")}, {"zTXt", TextData("z1", kBound)},
                                {"zTXt", TextData("z2", kBound)},         {"zTXt", TextData("z3", kBound)},
                                {"zTXt", TextData("z4", kBound)},         {"tEXt", TextData("late", "text", false)},
                                {"zTXt", TextData("small", "text")}};

}  // namespace

TEST(PngText, TextPastItsBoundsIsKeptAsReadAndWrittenBack) {
  const std::vector<uint8_t> file = WithChunks(kPastTheBounds);
  std::unique_ptr<TPNGObject> png = LoadPng(file);
  std::vector<std::string> held;
  for (int i = 0; i < png->ChunkList().Count(); ++i)
    if (auto* text = dynamic_cast<TChunktEXt*>(png->ChunkList().Item(i)))
      held.push_back(text->KeptAsRead ? "kept" : text->Keyword + " " + std::to_string(text->Text.size()));
  EXPECT_EQ(held, std::vector<std::string>({"kept", "z1 8388608", "z2 8388608", "z3 8388608", "z4 8388608", "kept",
                                            "kept"}));
  // The kept chunks are written back as they were read, but for one whose
  // text is set again; the inflated ones give their text again.
  auto text = [](const TPNGObject& png, int index) { return dynamic_cast<TChunktEXt*>(png.ChunkList().Item(index)); };
  text(*png, 7)->Keyword = "small";
  text(*png, 7)->Text = "new";
  const TChunks saved = ListChunks(SavedBytes(*png)), read = ListChunks(file);
  ASSERT_EQ(saved.size(), read.size());
  for (size_t i : {1, 6}) EXPECT_EQ(saved[i], read[i]) << i;
  std::unique_ptr<TPNGObject> again = LoadPng(WithChunks({saved[7], saved[2]}));
  EXPECT_EQ(text(*again, 1)->Keyword + " " + text(*again, 1)->Text, "small new");
  EXPECT_EQ(text(*again, 2)->Text, kBound);
}
