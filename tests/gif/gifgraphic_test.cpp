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

TEST(GifGraphic, EqualsOnlyItself) {
  auto a = MakeImage(4, 2, 2, {0, 1, 2, 3}), b = MakeImage(4, 2, 2, {0, 1, 2, 3});
  EXPECT_TRUE(a->Equals(a.get()));
  // Even an image of the same bytes is another picture.
  EXPECT_EQ(SavedBytes(*a), SavedBytes(*b));
  EXPECT_FALSE(a->Equals(b.get()));
  EXPECT_FALSE(a->Equals(nullptr));
  EXPECT_FALSE(Rendered(*a)->Equals(a.get()));
}

TEST(GifGraphic, WriteDataOptimizesOnlyWhenAsked) {
  // Two frames showing the same pixels.
  const std::vector<uint8_t> pixels = {0, 1, 2, 3, 3, 2, 1, 0};
  auto image = MakeImage(4, 4, 2, pixels);
  std::memcpy(AddFrame(*image, 0, 0, 4, 2).Data(), pixels.data(), pixels.size());
  auto screen = Rendered(*image);
  TMemoryStream plain;
  image->WriteData(plain);
  plain.SetPosition(0);
  EXPECT_EQ(ReadToEnd(plain), SavedBytes(*image));
  EXPECT_EQ(image->Frames().Count(), 2);

  GIFImageOptimizeOnStream = true;
  TMemoryStream optimized;
  image->WriteData(optimized);
  GIFImageOptimizeOnStream = false;
  // The second frame shows nothing new: merged into transparency, then
  // cropped away.
  EXPECT_EQ(image->Frames().Count(), 1);
  optimized.SetPosition(0);
  TGIFImage back;
  back.ReadData(optimized);
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
  ClipResults clip;
  image.SaveToClipboardFormat(clip.Format, clip.Data, clip.Palette);
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
  {
    // The clipboard is closed: it refuses the GIF, and the caller is left
    // with nothing to free.
    ClipResults clip;
    EXPECT_EQ(RaisedMessage<GIFException>(
                  [&] { image->SaveToClipboardFormat(clip.Format, clip.Data, clip.Palette); }),
              "Failed to store GIF on clipboard");
    EXPECT_EQ(clip.Format, 0);
    EXPECT_EQ(clip.Data, nullptr);
    EXPECT_EQ(clip.Palette, nullptr);
  }
  OpenedClipboard open;
  ClipResults none;
  TGIFImage().SaveToClipboardFormat(none.Format, none.Data, none.Palette);
  EXPECT_EQ(none.Format, 0);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_GIF));

  TGIFImage target;
  auto refused = [&](uint16_t format, HGLOBAL data) {
    return RaisedMessage<EInvalidGraphic>([&] { target.LoadFromClipboardFormat(format, data, nullptr); });
  };
  EXPECT_EQ(refused(CF_GIF, nullptr), "Unsupported clipboard format");  // none on the clipboard
  EXPECT_EQ(refused(CF_BITMAP, nullptr), "Unsupported clipboard format");
  HGLOBAL gif = GlobalBlockOf(SavedBytes(*image));
  EXPECT_EQ(refused(CF_TEXT, gif), "Unsupported clipboard format");
  GlobalFree(gif);
  HGLOBAL junk = GlobalBlockOf(std::vector<uint8_t>(12, 'J'));
  EXPECT_EQ(refused(CF_GIF, junk), "Invalid GIF signature");
  GlobalFree(junk);
}
