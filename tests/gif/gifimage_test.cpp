// Frames and the picture class: conversion from bitmaps with transparency,
// the files written, the colour map optimizer, rendering and registration.
#include <gtest/gtest.h>

#include <cstring>

#include "gif/gifreduce.h"
#include "platform/graphics/icon.h"
#include "tests/support/picturefiles.h"
#include "tests/gif/gifsupport.h"

namespace {

// An image holding the bitmap, reduced by the method, as its one frame.
std::unique_ptr<TGIFImage> Converted(TBitmap& bitmap, TColorReduction reduction) {
  auto image = std::make_unique<TGIFImage>();
  image->ColorReduction = reduction;
  image->Assign(&bitmap);
  return image;
}

TEST(GifConvert, BitmapsBecomeOneFrame) {
  auto picture = MakeTestBitmap(100, 50);
  TGIFImage image;
  WarningLog log(image);
  image.Assign(picture.get());
  ASSERT_EQ(image.Frames().Count(), 1);
  EXPECT_EQ(FrameOf(image).BoundsRect(), Rect(0, 0, 100, 50));
  EXPECT_TRUE(log.Messages.empty());

  // rmNone keeps 24 bits: colours are taken as met, up to 256.
  auto single = Converted(*MakeFlatBitmap(1, 1, RGB(1, 2, 3)), rmNone);
  EXPECT_EQ(FrameOf(*single).ColorMap().Count(), 1);
  EXPECT_EQ(FrameOf(*single).ColorMap().Colors(0), (TGIFColor{1, 2, 3}));
  auto many = MakeNoiseBitmap(300, 1, 1);
  EXPECT_EQ(RaisedMessage<GIFException>([&] { Converted(*many, rmNone); }), sTooManyColors);
  EXPECT_EQ(FrameOf(*Converted(*many, rmNetscape)).Width(), 300);
  EXPECT_EQ(RaisedMessage<GIFException>([&] { Converted(*many, rmPalette); }), sInvalidReduction);

  // Pictures of 1, 4 and 8 bits keep their indices and tables.
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
    auto indexed = MakeTestBitmap(9, 5);
    indexed->SetPixelFormat(format);
    TGIFImage copy;
    copy.Assign(indexed.get());
    TBitmap back;
    back.Assign(&copy);
    EXPECT_TRUE(SameColors(back, *indexed)) << int(format);
  }
}

// The colours of a frame's pixels, clNone for the transparent ones.
std::vector<TColor> FrameColors(TGIFSubImage& frame) {
  const int transparent = frame.Transparent() ? frame.GraphicControlExtension()->TransparentColorIndex() : -1;
  std::vector<TColor> colors;
  for (uint8_t p : FramePixels(frame))
    colors.push_back(p == transparent ? clNone : TGIFColorMap::RGB2Color(frame.ColorMap().Colors(p)));
  return colors;
}

TEST(GifConvert, TransparentColourBecomesTheTransparentIndex) {
  auto picture = MakeColorBitmap(3, {clRed, clBlue, clRed, clLime, clRed, clWhite});
  picture->SetTransparent(true);
  picture->SetTransparentColor(clRed);
  auto image = Converted(*picture, rmNetscape);
  TGIFSubImage& frame = FrameOf(*image);
  ASSERT_TRUE(frame.Transparent());
  int index = frame.GraphicControlExtension()->TransparentColorIndex();
  // The used colours, most used first, then black for transparency.
  EXPECT_EQ(frame.ColorMap().Count(), 5);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(frame.ColorMap().Colors(index), (TGIFColor{0, 0, 0}));
  EXPECT_EQ(FrameColors(frame), std::vector<TColor>({clNone, clBlue, clNone, clLime, clNone, clWhite}));

  // A transparent colour no pixel has leaves the frame opaque.
  picture->SetTransparentColor(clYellow);
  EXPECT_FALSE(FrameOf(*Converted(*picture, rmNetscape)).Transparent());

  // Drawing with transparency leaves the canvas under the masked pixels.
  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(6, 4);
  canvas.Canvas()->Brush.Color = clGray;
  canvas.Canvas()->FillRect(Rect(0, 0, 6, 4));
  picture->SetTransparentColor(clRed);
  Converted(*picture, rmNetscape)->Draw(*canvas.Canvas(), Rect(0, 0, 6, 4));
  EXPECT_EQ(ColorLetters(canvas), "??BB??\n??BB??\nGG??WW\nGG??WW");
}

TEST(GifConvert, AFullColourMapMakesRoomForTheTransparentColour) {
  // 256 colours, the bottom-left one transparent: its entry, which no
  // opaque pixel shows, becomes the transparent index; every other colour
  // stays.
  std::vector<TColor> full;
  for (int i = 0; i < 256; ++i) full.push_back(RGB(i, 255 - i, i / 2));
  auto crowded = MakeColorBitmap(16, full);
  crowded->SetTransparent(true);
  auto image = Converted(*crowded, rmNone);
  TGIFSubImage& frame = FrameOf(*image);
  ASSERT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.ColorMap().Count(), 256);
  std::vector<TColor> expected = full;
  expected[240] = clNone;
  EXPECT_EQ(FrameColors(frame), expected);

  // Every grey of the grey ramp, grey 10 many times, and pure red, which
  // the ramp shows as a grey too: the red pixels become transparent, one
  // of the least used greys gives up its entry, and its opaque pixel takes
  // the nearest grey left.
  std::vector<TColor> greys;
  for (int i = 0; i < 256; ++i) greys.push_back(RGB(i, i, i));
  for (int i = 0; i < 32; ++i) greys.push_back(RGB(10, 10, 10));
  greys.push_back(clRed);
  greys.push_back(clRed);
  auto ramp = MakeColorBitmap(290, greys);
  ramp->SetTransparent(true);
  ramp->SetTransparentColor(clRed);
  image = Converted(*ramp, rmGrayScale);
  TGIFSubImage& grey = FrameOf(*image);
  ASSERT_TRUE(grey.Transparent());
  const std::vector<TColor> colors = FrameColors(grey);
  ASSERT_EQ(colors.size(), greys.size());
  int moved = 0;
  for (size_t i = 0; i < greys.size(); ++i) {
    if (greys[i] == clRed) {
      EXPECT_EQ(colors[i], clNone) << i;
      continue;
    }
    ASSERT_NE(colors[i], clNone) << i;
    if (colors[i] == greys[i]) continue;
    ++moved;
    const int from = GetRValue(greys[i]), to = GetRValue(colors[i]);
    EXPECT_EQ(std::abs(from - to), 1) << "grey " << from << " became " << to;
    EXPECT_EQ(colors[i], RGB(to, to, to));
  }
  EXPECT_EQ(moved, 1);
}

// The blocks of a written file, checked one by one.
void CheckFileLayout(const std::vector<uint8_t>& file, int colors, const std::string& version) {
  ASSERT_GT(file.size(), 13u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF" + version);
  int bits = ColorsToBitsPerPixel(colors);
  EXPECT_EQ(file[10], 0x80 | 0x08 | (bits - 1) << 4 | (bits - 1));  // sorted global map
  size_t at = 13 + (size_t(3) << bits);
  for (size_t i = 13 + 3 * size_t(colors); i < at; ++i) ASSERT_EQ(file[i], 0) << "padding " << i;
  if (version == "89a") {
    ASSERT_EQ(file[at], 0x21);
    at += 8;
  }
  ASSERT_EQ(file[at], 0x2C);
  at += 10;
  EXPECT_EQ(file[at++], std::max(2, bits));
  std::vector<int> sizes;
  for (; file.at(at) != 0; at += file[at] + 1u) sizes.push_back(file[at]);
  ASSERT_FALSE(sizes.empty());
  for (size_t i = 0; i + 1 < sizes.size(); ++i) ASSERT_EQ(sizes[i], 255) << i;
  EXPECT_EQ(file.at(at + 1), 0x3B);
  EXPECT_EQ(at + 2, file.size());
}

TEST(GifWrite, ReducedPicturesReadBackThroughGiflib) {
  struct Case {
    TColorReduction Reduction;
    TDitherMode Dither;
    TGIFCompression Compression;
    bool Transparent;
    int Bits;
  };
  const Case cases[] = {{rmMonochrome, dmFloydSteinberg, gcLZW, false, 8},
                        {rmQuantize, dmSierra, gcLZW, true, 6},
                        {rmNetscape, dmBurkes, gcRLE, true, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Reduction));
    auto source = MakeNoiseBitmap(300, 40, 5);
    for (int x = 0; x < 300; ++x) source->Canvas()->SetPixel(x, 39, clWhite);
    source->SetTransparent(c.Transparent);
    TGIFImage gif;
    gif.ColorReduction = c.Reduction;
    gif.DitherMode = c.Dither;
    gif.Compression = c.Compression;
    gif.SetReductionBits(c.Bits);
    gif.Assign(source.get());
    gif.OptimizeColorMap();
    std::vector<uint8_t> file = SavedBytes(gif);
    CheckFileLayout(file, gif.GlobalColorMap().Count(), c.Transparent ? "89a" : "87a");
    RefImage ref = GiflibRead(file);
    ASSERT_EQ(ref.Frames.size(), 1u);
    auto reduced = ReduceColors(*source, c.Reduction, c.Dither, c.Bits, nullptr);
    int transparent = ref.TransparentIndex[0];
    EXPECT_EQ(transparent >= 0, c.Transparent);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 300; ++x) {
        int index = ref.Frames[0][size_t(y) * 300 + size_t(x)];
        if (index == transparent)
          ASSERT_EQ(PixelAt(*source, x, y), clWhite) << x << "," << y;
        else
          ASSERT_EQ(ref.PixelColor(0, x, y), PixelAt(*reduced, x, y)) << x << "," << y;
      }
  }
}

TEST(GifOptimizer, SharesOneGlobalMapOfTheUsedColours) {
  // Two frames with local maps that share colours: red 50 is used five
  // times, 0, 100 and 200 once each.
  TGIFImage image;
  const uint8_t pixels[2][4] = {{0, 1, 1, 1}, {0, 0, 1, 3}};
  for (int f = 0; f < 2; ++f) {
    TGIFSubImage& frame = AddFrame(image, 0, 0, 4, 1);
    for (int i = 0; i < 4; ++i) frame.ColorMap().Add({uint8_t(f * 50 + i * 50), 0, 0});
    std::memcpy(frame.Data(), pixels[f], 4);
  }
  image.OptimizeColorMap();
  ASSERT_EQ(image.GlobalColorMap().Count(), 4);
  EXPECT_TRUE(image.GlobalColorMap().Optimized());
  EXPECT_EQ(image.GlobalColorMap().Colors(0), (TGIFColor{50, 0, 0}));
  std::vector<int> reds;
  for (int f = 0; f < 2; ++f) {
    EXPECT_EQ(FrameOf(image, f).ColorMap().Count(), 0);
    for (int x = 0; x < 4; ++x) reds.push_back(image.GlobalColorMap().Colors(FrameOf(image, f).Pixels(x, 0)).Red);
  }
  EXPECT_EQ(reds, std::vector<int>({0, 50, 50, 50, 50, 50, 100, 200}));

  // A transparent colour no pixel shows goes; a pixel beyond the map
  // becomes 0 with a warning.
  auto lone = MakeImage(3, 3, 1, {0, 1, 7});
  MakeTransparent(FrameOf(*lone), 2);
  WarningLog log(*lone);
  lone->OptimizeColorMap();
  EXPECT_FALSE(FrameOf(*lone).Transparent());
  EXPECT_EQ(lone->GlobalColorMap().Count(), 2);
  EXPECT_EQ(log.Messages, std::vector<std::string>({sInvalidColor}));
  // Each such pixel is reported, in a local map too; the transparent
  // index of a frame that shows it is no colour and passes silently.
  auto stray = MakeImage(3, 7, 1, {5, 0, 9, 9, 2, 1, 255}, false, true);
  MakeTransparent(FrameOf(*stray), 2);
  WarningLog strays(*stray);
  stray->OptimizeColorMap();
  EXPECT_EQ(strays.Messages, std::vector<std::string>(4, "Color not in color table"));
  TGIFColorMap& shared = stray->GlobalColorMap();
  const int transparent = FrameOf(*stray).GraphicControlExtension()->TransparentColorIndex();
  std::vector<int> greys;
  for (uint8_t pixel : FramePixels(FrameOf(*stray)))
    greys.push_back(pixel == transparent ? -1 : shared.Colors(pixel).Red);
  EXPECT_EQ(greys, std::vector<int>({0, 0, 0, 0, -1, 127, 0}));

  // 256 used colours and a shown transparent one: 255 stay, then black.
  std::vector<uint8_t> many(257);
  for (int i = 0; i < 256; ++i) many[size_t(i)] = uint8_t(i);  // and colour 0 twice
  auto crowded = MakeImage(256, 257, 1, many, false, true);
  TGIFSubImage& frame = AddFrame(*crowded, 0, 0, 2, 1);
  frame.ColorMap().Add({1, 1, 1});
  frame.ColorMap().Add({9, 9, 9});
  MakeTransparent(frame, 1);
  frame.Scanline(0)[1] = 1;
  crowded->OptimizeColorMap();
  TGIFColorMap& map = crowded->GlobalColorMap();
  ASSERT_EQ(map.Count(), 256);
  EXPECT_EQ(map.Colors(255), (TGIFColor{0, 0, 0}));
  EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 255);
  EXPECT_EQ(FramePixels(frame)[1], 255);
  // Of the 257 colours the last ones met take their nearest kept colour.
  for (int i = 0; i < 257; ++i)
    ASSERT_LE(std::abs(map.Colors(FrameOf(*crowded).Pixels(i, 0)).Red - (i == 256 ? 0 : i)), 1) << i;
}

TEST(GifImage, RendersTheFirstFrameOverTheScreen) {
  // A 2 x 1 frame at (1, 1) on a 4 x 3 screen: white around it.
  ByteWriter w = GifStart(4, 3, 1);
  ImageDescriptor(w, 1, 1, 2, 1);
  w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {0, 3}, {5, 3}}))).U8(0x3B);
  TGIFImage image;
  ASSERT_TRUE(LoadGif(image, w.Data).empty());
  TBitmap bitmap;
  bitmap.Assign(&image);
  EXPECT_EQ(ColorLetters(bitmap), "WWWW\nWWKW\nWWWW");

  // A frame as large as the screen gives its 8-bit rendering.
  auto whole = MakeImage(4, 2, 1, {3, 1});
  bitmap.Assign(whole.get());
  EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
  EXPECT_EQ(PixelAt(bitmap, 1, 0), RGB(85, 85, 85));

  // No frames: no picture; no colours anywhere: the palette cycle is caught.
  TGIFImage empty;
  bitmap.Assign(&empty);
  EXPECT_TRUE(bitmap.Empty());
  auto colourless = MakeImage(0, 1, 1, {0});
  EXPECT_EQ(RaisedMessage<GIFException>([&] { bitmap.Assign(colourless.get()); }), sNoColorTable);
}

TEST(GifImage, RegistersWithThePictureClass) {
  RegisterGifFormat();
  RegisterGifFormat();
  TempDir dir;
  WriteFile(dir.File("p.GIF"), SavedBytes(*MakeImage(2, 2, 1, {1, 0})));
  TPicture picture;
  picture.LoadFromFile(dir.File("p.GIF"));
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TGIFImage");
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_GIF));

  // Unregistered on the way out: neither the extension nor the clipboard
  // format is known any more, until the codec starts again.
  UnregisterGifFormat();
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { picture.LoadFromFile(dir.File("p.GIF")); }),
            "Unknown picture file extension (.GIF)");
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_GIF));
  RegisterGifFormat();
  picture.LoadFromFile(dir.File("p.GIF"));
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_GIF));

  // On a true-colour screen the default options do not dither.
  TGIFImage image;
  EXPECT_FALSE(image.DoDither());
  image.SetDrawOptions(DrawOption(goDither));
  EXPECT_TRUE(image.DoDither());
  // A design environment's registration keeps new pictures from looping.
  const TGIFDrawOptions defaults = GIFImageDefaultDrawOptions;
  Register();
  EXPECT_EQ(GIFImageDefaultDrawOptions, defaults & ~DrawOption(goLoop));
  GIFImageDefaultDrawOptions = defaults;
}

// An .ico file with one 32-bit entry of three red pixels in a row, of alpha
// 0, 128 and 255.
std::vector<uint8_t> AlphaIcon() {
  ByteWriter dib;
  dib.U32(40).I32(3).I32(2).U16(1).U16(32).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
  for (uint8_t alpha : {0, 128, 255}) dib.U8(0).U8(0).U8(255).U8(alpha);
  dib.U32(0);  // the AND mask's row
  ByteWriter file;
  file.U16(0).U16(1).U16(1).U8(3).U8(1).U8(0).U8(0).U16(1).U16(32).U32(uint32_t(dib.Size())).U32(22);
  return file.Bytes(dib.Data).Data;
}

// Which pixels of the image's one frame are transparent, as "T" and ".".
std::string TransparentPixels(TGIFImage& image) {
  TGIFSubImage& frame = FrameOf(image);
  int index = frame.Transparent() ? frame.GraphicControlExtension()->TransparentColorIndex() : -1;
  std::string marks;
  for (uint8_t p : FramePixels(frame)) marks += p == index ? 'T' : '.';
  return marks;
}

TEST(GifConvert, IconsBringTheirOwnMask) {
  // Only the pixel the icon leaves undrawn is transparent; the half
  // transparent one is drawn (on white) like any other.
  TIcon icon;
  std::vector<uint8_t> data = AlphaIcon();
  icon.LoadFromMemory(data.data(), data.size());
  TGIFImage image;
  image.Assign(&icon);
  EXPECT_EQ(TransparentPixels(image), "T..");
  // An icon of 24 bits: its AND mask.
  data = MakeIcoFile(4, 2, clLime, {1, 6});
  icon.LoadFromMemory(data.data(), data.size());
  image.Assign(&icon);
  EXPECT_EQ(TransparentPixels(image), ".T....T.");
}

TEST(GifImage, MaskedDrawingSignalsTheCanvas) {
  auto image = MakeImage(4, 2, 2, {0, 1, 2, 3});
  MakeTransparent(FrameOf(*image), 3);
  auto target = MakeFlatBitmap(4, 2, clRed);
  int changes = 0;
  target->Canvas()->OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, target->Canvas());
    ++changes;
  };
  image->Draw(*target->Canvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(ColorLetters(*target), "KK??\n??RR");
  // Without transparency nothing goes round the canvas.
  image->SetDrawOptions(0);
  image->Draw(*target->Canvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(changes, 1);
}

TEST(GifRender, NewBitmapIsSizedCheaplyForLargeFrames) {
  // Up to 500,000 pixels the new bitmap is sized as it is; above, at one
  // bit per pixel first. It is cached as the frame's bitmap until dropped;
  // a rendering then makes its own.
  for (auto [width, height, oneBit] : {std::tuple{1000, 500, false}, std::tuple{12, 41667, true}}) {
    auto image = MakeImage(2, width, height, {});
    TGIFSubImage& frame = FrameOf(*image);
    TBitmap* bitmap = frame.NewBitmap();
    EXPECT_TRUE(frame.HasBitmap());
    EXPECT_EQ(bitmap->Width(), width);
    EXPECT_EQ(bitmap->Height(), height);
    EXPECT_EQ(bitmap->PixelFormat() == pf1bit, oneBit) << width * height;
    EXPECT_EQ(frame.Bitmap(), bitmap);
  }
  auto image = MakeImage(4, 2, 1, {3, 1});
  TGIFSubImage& frame = FrameOf(*image);
  frame.NewBitmap();
  frame.FreeBitmap();
  EXPECT_EQ(frame.Bitmap()->ScanLine(0)[0], 3);
}

}  // namespace
