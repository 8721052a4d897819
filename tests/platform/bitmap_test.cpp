// TBitmap: sizing, scan lines, pixel format conversion, Assign, palettes,
// monochrome bitmaps, transparency and drawing.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include "tests/support/testsupport.h"

namespace {

const TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice};

std::string Name(TPixelFormat f) { return "format " + std::to_string(static_cast<int>(f)); }

std::vector<RGBQUAD> StandardTableOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return {ColorToQuad(clBlack), ColorToQuad(clWhite)};
    case pf4bit: return {Vga16Colors().begin(), Vga16Colors().end()};
    case pf8bit: return {HalftoneColors().begin(), HalftoneColors().end()};
    default: return {};
  }
}

// What a colour becomes in a format, by the documented rule (table: the
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
    case pf8bit: {
      int best = 0, bestDistance = INT_MAX;
      for (size_t i = 0; i < table.size(); ++i) {
        int dr = table[i].rgbRed - r, dg = table[i].rgbGreen - g, db = table[i].rgbBlue - b;
        if (dr * dr + dg * dg + db * db < bestDistance) {
          bestDistance = dr * dr + dg * dg + db * db;
          best = static_cast<int>(i);
        }
      }
      return QuadToColor(table[static_cast<size_t>(best)]);
    }
    default: return c;
  }
}

void ExpectAll(TBitmap& b, TColor color, const std::string& what) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) ASSERT_EQ(PixelAt(b, x, y), color) << what << " at " << x << "," << y;
}

}  // namespace

TEST(BitmapSize, NewAreaIsWhiteAndOldPixelsStay) {
  for (TPixelFormat f : kAllFormats) {
    TBitmap b;
    b.SetPixelFormat(f);
    b.SetSize(5, 3);
    EXPECT_EQ(b.PixelFormat(), f);
    ExpectAll(b, clWhite, Name(f));
    b.Canvas()->SetPixel(4, 2, clBlack);
    b.Canvas()->SetPixel(0, 0, clBlack);
    b.SetSize(13, 7);  // larger both ways
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) {
        bool black = (x == 4 && y == 2) || (x == 0 && y == 0);
        ASSERT_EQ(PixelAt(b, x, y), black ? clBlack : clWhite) << Name(f) << " at " << x << "," << y;
      }
    b.SetWidth(3);
    b.SetHeight(9);
    EXPECT_EQ(PixelAt(b, 0, 0), clBlack) << Name(f);
    EXPECT_EQ(PixelAt(b, 2, 8), clWhite) << Name(f);
    b.SetSize(0, 4);
    EXPECT_TRUE(b.Empty());
  }
  // Indexed pixels keep their index, even where the table repeats a colour.
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetSize(3, 1);
  b.ScanLine(0)[0] = 249;
  b.SetSize(5, 2);
  EXPECT_EQ(b.ScanLine(0)[0], 249);
  TBitmap four;
  four.SetPixelFormat(pf4bit);
  four.SetSize(3, 1);
  four.ScanLine(0)[0] = 0x12;
  four.ScanLine(0)[1] = 0x30;
  four.SetSize(2, 1);
  EXPECT_EQ(four.ScanLine(0)[0], 0x12);
  EXPECT_EQ(four.ScanLine(0)[1], 0x00);  // padding is cleared
}

TEST(BitmapSize, BadSizesAndScanLines) {
  TBitmap b;
  EXPECT_THROW(b.SetSize(-1, 5), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetHeight(-7), EInvalidGraphicOperation);
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(b.SetSize(40000, 40000), EOutOfMemory);
  EXPECT_THROW(b.SetSize(INT_MAX, INT_MAX), EOutOfMemory);
  EXPECT_THROW(b.SetSize(INT_MAX, 0), EOutOfMemory);
  b.SetPixelFormat(pf32bit);
  EXPECT_THROW(b.SetSize(16384, 16385), EOutOfMemory);  // just over 1 GiB
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(b.Empty());
  b.SetSize(2, 3);
  EXPECT_EQ(b.ScanLine(2) - b.ScanLine(0), 16);
  try {
    b.ScanLine(3);
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message, "Scan line index out of range");
  }
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
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
      std::string what = Name(from) + " -> " + Name(to);
      TBitmap b;
      b.Assign(&source);
      b.SetPixelFormat(to);
      ASSERT_EQ(b.PixelFormat(), to) << what;
      ASSERT_EQ(b.Width(), 37);
      ASSERT_EQ(b.Height(), 9);
      // The target table: the own one when it was indexed and fits.
      std::vector<RGBQUAD> table = StandardTableOf(to);
      if (!table.empty() && !source.ColorTable().empty() && source.ColorTable().size() <= table.size())
        table = source.ColorTable();
      if (to == from) table = source.ColorTable();
      EXPECT_EQ(b.ColorTable(), table) << what;
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 37; ++x)
          ASSERT_EQ(PixelAt(b, x, y), Quantize(PixelAt(source, x, y), to, table))
              << what << " at " << x << "," << y;
    }
  }
}

TEST(BitmapPixelFormat, SixteenBitLayoutsAndExactChannels) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(2, 1);
  b.Canvas()->SetPixel(0, 0, RGB(0xFF, 0x84, 0x07));
  b.Canvas()->SetPixel(1, 0, RGB(0x08, 0x04, 0x10));
  b.SetPixelFormat(pf16bit);
  const uint8_t* p = b.ScanLine(0);
  EXPECT_EQ(p[0] | (p[1] << 8), (31 << 11) | (33 << 5) | 0);
  EXPECT_EQ(p[2] | (p[3] << 8), (1 << 11) | (1 << 5) | 2);
  EXPECT_EQ(PixelAt(b, 0, 0), RGB(0xFF, 0x86, 0x00));
  b.SetPixelFormat(pf15bit);
  p = b.ScanLine(0);
  EXPECT_EQ(p[2] | (p[3] << 8), (1 << 10) | (0 << 5) | 2);
  // Palette formats widen to 24 bits exactly.
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(1, 1);
  indexed.SetColorTable({RGBQUAD{1, 2, 3, 0}});
  indexed.ScanLine(0)[0] = 0;
  indexed.SetPixelFormat(pf32bit);
  EXPECT_EQ(indexed.ScanLine(0)[0], 1);
  EXPECT_EQ(indexed.ScanLine(0)[2], 3);
  EXPECT_TRUE(indexed.ColorTable().empty());
}

TEST(BitmapAssign, DeepCopyKeepingThePixelStore) {
  auto original = MakeTestBitmap(6, 4);
  original->SetPixelFormat(pf4bit);
  original->SetColorTable({ColorToQuad(clRed), ColorToQuad(clLime), ColorToQuad(clBlue)});
  original->SetTransparent(true);
  original->SetTransparentColor(clLime);
  HPALETTE palette = original->Palette();
  ASSERT_NE(palette, nullptr);

  TBitmap copy;
  TCanvas* canvas = copy.Canvas();  // made before: still draws into the bitmap
  HBITMAP store = copy.Handle();
  copy.Assign(original.get());
  EXPECT_EQ(copy.Handle(), store);
  EXPECT_EQ(copy.Width(), 6);
  EXPECT_EQ(copy.PixelFormat(), pf4bit);
  EXPECT_EQ(copy.ColorTable(), original->ColorTable());
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.TransparentMode(), tmFixed);
  EXPECT_EQ(copy.TransparentColor(), clLime);
  ASSERT_NE(copy.Palette(), nullptr);
  EXPECT_NE(copy.Palette(), palette);
  EXPECT_EQ(copy.Palette()->Entries, palette->Entries);
  EXPECT_TRUE(SameColors(copy, *original));

  canvas->SetPixel(0, 0, clBlue);
  copy.SetColorTable({ColorToQuad(clBlack)});
  copy.SetSize(2, 2);
  EXPECT_EQ(PixelAt(copy, 0, 0), clBlack);
  EXPECT_EQ(original->Width(), 6);
  EXPECT_EQ(original->ColorTable().size(), 3u);
  EXPECT_NE(PixelAt(*original, 0, 0), clBlue);

  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Handle(), store);
  EXPECT_EQ(copy.PixelFormat(), pfDevice);
  copy.Assign(&copy);
  TStringList list;
  EXPECT_THROW(copy.Assign(&list), EConvertError);
}

TEST(BitmapPalette, OwnershipAndColorTable) {
  TBitmap direct;
  direct.SetSize(2, 2);
  EXPECT_EQ(direct.Palette(), nullptr);
  EXPECT_EQ(direct.ReleasePalette(), nullptr);

  TBitmap b;
  b.SetPixelFormat(pf4bit);
  b.SetSize(2, 1);
  b.ScanLine(0)[0] = 0x12;
  PALETTEENTRY entries[3] = {{10, 0, 0, 0}, {0, 20, 0, 0}, {0, 0, 30, 0}};
  HPALETTE palette = CreatePalette(entries, 3);
  b.SetPalette(palette);  // taken over; indices stay
  EXPECT_EQ(b.Palette(), palette);
  EXPECT_EQ(b.ScanLine(0)[0], 0x12);
  EXPECT_EQ(PixelAt(b, 0, 0), RGB(0, 20, 0));
  EXPECT_EQ(PixelAt(b, 1, 0), RGB(0, 0, 30));
  EXPECT_EQ(b.ColorTable().size(), 3u);
  HPALETTE released = b.ReleasePalette();
  EXPECT_EQ(released, palette);
  EXPECT_NE(b.Palette(), palette);  // a new one from the table
  EXPECT_EQ(b.Palette()->Entries.size(), 3u);
  EXPECT_TRUE(DeleteObject(released));
  // A palette longer than the format allows sets only what fits.
  PALETTEENTRY many[20] = {};
  b.SetPixelFormat(pf1bit);
  b.SetPalette(CreatePalette(many, 20));
  EXPECT_EQ(b.ColorTable().size(), 2u);
  b.SetPalette(nullptr);
  EXPECT_NE(b.Palette(), nullptr);
}

TEST(BitmapMonochrome, DeviceBitmap) {
  auto b = MakeTestBitmap(4, 2);
  b->Canvas()->SetPixel(1, 0, clWhite);
  b->Canvas()->SetPixel(3, 1, clWhite);
  b->SetMonochrome(true);
  EXPECT_TRUE(b->Monochrome());
  EXPECT_EQ(b->PixelFormat(), pf1bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(PixelAt(*b, x, y), (x == 1 && y == 0) || (x == 3 && y == 1) ? clWhite : clBlack);
  b->SetSize(5, 2);
  EXPECT_EQ(PixelAt(*b, 4, 0), clWhite);
  b->SetColorTable({ColorToQuad(clRed), ColorToQuad(clBlue)});  // always black, white
  EXPECT_EQ(PixelAt(*b, 4, 0), clWhite);
  b->SetMonochrome(false);
  EXPECT_FALSE(b->Monochrome());
  EXPECT_EQ(b->PixelFormat(), pfDevice);
  EXPECT_EQ(PixelAt(*b, 1, 0), clWhite);
  EXPECT_EQ(PixelAt(*b, 0, 0), clBlack);
  b->SetMonochrome(true);
  b->SetPixelFormat(pf1bit);  // an ordinary 1-bit bitmap now
  EXPECT_FALSE(b->Monochrome());
  EXPECT_EQ(PixelAt(*b, 1, 0), clWhite);
}

TEST(BitmapTransparency, AutoAndFixedColour) {
  TBitmap empty;
  EXPECT_EQ(empty.TransparentColor(), clDefault);
  auto b = MakeTestBitmap(3, 3);
  EXPECT_EQ(b->TransparentMode(), tmAuto);
  EXPECT_EQ(b->TransparentColor(), PixelAt(*b, 0, 2));  // bottom-left
  b->Canvas()->SetPixel(0, 2, clAqua);
  EXPECT_EQ(b->TransparentColor(), clAqua);
  b->SetTransparentColor(clRed);
  EXPECT_EQ(b->TransparentMode(), tmFixed);
  b->Canvas()->SetPixel(0, 2, clBlue);
  EXPECT_EQ(b->TransparentColor(), clRed);
  b->SetTransparentColor(clDefault);
  EXPECT_EQ(b->TransparentMode(), tmAuto);
  EXPECT_EQ(b->TransparentColor(), clBlue);
  b->SetTransparentMode(tmFixed);  // keeps the colour of now
  b->Canvas()->SetPixel(0, 2, clLime);
  EXPECT_EQ(b->TransparentColor(), clBlue);
  b->SetTransparentMode(tmAuto);
  EXPECT_EQ(b->TransparentColor(), clLime);
  int changes = 0;
  b->OnChange = [&](TObject*) { ++changes; };
  b->SetTransparent(true);
  b->SetTransparent(true);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(b->Modified);
}

TEST(BitmapDraw, PlainTransparentStretchedAndMirrored) {
  // A 2 x 2 sprite whose bottom-left pixel (the automatic transparent
  // colour) is fuchsia.
  TBitmap sprite;
  sprite.SetSize(2, 2);
  sprite.Canvas()->SetPixel(0, 0, clRed);
  sprite.Canvas()->SetPixel(1, 0, clLime);
  sprite.Canvas()->SetPixel(0, 1, clFuchsia);
  sprite.Canvas()->SetPixel(1, 1, clBlue);
  for (TPixelFormat targetFormat : {pf24bit, pf8bit}) {
    TBitmap target;
    target.SetPixelFormat(targetFormat);
    target.SetSize(6, 4);
    target.Canvas()->Draw(1, 1, &sprite);
    EXPECT_EQ(PixelAt(target, 1, 1), clRed);
    EXPECT_EQ(PixelAt(target, 1, 2), clFuchsia);
    EXPECT_EQ(PixelAt(target, 0, 0), clWhite);

    sprite.SetTransparent(true);
    TBitmap t2;
    t2.SetPixelFormat(targetFormat);
    t2.SetSize(6, 4);
    // Stretched to 4 x 4 and mirrored left to right: column 5 shows the
    // sprite's column 0.
    t2.Canvas()->StretchDraw(Rect(5, 0, 1, 4), &sprite);
    EXPECT_EQ(PixelAt(t2, 5, 0), clRed);
    EXPECT_EQ(PixelAt(t2, 4, 1), clRed);
    EXPECT_EQ(PixelAt(t2, 3, 0), clLime);
    EXPECT_EQ(PixelAt(t2, 2, 1), clLime);
    EXPECT_EQ(PixelAt(t2, 5, 2), clWhite);  // transparent
    EXPECT_EQ(PixelAt(t2, 4, 3), clWhite);
    EXPECT_EQ(PixelAt(t2, 3, 3), clBlue);
    EXPECT_EQ(PixelAt(t2, 1, 0), clWhite);  // outside the rectangle
    sprite.SetTransparent(false);
  }
  // Drawing with the canvas's copy mode.
  TBitmap target;
  target.SetSize(2, 2);
  target.Canvas()->CopyMode = SRCAND;
  target.Canvas()->Draw(0, 0, &sprite);
  EXPECT_EQ(PixelAt(target, 1, 1), clBlue);
  target.Canvas()->CopyMode = SRCINVERT;
  target.Canvas()->Draw(0, 0, &sprite);
  EXPECT_EQ(PixelAt(target, 1, 1), clBlack);
  TBitmap empty;
  target.Canvas()->Draw(0, 0, &empty);
  target.Canvas()->Draw(0, 0, nullptr);
}

TEST(Picture, FileFormatRegistry) {
  EXPECT_TRUE(TPicture::FindFileFormat(".BMP"));
  EXPECT_TRUE(TPicture::FindFileFormat("bmp"));
  EXPECT_FALSE(TPicture::FindFileFormat("xyz"));
  TPicture::RegisterFileFormat(".Xyz", "Test", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
  EXPECT_TRUE(TPicture::FindFileFormat("XYZ"));
  TPicture::UnregisterFileFormat("xyz");
  TPicture picture;
  try {
    picture.LoadFromFile("/nowhere/a.xyz");
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
  }
  auto b = MakeTestBitmap(3, 2);
  picture.Assign(b.get());
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 3);
  TPicture other;
  other.Assign(&picture);
  EXPECT_TRUE(SameColors(*static_cast<TBitmap*>(other.Graphic()), *b));
  other.Assign(nullptr);
  EXPECT_EQ(other.Graphic(), nullptr);
  EXPECT_EQ(other.Height(), 0);
}
