// What every picture class has: comparing pictures, storing them among
// other data, and the clipboard data of bitmaps and of the picture holder.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/graphics/icon.h"
#include "tests/support/testsupport.h"

namespace {

// Clipboard data of the bitmap, with its palette.
struct ClipData {
  uint16_t Format = 0;
  HGLOBAL Data = nullptr;
  HPALETTE Palette = nullptr;
  explicit ClipData(TGraphic& graphic) { graphic.SaveToClipboardFormat(Format, Data, Palette); }
  ~ClipData() {
    GlobalFree(Data);
    DeleteObject(Palette);
  }
  ClipData(const ClipData&) = delete;
  ClipData& operator=(const ClipData&) = delete;
  std::vector<uint8_t> Bytes() const {
    const auto* p = static_cast<const uint8_t*>(GlobalLock(Data));
    std::vector<uint8_t> bytes(p, p + GlobalSize(Data));
    GlobalUnlock(Data);
    return bytes;
  }
};

HGLOBAL BlockOf(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

}  // namespace

TEST(GraphicEquals, SameClassAndSameStoredBytes) {
  auto a = MakeTestBitmap(5, 4), b = MakeTestBitmap(5, 4);
  EXPECT_TRUE(a->Equals(b.get()));
  EXPECT_TRUE(a->Equals(a.get()));
  b->Canvas()->SetPixel(4, 3, clBlack);
  EXPECT_FALSE(a->Equals(b.get()));
  EXPECT_FALSE(a->Equals(MakeTestBitmap(5, 3).get()));
  EXPECT_FALSE(a->Equals(nullptr));
  // Empty pictures equal each other only.
  TBitmap empty, other;
  EXPECT_TRUE(empty.Equals(&other));
  EXPECT_FALSE(empty.Equals(a.get()));
  EXPECT_FALSE(a->Equals(&empty));
  TIcon icon;
  EXPECT_FALSE(empty.Equals(&icon));
}

TEST(GraphicData, StoredAndReadBackThroughTheStream) {
  auto picture = MakeTestBitmap(6, 3);
  TMemoryStream stream;
  picture->WriteData(stream);
  EXPECT_EQ(ReadToEnd(stream).size(), 0u);  // the stream stays behind the data
  stream.SetPosition(0);
  EXPECT_EQ(ReadToEnd(stream), SavedBytes(*picture));
  stream.SetPosition(0);
  TBitmap copy;
  copy.ReadData(stream);
  EXPECT_TRUE(SameColors(copy, *picture));
}

TEST(BitmapClipboard, EveryFormatComesBack) {
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    auto picture = MakeTestBitmap(7, 5);
    picture->SetPixelFormat(format);
    ClipData clip(*picture);
    EXPECT_EQ(clip.Format, CF_BITMAP);
    // A packed DIB: the info header first, no file header.
    std::vector<uint8_t> bytes = clip.Bytes();
    ASSERT_GE(bytes.size(), 40u);
    EXPECT_EQ(bytes[0], 40);
    EXPECT_EQ(clip.Palette != nullptr, PixelFormatBits(format) <= 8) << int(format);
    TBitmap back;
    back.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
    EXPECT_EQ(back.PixelFormat(), format);
    EXPECT_TRUE(SameColors(back, *picture)) << int(format);
    EXPECT_EQ(GlobalSize(clip.Data), bytes.size());  // the block stays the caller's
  }
  TBitmap empty, back;
  ClipData clip(empty);
  back.Assign(MakeTestBitmap(2, 2).get());
  back.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
  EXPECT_TRUE(back.Empty());
}

TEST(BitmapClipboard, PaletteAndRefusedData) {
  auto picture = MakeColorBitmap(2, {clRed, clBlue});
  picture->SetPixelFormat(pf8bit);
  ClipData clip(*picture);
  // A palette given with the data becomes the bitmap's colours.
  const PALETTEENTRY entries[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  HPALETTE palette = CreatePalette(entries, 2);
  TBitmap indexed;
  indexed.LoadFromClipboardFormat(CF_BITMAP, clip.Data, palette);
  EXPECT_EQ(indexed.ColorTable().size(), 2u);
  EXPECT_EQ(QuadToColor(indexed.ColorTable()[1]), RGB(4, 5, 6));
  EXPECT_NE(indexed.Palette(), palette);  // a copy
  DeleteObject(palette);

  TBitmap target;
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { target.LoadFromClipboardFormat(CF_DIB, clip.Data, nullptr); }),
            "Unsupported clipboard format");
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { target.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr); }),
            "Unsupported clipboard format");
  std::vector<uint8_t> bytes = clip.Bytes();
  bytes.resize(50);  // the rows cut off
  HGLOBAL cut = BlockOf(bytes);
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { target.LoadFromClipboardFormat(CF_BITMAP, cut, nullptr); }),
            "Bitmap image is not valid");
  GlobalFree(cut);
  // Classes without clipboard support refuse both ways.
  TIcon icon;
  uint16_t format = 0;
  HGLOBAL data = nullptr;
  HPALETTE none = nullptr;
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { icon.SaveToClipboardFormat(format, data, none); }),
            "Unsupported clipboard format");
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { icon.LoadFromClipboardFormat(CF_BITMAP, clip.Data, nullptr); }),
            "Unsupported clipboard format");
}

TEST(Picture, ClipboardFormatRegistry) {
  auto picture = MakeTestBitmap(3, 3);
  ClipData clip(*picture);
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
  TPicture holder;
  holder.LoadFromClipboardFormat(CF_BITMAP, clip.Data, nullptr);
  auto* bitmap = dynamic_cast<TBitmap*>(holder.Graphic());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_TRUE(SameColors(*bitmap, *picture));

  uint16_t format = RegisterClipboardFormat("Brightmill test bitmap copy");
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(format));
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { holder.LoadFromClipboardFormat(format, clip.Data, nullptr); }),
            "Unsupported clipboard format");
  EXPECT_EQ(holder.Graphic(), bitmap);  // kept after the refusal
  uint16_t saved = 1;
  HGLOBAL data = nullptr;
  HPALETTE palette = nullptr;
  TPicture().SaveToClipboardFormat(saved, data, palette);
  EXPECT_EQ(saved, 0);
  holder.SaveToClipboardFormat(saved, data, palette);
  EXPECT_EQ(saved, CF_BITMAP);
  GlobalFree(data);
}
