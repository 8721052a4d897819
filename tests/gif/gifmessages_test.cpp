// The codec's messages word for word, each where the codec says it.
#include <gtest/gtest.h>

#include <functional>

#include "gif/giflzw.h"
#include "gif/gifreduce.h"
#include "tests/gif/gifsupport.h"

namespace {

// The message of the Exception the action raises, or else the last warning
// the image received during it.
std::string Said(TGIFImage& image, const std::function<void()>& action) {
  std::string warning;
  image.OnWarning = [&](TObject*, TGIFSeverity, const std::string& message) { warning = message; };
  std::string said;
  try {
    action();
    said = warning;
  } catch (const Exception& e) {
    said = e.Message;
  }
  image.OnWarning = nullptr;
  return said;
}

void Load(TGIFImage& image, const std::vector<uint8_t>& data) {
  TReadOnlyMemoryStream stream(data.data(), data.size());
  image.LoadFromStream(stream);
}

// A file of a 2 x 1 screen with two greys and the bytes after it.
std::vector<uint8_t> After(const std::vector<uint8_t>& tail) {
  ByteWriter w = GifStart(2, 1, 1);
  return w.Bytes(tail).Data;
}

// A 2 x 1 frame, code size 2, whose codes are given.
std::vector<uint8_t> Frame(const std::vector<std::pair<int, int>>& codes) {
  ByteWriter w;
  ImageDescriptor(w, 0, 0, 2, 1);
  return w.U8(2).Bytes(SubBlocks(PackCodes(codes))).Data;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The progress messages an action reports through the image.
std::vector<std::string> Progress(TGIFImage& image, const std::function<void()>& action) {
  std::vector<std::string> messages;
  image.OnProgress = [&](TObject*, TProgressStage, uint8_t, bool, const TRect&, const std::string& message) {
    if (messages.empty() || messages.back() != message) messages.push_back(message);
  };
  action();
  image.OnProgress = nullptr;
  return messages;
}

TEST(GifMessages, EveryMessageReadsAsTheCodecGivesIt) {
  const std::vector<uint8_t> good = Join(After(Frame({{4, 3}, {1, 3}, {0, 3}, {5, 3}})), {0x3B});
  TGIFImage image;
  auto frameImage = [] { return MakeImage(2, 2, 1, {1, 0}); };
  struct Case {
    const char* Text;
    std::function<std::string()> Say;
  };
  const Case cases[] = {
      {"Color table is empty", [&] { return Said(image, [&] { TGIFImage().GlobalColorMap().Colors(0); }); }},
      {"Image is empty",
       [&] {
         auto empty = frameImage();
         FrameOf(*empty).SetBounds(0, 0, 0, 1);
         return Said(*empty, [&] { FrameOf(*empty).Scanline(0); });
       }},
      {"Invalid bitmap list", [&] { return Said(image, [] { CreateOptimizedPaletteFromManyBitmaps({}, 8, 8, false); }); }},
      {"Invalid reduction method",
       [&] {
         auto one = frameImage();
         return Said(*one, [&] { one->Optimize(OptimizeOption(ooReduceColors), rmPalette, dmNearest, 8); });
       }},
      {"GIF Image", [] { return GetClipboardFormatName(CF_GIF); }},
      {"Unknown GIF block type", [&] { return Said(image, [&] { Load(image, After({0x77})); }); }},
      {"Object type not supported for operation",
       [&] {
         TPicture picture;
         return Said(image, [&] { image.Add(&picture); });
       }},
      {"Invalid GIF data",
       [&] {
         ByteWriter w;
         w.U8(0x21).U8(0xFF).U8(11).Text("NETSCAPE2.0").U8(2).U8(1).U8(0).U8(0);
         return Said(image, [&] { Load(image, After(w.Data)); });
       }},
      {"Image height too small for contained frames",
       [&] {
         auto one = frameImage();
         return Said(*one, [&] { one->SetHeight(0); });
       }},
      {"Image width too small for contained frames",
       [&] {
         auto one = frameImage();
         return Said(*one, [&] { one->SetWidth(1); });
       }},
      {"Failed to store GIF on clipboard",
       [&] {
         auto one = frameImage();
         uint16_t format;
         HGLOBAL data;
         HPALETTE palette;
         return Said(*one, [&] { one->SaveToClipboardFormat(format, data, palette); });
       }},
      {"Image exceeds Logical Screen size",
       [&] {
         ByteWriter w;
         ImageDescriptor(w, 0, 0, 0, 1);
         w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {0, 3}, {5, 3}})));
         return Said(image, [&] { Load(image, After(w.U8(0x3B).Data)); });
       }},
      {"No global or local color table defined",
       [&] {
         auto colourless = MakeImage(0, 1, 1, {0});
         TBitmap bitmap;
         return Said(*colourless, [&] { bitmap.Assign(colourless.get()); });
       }},
      {"Invalid pixel coordinates",
       [&] {
         auto one = frameImage();
         return Said(*one, [&] { FrameOf(*one).Pixels(-1, 0); });
       }},
      {"Unsupported PixelFormat",
       [&] {
         TBitmap bitmap;
         return Said(image, [&] { TDIBWriter(bitmap, pf4bit, 1, 1, nullptr); });
       }},
      {"Invalid image dimensions",
       [&] {
         TBitmap bitmap;
         return Said(image, [&] { TDIBWriter(bitmap, pf8bit, 0, 1, nullptr); });
       }},
      {"Invalid stream operation",
       [&] {
         TMemoryStream destination;
         TGIFStream stream(destination);
         uint8_t byte;
         return Said(image, [&] { stream.Read(&byte, 1); });
       }},
      {"Color not in color table",
       [&] {
         auto beyond = MakeImage(2, 2, 1, {2, 0});
         return Said(*beyond, [&] { SavedBytes(*beyond); });
       }},
      {"Invalid Bits Per Pixel value", [&] { return Said(image, [&] { image.SetReductionBits(9); }); }},
      {"Premature end of data", [&] { return Said(image, [&] { Load(image, {'G', 'I', 'F'}); }); }},
      {"Color table overflow",
       [&] {
         TGIFImage full;
         for (int i = 0; i < 256; ++i) full.GlobalColorMap().Add({uint8_t(i), 0, 0});
         return Said(full, [&] { full.GlobalColorMap().Add({}); });
       }},
      {"Invalid color index",
       [&] {
         auto one = frameImage();
         return Said(*one, [&] { one->GlobalColorMap().Delete(2); });
       }},
      {"Unsupported GIF version",
       [&] {
         TGIFImage empty;
         return Said(empty, [&] { SavedBytes(empty); });
       }},
      {"Invalid GIF signature", [&] { return Said(image, [&] { Load(image, std::vector<uint8_t>(13, 'x')); }); }},
      {"Unknown extension type", [&] { return Said(image, [&] { Load(image, After({0x21, 0x55, 0})); }); }},
      {"Invalid extension introducer",
       [&] { return Said(image, [&] { Load(image, After({0x21, 0xFE, 0, 0, 0x3B})); }); }},
      {"Failed to allocate memory for GIF DIB",
       [&] {
         return Said(image, [&] { Load(image, After({0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0})); });
       }},
      {"Decoder bit buffer under-run",
       [&] {
         ByteWriter w;
         ImageDescriptor(w, 0, 0, 9, 1);
         w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {0, 3}})));
         return Said(image, [&] { Load(image, After(w.U8(0x3B).Data)); });
       }},
      {"Circular decoder table entry",
       [&] {
         ByteWriter w;
         ImageDescriptor(w, 0, 0, 2, 9);
         w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {7, 3}, {7, 3}, {7, 3}, {7, 4}, {5, 4}})));
         return Said(image, [&] { Load(image, After(w.Data)); });
       }},
      {"Invalid Image trailer",
       [&] { return Said(image, [&] { Load(image, Join(After(Frame({{4, 3}, {1, 3}, {0, 3}, {5, 3}})), {0x99, 0x77})); }); }},
      {"Internal error: Extension Instance does not match Extension Label",
       [&] {
         TGIFCommentExtension comment(nullptr);
         const uint8_t bytes[] = {0x21, 0xF9, 0};
         TReadOnlyMemoryStream block(bytes, sizeof bytes);
         return Said(image, [&] { comment.LoadFromStream(block); });
       }},
      {"Unsupported Application Extension block size",
       [&] {
         ByteWriter w;
         w.U8(0x21).U8(0xFF).U8(5).Text("NETSCAPE2.0").U8(0);
         return Said(image, [&] { Load(image, After(w.Data)); });
       }},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Say(), c.Text);

  // The progress of each long operation.
  EXPECT_EQ(Progress(image, [&] { Load(image, good); }), std::vector<std::string>({"Loading..."}));
  EXPECT_EQ(Progress(image, [&] { SavedBytes(image); }), std::vector<std::string>({"Saving..."}));
  EXPECT_EQ(Progress(image, [&] { FrameOf(image).Bitmap(); }), std::vector<std::string>({"Rendering..."}));
  EXPECT_EQ(Progress(image, [&] { image.Optimize(OptimizeOption(ooColorMap), rmNone, dmNearest, 8); }),
            std::vector<std::string>({"Optimizing..."}));
  TGIFImage copy;
  EXPECT_EQ(Progress(image, [&] { copy.Assign(&image); }), std::vector<std::string>({"Copying..."}));
  auto picture = MakeTestBitmap(3, 2);
  EXPECT_EQ(Progress(image, [&] { image.Assign(picture.get()); }), std::vector<std::string>({"Converting..."}));

  // Texts that no operation here reaches: a colour count read from a file
  // is always 2 to 256, and a DIB is always made before its rows are asked
  // for.
  EXPECT_STREQ(sScreenBadColorSize, "Invalid number of colors specified in Screen Descriptor");
  EXPECT_STREQ(sImageBadColorSize, "Invalid number of colors specified in Image Descriptor");
  EXPECT_STREQ(sNoDIB, "Image has no DIB");
  EXPECT_STREQ(sDIBCreate, "Failed to create DIB from Bitmap");
  EXPECT_STREQ(sUnsupportedBitmap, "Unsupported bitmap format");
}

}  // namespace
