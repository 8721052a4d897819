// The picture class as the class library uses it: comparing images, storing
// them among other data, and the clipboard.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/gif/gifsupport.h"

namespace {

// Sets a process-wide flag for the life of the object.
struct FlagGuard {
  bool& Flag;
  bool Old;
  FlagGuard(bool& flag, bool value) : Flag(flag), Old(flag) { Flag = value; }
  ~FlagGuard() { Flag = Old; }
};

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

// What SaveToClipboardFormat gives, freed at the end.
struct ClipResults {
  uint16_t Format = 0xFFFF;
  HGLOBAL Data = nullptr;
  HPALETTE Palette = nullptr;
  ~ClipResults() {
    GlobalFree(Data);
    DeleteObject(Palette);
  }
};

std::vector<uint8_t> BlockBytes(HGLOBAL block) {
  const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> bytes(p, p + GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

HGLOBAL BlockOf(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

// The image drawn as a bitmap, as a caller of AssignTo sees it.
std::unique_ptr<TBitmap> Rendered(TGIFImage& image) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->Assign(&image);
  return bitmap;
}

// Two frames showing the same pixels, the second one after a delay.
std::unique_ptr<TGIFImage> RepeatedFrame() {
  const std::vector<uint8_t> pixels = {0, 1, 2, 3, 3, 2, 1, 0};
  auto image = MakeImage(4, 4, 2, pixels);
  TGIFSubImage& second = AddFrame(*image, 0, 0, 4, 2);
  std::memcpy(second.Data(), pixels.data(), pixels.size());
  auto* gce = new TGIFGraphicControlExtension(&second);
  second.Extensions().Add(gce);
  gce->SetDelay(50);
  return image;
}

}  // namespace

TEST(GifGraphic, EqualsOnlyItself) {
  auto a = MakeImage(4, 2, 2, {0, 1, 2, 3}), b = MakeImage(4, 2, 2, {0, 1, 2, 3});
  EXPECT_TRUE(a->Equals(a.get()));
  // Even an image of the same bytes is another picture.
  EXPECT_EQ(SavedBytes(*a), SavedBytes(*b));
  EXPECT_FALSE(a->Equals(b.get()));
  EXPECT_FALSE(a->Equals(nullptr));
  TGIFImage empty, otherEmpty;
  EXPECT_FALSE(empty.Equals(&otherEmpty));
  // A bitmap compares its content, and a GIF is not a bitmap.
  auto bitmap = Rendered(*a);
  EXPECT_TRUE(bitmap->Equals(Rendered(*b).get()));
  EXPECT_FALSE(bitmap->Equals(a.get()));
}

TEST(GifGraphic, WriteDataOptimizesOnlyWhenAsked) {
  auto image = RepeatedFrame();
  {
    FlagGuard plain(GIFImageOptimizeOnStream, false);
    TMemoryStream stream;
    image->WriteData(stream);
    stream.SetPosition(0);
    EXPECT_EQ(ReadToEnd(stream), SavedBytes(*image));
    EXPECT_EQ(image->Frames().Count(), 2);
  }
  auto screen = Rendered(*image);
  FlagGuard optimize(GIFImageOptimizeOnStream, true);
  TMemoryStream stream;
  image->WriteData(stream);
  // The second frame shows nothing new: merged into transparency, then
  // cropped away.
  ASSERT_EQ(image->Frames().Count(), 1);
  EXPECT_EQ(stream.Size(), int64_t(SavedBytes(*image).size()));
  stream.SetPosition(0);
  TGIFImage back;
  back.ReadData(stream);
  EXPECT_EQ(back.Frames().Count(), 1);
  EXPECT_TRUE(SameColors(*Rendered(back), *screen));
}

TEST(GifClipboard, SavedAndLoadedGiveTheSamePixels) {
  RegisterGifFormat();
  EXPECT_EQ(GetClipboardFormatName(CF_GIF), "GIF Image");
  EXPECT_EQ(RegisterClipboardFormat("GIF Image"), CF_GIF);
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
  ASSERT_TRUE(IsClipboardFormatAvailable(CF_GIF));
  EXPECT_EQ(BlockBytes(GetClipboardData(CF_GIF)), SavedBytes(image));

  // Without data the clipboard's block is taken.
  TGIFImage fromGif;
  fromGif.LoadFromClipboardFormat(CF_GIF, nullptr, nullptr);
  EXPECT_EQ(SavedBytes(fromGif), SavedBytes(image));
  EXPECT_TRUE(SameColors(*Rendered(fromGif), *screen));
  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
  ASSERT_EQ(fromBitmap.Frames().Count(), 1);
  EXPECT_TRUE(SameColors(*Rendered(fromBitmap), *screen));
  // The picture holder knows the format.
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
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_GIF));
  }
  OpenedClipboard open;
  ClipResults none;
  TGIFImage().SaveToClipboardFormat(none.Format, none.Data, none.Palette);
  EXPECT_EQ(none.Format, 0);
  EXPECT_EQ(none.Data, nullptr);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_GIF));

  TGIFImage target;
  auto unsupported = [&](uint16_t format, HGLOBAL data) {
    return RaisedMessage<EInvalidGraphic>([&] { target.LoadFromClipboardFormat(format, data, nullptr); });
  };
  EXPECT_EQ(unsupported(CF_GIF, nullptr), "Unsupported clipboard format");  // none on the clipboard
  EXPECT_EQ(unsupported(CF_BITMAP, nullptr), "Unsupported clipboard format");
  HGLOBAL gif = BlockOf(SavedBytes(*image));
  EXPECT_EQ(unsupported(CF_TEXT, gif), "Unsupported clipboard format");
  EXPECT_EQ(unsupported(RegisterClipboardFormat("Brightmill test other"), gif), "Unsupported clipboard format");
  GlobalFree(gif);
  HGLOBAL junk = BlockOf({'J', 'U', 'N', 'K', 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(RaisedMessage<GIFException>([&] { target.LoadFromClipboardFormat(CF_GIF, junk, nullptr); }),
            "Invalid GIF signature");
  GlobalFree(junk);
}
