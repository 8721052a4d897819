// Palettes and the standard colour tables.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/testsupport.h"

TEST(Palette, DefaultPaletteIsStock) {
  HPALETTE p = DefaultPalette();
  ASSERT_EQ(GetPaletteEntries(p, 0, 0, nullptr), 20u);
  PALETTEENTRY e[1] = {};
  EXPECT_FALSE(DeleteObject(p));
  EXPECT_FALSE(ResizePalette(p, 4));
  EXPECT_EQ(SetPaletteEntries(p, 0, 1, e), 0u);
  EXPECT_EQ(GetPaletteEntries(p, 0, 0, nullptr), 20u);
}

TEST(Palette, NearestEntriesAndBounds) {
  PALETTEENTRY entries[4] = {{0, 0, 0, 0}, {200, 0, 0, 0}, {0, 0, 200, 0}, {200, 0, 0, 0}};
  HPALETTE p = CreatePalette(entries, 4);
  EXPECT_EQ(GetNearestPaletteIndex(p, RGB(250, 10, 10)), 1u);  // the first of equals
  EXPECT_EQ(GetNearestPaletteIndex(p, clWindowText), 0u);       // system colour resolved
  EXPECT_EQ(NearestColorIndex(HalftoneColors().data(), 256, 250, 3, 2), 190);

  PALETTEENTRY out[8] = {};
  EXPECT_EQ(GetPaletteEntries(p, 2, 8, out), 2u);
  EXPECT_EQ(out[0], entries[2]);
  EXPECT_EQ(GetPaletteEntries(p, 4, 1, out), 0u);
  PALETTEENTRY green{0, 99, 0, 0};
  EXPECT_EQ(SetPaletteEntries(p, 3, 5, &green), 1u);
  EXPECT_EQ(SetPaletteEntries(p, 4, 1, &green), 0u);
  EXPECT_EQ(GetNearestPaletteIndex(p, RGB(0, 90, 0)), 3u);

  EXPECT_TRUE(ResizePalette(p, 6));
  EXPECT_EQ(GetPaletteEntries(p, 0, 0, nullptr), 6u);
  EXPECT_FALSE(ResizePalette(p, 5000));
  EXPECT_TRUE(ResizePalette(p, 0));
  EXPECT_EQ(GetNearestPaletteIndex(p, clWhite), CLR_INVALID);
  EXPECT_TRUE(DeleteObject(CopyPalette(p)));
  EXPECT_TRUE(DeleteObject(p));

  TMaxLogPalette log;
  log.palNumEntries = 300;  // more than the structure holds
  HPALETTE fromLog = CreatePalette(log);
  EXPECT_EQ(GetPaletteEntries(fromLog, 0, 0, nullptr), 256u);
  DeleteObject(fromLog);
}

TEST(Palette, NearestColorCacheAgreesWithTheFullSearch) {
  std::mt19937 rng(11);
  std::vector<std::vector<RGBQUAD>> tables = {
      {HalftoneColors().begin(), HalftoneColors().end()},
      {Vga16Colors().begin(), Vga16Colors().end()},
      {ColorToQuad(clBlack), ColorToQuad(clWhite)},
      {ColorToQuad(clRed)},
  };
  for (int n = 0; n < 6; ++n) {  // random tables with repeated entries
    std::vector<RGBQUAD> t(1 + rng() % 256);
    for (RGBQUAD& q : t) q = ColorToQuad(static_cast<TColor>(rng() & (n % 2 ? 0xC0C0C0 : 0xFFFFFF)));
    tables.push_back(t);
  }
  for (const auto& t : tables) {
    TNearestColorCache cache(t.data(), static_cast<int>(t.size()));
    for (int k = 0; k < 5000; ++k) {
      uint32_t c = rng();
      auto r = static_cast<uint8_t>(c), g = static_cast<uint8_t>(c >> 8), b = static_cast<uint8_t>(c >> 16);
      ASSERT_EQ(cache.Find(r, g, b), NearestColorIndex(t.data(), static_cast<int>(t.size()), r, g, b))
          << t.size() << " entries, colour " << int(r) << "," << int(g) << "," << int(b);
    }
  }
  TNearestColorCache empty(nullptr, 0);
  EXPECT_EQ(empty.Find(1, 2, 3), 0);
}
