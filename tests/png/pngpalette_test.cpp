// Palettes longer than a PNG palette: the platform's palettes may hold up to
// 1024 entries, a picture takes 256 at most, wherever its palette comes from.
#include <gtest/gtest.h>

#include <functional>

#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// 1024 entries: entry i is red i mod 256, green 60 for each full 256 before
// it, blue 9. The colour of entry 261 is in none of the first 256.
HPALETTE LongPalette() {
  std::vector<PALETTEENTRY> entries(1024);
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = {uint8_t(i % 256), uint8_t(i / 256 * 60), 9, 0};
  return CreatePalette(entries.data(), int(entries.size()));
}
const TColor kOnlyPastTheFirst256 = RGB(5, 60, 9);

}  // namespace

// Each road a long palette takes into a picture. The picture then makes a
// colour transparent that none of its 256 entries has: every entry keeps
// its alpha, and the file written holds a palette and alphas of 256
// entries that libpng reads.
TEST(PngPaletteLimit, ALongPaletteIsCutToTheFirst256Entries) {
  struct Road {
    const char* Name;
    std::function<void(TPNGObject&)> Give;
  };
  const Road roads[] = {
      {"SetPalette", [](TPNGObject& png) { png.SetPalette(LongPalette()); }},
      {"DoSetPalette with colours", [](TPNGObject& png) { png.DoSetPalette(LongPalette(), true); }},
      {"DoSetPalette alone", [](TPNGObject& png) { png.DoSetPalette(LongPalette(), false); }},
      {"its own palette lengthened",
       [](TPNGObject& png) {
         HPALETTE own = png.Palette();
         ResizePalette(own, 1024);
         HPALETTE entries = LongPalette();
         SetPaletteEntries(own, 0, 1024, entries->Entries.data());
         DeleteObject(entries);
       }},
      {"AssignHandle with a long colour table",
       [](TPNGObject& png) {
         std::unique_ptr<TDibSection> dib(CreateDib(3, 2, 8));
         for (int i = 0; i < 1024; ++i) dib->ColorTable.push_back({9, uint8_t(i / 256 * 60), uint8_t(i % 256), 0});
         png.AssignHandle(dib.get(), true, kOnlyPastTheFirst256);
       }},
  };
  for (const Road& road : roads) {
    TPNGObject png(COLOR_PALETTE, 8, 3, 2);
    road.Give(png);
    if (std::string(road.Name) != "its own palette lengthened") {
      EXPECT_EQ(GetPaletteEntries(png.Palette(), 0, 0, nullptr), 256u) << road.Name;
    }
    png.SetTransparentColor(kOnlyPastTheFirst256);
    const TChunktRNS& trns = *png.ChunkList().FindChunk<TChunktRNS>();
    EXPECT_EQ(trns.Data, std::vector<uint8_t>(256, 255)) << road.Name;
    EXPECT_EQ(png.TransparentColor(), 0u) << road.Name;
    std::vector<uint8_t> file = SavedBytes(png);
    EXPECT_EQ(ChunkData(file, "PLTE").size(), 768u) << road.Name;
    EXPECT_EQ(ChunkData(file, "tRNS").size(), 256u) << road.Name;
    EXPECT_NO_THROW(ReadWithLibpng(file)) << road.Name;
  }

  // The entries kept are the first 256, in the colour table too.
  TPNGObject png(COLOR_PALETTE, 8, 3, 2);
  png.SetPalette(LongPalette());
  png.Scanline(0)[1] = 255;
  EXPECT_EQ(png.GetPixels(1, 0), RGB(255, 0, 9));
  png.SetTransparentColor(RGB(7, 0, 9));
  EXPECT_EQ(png.ChunkList().FindChunk<TChunktRNS>()->Data,
            std::vector<uint8_t>({255, 255, 255, 255, 255, 255, 255, 0}));
  EXPECT_EQ(png.TransparentColor(), RGB(7, 0, 9));
}

// A palette chunk's own count is no longer than a PNG palette either: the
// chunk writes 256 entries at most (the header's count for none or fewer
// than none), and has no entry from 256 on.
TEST(PngPaletteLimit, ThePaletteChunkCountsNoMoreThan256Entries) {
  TPNGObject png(COLOR_PALETTE, 8, 2, 1);
  TChunkPLTE& palette = *png.ChunkList().FindChunk<TChunkPLTE>();
  for (int count : {1000, 257, -5}) {
    palette.EntryCount = count;
    std::vector<uint8_t> file = SavedBytes(png);
    EXPECT_EQ(ChunkData(file, "PLTE").size(), 768u) << count;
    EXPECT_EQ(LoadPng(file)->ChunkList().FindChunk<TChunkPLTE>()->EntryCount, 256) << count;
  }
  palette.EntryCount = 1000;
  EXPECT_EQ(palette.GetPaletteItem(255), png.Header().ImageInfo.bmiColors[255]);
  for (int index : {256, 999, -1})
    EXPECT_EQ(RaisedMessage<EPngError>([&] { palette.GetPaletteItem(index); }), pnglang::EPNGUnknownPalEntryText)
        << index;
}

// A pixel takes the nearest of the entries its bits can name, also when
// the palette holds more: a 1-bit picture two, a 4-bit one sixteen.
TEST(PngPaletteLimit, APixelTakesTheNearestEntryItCanName) {
  std::vector<uint8_t> greys;
  for (int i = 0; i < 256; ++i) greys.insert(greys.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
  for (int depth : {1, 4}) {
    auto png = LoadPng(
        TChunkStream().Header(2, 1, depth, 3).Chunk("PLTE", greys).Chunk("IDAT", Deflate({0, 0})).End().Bytes);
    uint8_t last = uint8_t((1 << depth) - 1);
    png->SetPixels(1, 0, RGB(200, 200, 200));
    EXPECT_EQ(png->GetPixels(1, 0), RGB(last, last, last)) << depth;
    png->SetPixels(0, 0, RGB(1, 1, 0));
    EXPECT_EQ(png->GetPixels(0, 0), RGB(1, 1, 1)) << depth;
    EXPECT_EQ(png->GetPixels(1, 0), RGB(last, last, last)) << depth;
  }
}
