// The picture class as the class library uses it: comparing images, storing
// them among other data, and the clipboard.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/gif/gifsupport.h"

namespace {

// The clipboard open and empty for the life of the object.
struct OpenedClipboard {
  OpenedClipboard() {
    EXPECT_TRUE(OpenClipboard());
    EmptyClipboard();
  }
  ~OpenedClipboard() {
    EmptyClipboard();
    CloseClipboard();
  }
};

std::unique_ptr<TBitmap> Rendered(TGIFImage& image) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->Assign(&image);
  return bitmap;
}

}  // namespace

TEST(GifGraphic, EqualsOnlyItselfAndWriteDataOptimizesOnlyWhenAsked) {
  // Two frames showing the same pixels.
  const std::vector<uint8_t> pixels = {0, 1, 2, 3, 3, 2, 1, 0};
  auto image = MakeImage(4, 4, 2, pixels), twin = MakeImage(4, 4, 2, pixels);
  EXPECT_TRUE(image->Equals(image.get()));
  EXPECT_FALSE(image->Equals(twin.get()));  // even with the same bytes
  std::memcpy(AddFrame(*image, 0, 0, 4, 2).Data(), pixels.data(), pixels.size());
  auto screen = Rendered(*image);
  std::vector<uint8_t> saved = SavedBytes(*image);
  TMemoryStream plain;
  image->WriteData(plain);
  plain.SetPosition(0);
  EXPECT_EQ(ReadToEnd(plain), saved);

  // The second frame shows nothing new: merged into transparency, then
  // cropped away.
  TGIFImage back;
  StoreOptimizedAndReadBack(*image, back);
  EXPECT_EQ(back.Frames().Count(), 1);
  EXPECT_TRUE(SameColors(*Rendered(back), *screen));
}

TEST(GifClipboard, SavedAndLoadedGiveTheSamePixels) {
  RegisterGifFormat();
  EXPECT_EQ(GetClipboardFormatName(CF_GIF), "GIF Image");
  auto picture = MakeTestBitmap(21, 9);
  TGIFImage image;
  image.Assign(picture.get());
  auto screen = Rendered(image);

  OpenedClipboard open;
  ClipResults clip(image);
  // The results hold the whole-screen bitmap, the clipboard the GIF file.
  EXPECT_EQ(clip.Format, CF_BITMAP);
  EXPECT_NE(clip.Palette, nullptr);
  EXPECT_EQ(GlobalBlockBytes(GetClipboardData(CF_GIF)), SavedBytes(image));
  // Without data the clipboard's block is taken.
  TGIFImage fromGif, fromBitmap;
  fromGif.LoadFromClipboardFormat(CF_GIF, nullptr, nullptr);
  EXPECT_TRUE(SameColors(*Rendered(fromGif), *screen));
  fromBitmap.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
  EXPECT_TRUE(SameColors(*Rendered(fromBitmap), *screen));
  TPicture holder;
  holder.LoadFromClipboardFormat(CF_GIF, GetClipboardData(CF_GIF), nullptr);
  EXPECT_NE(dynamic_cast<TGIFImage*>(holder.Graphic()), nullptr);
}

TEST(GifClipboard, RefusalsAndUnknownFormats) {
  auto image = MakeImage(4, 2, 2, {0, 1, 2, 3});
  // The clipboard is closed: it refuses the GIF, and the caller is left
  // with nothing to free.
  ClipResults clip;
  EXPECT_EQ(RaisedMessage<GIFException>([&] { image->SaveToClipboardFormat(clip.Format, clip.Data, clip.Palette); }),
            "Failed to store GIF on clipboard");
  EXPECT_TRUE(clip.Format == 0 && !clip.Data && !clip.Palette);

  OpenedClipboard open;
  auto refused = [&](uint16_t format, const std::vector<uint8_t>& bytes) {
    HGLOBAL data = bytes.empty() ? nullptr : GlobalBlockOf(bytes);
    std::string message = RaisedMessage<EInvalidGraphic>([&] { image->LoadFromClipboardFormat(format, data, nullptr); });
    GlobalFree(data);
    return message;
  };
  EXPECT_EQ(refused(CF_GIF, {}), "Unsupported clipboard format");  // none on the clipboard
  EXPECT_EQ(refused(CF_TEXT, SavedBytes(*image)), "Unsupported clipboard format");
  EXPECT_EQ(refused(CF_GIF, std::vector<uint8_t>(12, 'J')), "Invalid GIF signature");
}
