// TBitmap: sizing, scan lines, pixel format conversion, Assign, palettes,
// monochrome bitmaps, transparency and drawing; TPicture's registry.
#include <gtest/gtest.h>

#include <climits>

#include "tests/support/testsupport.h"

namespace {

const TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice};

std::vector<RGBQUAD> StandardTableOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return {ColorToQuad(clBlack), ColorToQuad(clWhite)};
    case pf4bit: return {Vga16Colors().begin(), Vga16Colors().end()};
    case pf8bit: return {HalftoneColors().begin(), HalftoneColors().end()};
    default: return {};
  }
}

// What a colour becomes in a format by the documented rule (table: the
// indexed target's table).
TColor Quantize(TColor c, TPixelFormat f, const std::vector<RGBQUAD>& table) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  auto w5 = [](int v) { return ((v >> 3) << 3) | ((v >> 3) >> 2); };
  auto w6 = [](int v) { return ((v >> 2) << 2) | ((v >> 2) >> 4); };
  switch (f) {
    case pf15bit: return RGB(w5(r), w5(g), w5(b));
    case pf16bit: return RGB(w5(r), w6(g), w5(b));
    case pf1bit:
    case pf4bit:
    case pf8bit: return QuadToColor(table[NearestColorIndex(table.data(), int(table.size()), r, g, b)]);
    default: return c;
  }
}

}  // namespace

TEST(BitmapSize, NewAreaIsWhiteAndOldPixelsStay) {
  for (TPixelFormat f : kAllFormats) {
    TBitmap b;
    b.SetPixelFormat(f);
    b.SetSize(5, 3);
    b.Canvas()->SetPixel(4, 2, clBlack);
    b.SetSize(13, 7);  // larger both ways
    EXPECT_EQ(b.PixelFormat(), f);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x)
        ASSERT_EQ(PixelAt(b, x, y), x == 4 && y == 2 ? clBlack : clWhite) << f << " at " << x << "," << y;
    b.SetWidth(5);
    b.SetHeight(9);
    EXPECT_EQ(PixelAt(b, 4, 2), clBlack) << f;
    EXPECT_EQ(PixelAt(b, 4, 8), clWhite) << f;
    b.SetSize(0, 4);
    EXPECT_TRUE(b.Empty());
  }
  // Indexed pixels keep their index, even where the table repeats a colour,
  // and a narrower row has its padding cleared.
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(3, 1);
  b.ScanLine(0)[0] = 249;
  b.SetSize(5, 2);
  EXPECT_EQ(b.ScanLine(0)[0], 249);
  b.SetPixelFormat(pf4bit);
  b.ScanLine(0)[0] = 0x12;
  b.ScanLine(0)[1] = 0x30;
  b.SetSize(2, 1);
  EXPECT_EQ(b.ScanLine(0)[0], 0x12);
  EXPECT_EQ(b.ScanLine(0)[1], 0x00);
}

TEST(BitmapSize, BadSizesAndScanLines) {
  TBitmap b;
  EXPECT_THROW(b.SetSize(-1, 5), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetSize(INT_MAX, INT_MAX), EOutOfMemory);
  b.SetPixelFormat(pf32bit);
  EXPECT_THROW(b.SetSize(16384, 16385), EOutOfMemory);  // just over 1 GiB
  EXPECT_TRUE(b.Empty());
  b.SetSize(2, 3);
  EXPECT_EQ(b.ScanLine(2) - b.ScanLine(0), 16);
  EXPECT_EQ(RaisedMessage<EInvalidGraphicOperation>([&] { b.ScanLine(3); }), "Scan line index out of range");
  const TBitmap& constant = b;
  EXPECT_THROW(constant.ScanLine(INT_MIN), EInvalidGraphicOperation);
}

TEST(BitmapPixelFormat, ConvertsBetweenAllFormats) {
  auto picture = MakeTestBitmap(37, 9, 5);
  for (int y = 0; y < 9; ++y) picture->Canvas()->SetPixel(0, y, y % 2 ? clWhite : clBlack);
  for (TPixelFormat from : kAllFormats) {
    TBitmap source;
    source.Assign(picture.get());
    source.SetPixelFormat(from);
    for (TPixelFormat to : kAllFormats) {
      TBitmap b;
      b.Assign(&source);
      b.SetPixelFormat(to);
      ASSERT_EQ(b.PixelFormat(), to);
      ASSERT_EQ(b.Width(), 37);
      // The target table: the own one when it was indexed and fits.
      std::vector<RGBQUAD> table = StandardTableOf(to);
      if (!table.empty() && !source.ColorTable().empty() && source.ColorTable().size() <= table.size())
        table = source.ColorTable();
      if (to == from) table = source.ColorTable();
      EXPECT_EQ(b.ColorTable(), table) << from << " -> " << to;
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 37; ++x)
          ASSERT_EQ(PixelAt(b, x, y), Quantize(PixelAt(source, x, y), to, table))
              << from << " -> " << to << " at " << x << "," << y;
    }
  }
}

TEST(BitmapPixelFormat, PixelLayouts) {
  // 5-6-5 words and 32-bit rows (green widened from 6 bits), byte for byte.
  auto b = MakeColorBitmap(2, {RGB(0xFF, 0x84, 0x07), RGB(0x08, 0x04, 0x10)});
  b->SetPixelFormat(pf16bit);
  const uint8_t* p = b->ScanLine(0);
  EXPECT_EQ(p[0] | (p[1] << 8), (31 << 11) | (33 << 5) | 0);
  EXPECT_EQ(p[2] | (p[3] << 8), (1 << 11) | (1 << 5) | 2);
  b->SetPixelFormat(pf32bit);
  EXPECT_EQ(std::vector<uint8_t>(b->ScanLine(0), b->ScanLine(0) + 8),
            std::vector<uint8_t>({0x00, 0x86, 0xFF, 0, 0x10, 0x04, 0x08, 0}));  // B, G, R, unused
}

TEST(BitmapAssign, CopyAndTakeOverKeepThePixelStore) {
  auto original = MakeTestBitmap(6, 4);
  original->SetPixelFormat(pf4bit);
  original->SetColorTable({ColorToQuad(clRed), ColorToQuad(clLime), ColorToQuad(clBlue)});
  original->SetTransparent(true);
  original->SetTransparentColor(clLime);
  HPALETTE palette = original->Palette();

  TBitmap copy;
  TCanvas* canvas = copy.Canvas();  // made before: still draws into the bitmap
  HBITMAP store = copy.Handle();
  copy.Assign(original.get());
  EXPECT_EQ(copy.Handle(), store);
  EXPECT_TRUE(copy.Transparent());
  ASSERT_NE(copy.Palette(), nullptr);
  EXPECT_NE(copy.Palette(), palette);
  EXPECT_EQ(copy.Palette()->Entries, palette->Entries);
  EXPECT_TRUE(SameColors(copy, *original));

  canvas->SetPixel(0, 0, clBlue);
  copy.SetColorTable({ColorToQuad(clBlack)});
  EXPECT_EQ(PixelAt(copy, 0, 0), clBlack);
  EXPECT_EQ(original->ColorTable().size(), 3u);
  EXPECT_NE(PixelAt(*original, 0, 0), clBlue);

  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Handle(), store);
  EXPECT_EQ(copy.PixelFormat(), pfDevice);
  copy.Assign(&copy);

  // Taking over moves pixels and palette, leaving the source empty.
  TBitmap expected;
  expected.Assign(original.get());
  canvas = copy.Canvas();
  copy.TakeOver(*original);
  EXPECT_EQ(copy.Handle(), store);
  EXPECT_EQ(copy.Palette(), palette);
  EXPECT_EQ(copy.TransparentColor(), clLime);
  EXPECT_TRUE(SameColors(copy, expected));
  EXPECT_TRUE(original->Empty());
  EXPECT_EQ(original->Palette(), nullptr);
  TColor other = PixelAt(copy, 1, 1) == clRed ? clBlue : clRed;
  canvas->SetPixel(1, 1, other);
  copy.TakeOver(copy);
  EXPECT_EQ(PixelAt(copy, 1, 1), other);
}

TEST(BitmapPalette, OwnershipAndColorTable) {
  TBitmap b;
  b.SetPixelFormat(pf4bit);
  b.SetSize(2, 1);
  b.ScanLine(0)[0] = 0x12;
  PALETTEENTRY entries[3] = {{10, 0, 0, 0}, {0, 20, 0, 0}, {0, 0, 30, 0}};
  HPALETTE palette = CreatePalette(entries, 3);
  b.SetPalette(palette);  // taken over; indices stay
  EXPECT_EQ(b.Palette(), palette);
  EXPECT_EQ(PixelAt(b, 0, 0), RGB(0, 20, 0));
  EXPECT_EQ(PixelAt(b, 1, 0), RGB(0, 0, 30));
  EXPECT_EQ(b.ReleasePalette(), palette);
  EXPECT_NE(b.Palette(), palette);  // a new one from the table
  EXPECT_EQ(b.Palette()->Entries.size(), 3u);
  EXPECT_TRUE(DeleteObject(palette));
  // A palette longer than the format allows sets only what fits.
  PALETTEENTRY many[20] = {};
  b.SetPixelFormat(pf1bit);
  b.SetPalette(CreatePalette(many, 20));
  EXPECT_EQ(b.ColorTable().size(), 2u);
}

TEST(BitmapMonochrome, DeviceBitmap) {
  auto b = MakeColorBitmap(2, {clWhite, clRed, clBlue, clWhite});
  b->SetMonochrome(true);
  EXPECT_EQ(b->PixelFormat(), pf1bit);
  EXPECT_EQ(ColorLetters(*b), "WK\nKW");
  b->SetColorTable({ColorToQuad(clRed), ColorToQuad(clBlue)});  // always black, white
  EXPECT_EQ(PixelAt(*b, 0, 0), clWhite);
  b->SetMonochrome(false);
  EXPECT_EQ(b->PixelFormat(), pfDevice);
  EXPECT_EQ(ColorLetters(*b), "WK\nKW");
  b->SetMonochrome(true);
  b->SetPixelFormat(pf1bit);  // an ordinary 1-bit bitmap now
  EXPECT_FALSE(b->Monochrome());
}

TEST(BitmapTransparency, AutoAndFixedColour) {
  auto b = MakeTestBitmap(3, 3);
  b->Canvas()->SetPixel(0, 2, clAqua);  // bottom-left
  EXPECT_EQ(b->TransparentColor(), clAqua);
  b->SetTransparentColor(clRed);
  b->Canvas()->SetPixel(0, 2, clBlue);
  EXPECT_EQ(b->TransparentColor(), clRed);
  b->SetTransparentColor(clDefault);
  EXPECT_EQ(b->TransparentColor(), clBlue);
  b->SetTransparentMode(tmFixed);  // keeps the colour of now
  b->Canvas()->SetPixel(0, 2, clLime);
  EXPECT_EQ(b->TransparentColor(), clBlue);
}

TEST(BitmapDraw, PlainTransparentStretchedAndMirrored) {
  // Red, lime / fuchsia (bottom-left: the automatic transparent colour), blue.
  auto sprite = MakeColorBitmap(2, {clRed, clLime, clFuchsia, clBlue});
  for (TPixelFormat targetFormat : {pf24bit, pf8bit}) {
    auto target = MakeFlatBitmap(6, 4, clWhite, targetFormat);
    target->Canvas()->Draw(1, 1, sprite.get());
    target->Canvas()->Draw(-1, 3, sprite.get());  // partly outside
    EXPECT_EQ(ColorLetters(*target), "WWWWWW\nWRGWWW\nWFBWWW\nGWWWWW");
    // Transparent, stretched to 4 x 4 and mirrored left to right.
    sprite->SetTransparent(true);
    target = MakeFlatBitmap(6, 4, clWhite, targetFormat);
    target->Canvas()->StretchDraw(Rect(5, 0, 1, 4), sprite.get());
    EXPECT_EQ(ColorLetters(*target), "WWGGRR\nWWGGRR\nWWBBWW\nWWBBWW");
    sprite->SetTransparent(false);
  }
  // Shrinking drops pixels (each target pixel takes the first of its run)
  // whatever mode the target context is in.
  auto row = MakeColorBitmap(4, {clWhite, clBlack, clWhite, clWhite});
  auto shrunk = MakeFlatBitmap(2, 1, clRed);
  shrunk->Canvas()->StretchDraw(Rect(0, 0, 2, 1), row.get());
  EXPECT_EQ(ColorLetters(*shrunk), "WW");
  EXPECT_EQ(GetStretchBltMode(shrunk->Canvas()->Handle()), BLACKONWHITE);
  // Drawing with the canvas's copy mode.
  auto target = MakeFlatBitmap(2, 2, clWhite);
  target->Canvas()->CopyMode = SRCINVERT;
  target->Canvas()->Draw(0, 0, sprite.get());
  EXPECT_EQ(PixelAt(*target, 1, 1), clYellow);
  TBitmap empty;  // nothing to draw
  target->Canvas()->Draw(0, 0, &empty);
  target->Canvas()->Draw(0, 0, nullptr);
  target->Canvas()->StretchDraw(Rect(0, 0, 0, 0), sprite.get());
}

TEST(Picture, FileFormatRegistry) {
  EXPECT_TRUE(TPicture::FindFileFormat(".BMP"));
  EXPECT_FALSE(TPicture::FindFileFormat("xyz"));
  TPicture::RegisterFileFormat(".Xyz", "Test", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
  EXPECT_TRUE(TPicture::FindFileFormat("XYZ"));
  TPicture::UnregisterFileFormat("xyz");
  TPicture picture;
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { picture.LoadFromFile("/nowhere/a.xyz"); }),
            "Unknown picture file extension (.xyz)");
}
