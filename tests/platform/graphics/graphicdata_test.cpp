// What every picture class has: comparing pictures, storing them among
// other data, and the clipboard data of bitmaps and of the picture holder.
#include <gtest/gtest.h>

#include "platform/graphics/icon.h"
#include "tests/support/testsupport.h"

TEST(GraphicData, EqualsAndStoredData) {
  auto a = MakeTestBitmap(5, 4), b = MakeTestBitmap(5, 4);
  EXPECT_TRUE(a->Equals(b.get()));
  b->Canvas()->SetPixel(4, 3, clBlack);
  EXPECT_FALSE(a->Equals(b.get()));
  TBitmap empty, other;
  TIcon icon;
  EXPECT_TRUE(empty.Equals(&other));
  EXPECT_FALSE(empty.Equals(a.get()));
  EXPECT_FALSE(empty.Equals(&icon));

  TMemoryStream stream;
  a->WriteData(stream);
  stream.SetPosition(0);
  TBitmap copy;
  copy.ReadData(stream);
  EXPECT_TRUE(SameColors(copy, *a));
}

TEST(GraphicData, BitmapClipboardDataOfEveryFormat) {
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    auto picture = MakeTestBitmap(7, 5);
    picture->SetPixelFormat(format);
    ClipResults clip(*picture);
    EXPECT_EQ(clip.Format, CF_BITMAP);
    EXPECT_EQ(clip.Palette != nullptr, PixelFormatBits(format) <= 8) << int(format);
    TBitmap back;
    back.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
    EXPECT_EQ(back.PixelFormat(), format);
    EXPECT_TRUE(SameColors(back, *picture)) << int(format);
  }
  TBitmap empty, back;
  ClipResults clip(empty);
  back.Assign(MakeTestBitmap(2, 2).get());
  back.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
  EXPECT_TRUE(back.Empty());
}

TEST(GraphicData, ClipboardPaletteAndRefusedData) {
  auto picture = MakeColorBitmap(2, {clRed, clBlue});
  picture->SetPixelFormat(pf8bit);
  ClipResults clip(*picture);
  // A palette given with the data becomes the bitmap's colours.
  const PALETTEENTRY entries[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  HPALETTE palette = CreatePalette(entries, 2);
  TBitmap indexed;
  indexed.LoadFromClipboardFormat(CF_BITMAP, clip.Data, palette);
  DeleteObject(palette);
  ASSERT_EQ(indexed.ColorTable().size(), 2u);
  EXPECT_EQ(QuadToColor(indexed.ColorTable()[1]), RGB(4, 5, 6));

  auto refused = [](TGraphic& graphic, uint16_t format, HGLOBAL data) {
    return RaisedMessage<EInvalidGraphic>([&] { graphic.LoadFromClipboardFormat(format, data, nullptr); });
  };
  TBitmap target;
  TIcon icon;
  EXPECT_EQ(refused(target, CF_DIB, clip.Data), "Unsupported clipboard format");
  EXPECT_EQ(refused(icon, CF_BITMAP, clip.Data), "Unsupported clipboard format");
  std::vector<uint8_t> bytes = GlobalBlockBytes(clip.Data);
  bytes.resize(50);  // the rows cut off
  HGLOBAL cut = GlobalBlockOf(bytes);
  EXPECT_EQ(refused(target, CF_BITMAP, cut), "Bitmap image is not valid");
  GlobalFree(cut);

  // The picture holder makes the class registered for the format.
  TPicture holder;
  holder.LoadFromClipboardFormat(CF_BITMAP, clip.Data, nullptr);
  ASSERT_NE(dynamic_cast<TBitmap*>(holder.Graphic()), nullptr);
  uint16_t format = RegisterClipboardFormat("Brightmill test bitmap copy");
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { holder.LoadFromClipboardFormat(format, clip.Data, nullptr); }),
            "Unsupported clipboard format");
  EXPECT_NE(holder.Graphic(), nullptr);  // kept after the refusal
}
