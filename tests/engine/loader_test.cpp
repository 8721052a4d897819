// Reading source pictures into the working bitmap, by the file's extension.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "engine/jobrecord.h"
#include "engine/picturefiles.h"
#include "fuzz/claimcheck.h"
#include "gif/gifimage.h"
#include "platform/graphics/jpeg.h"
#include "platform/graphics/icon.h"
#include "platform/metafile/metafile.h"
#include "png/pngimage.h"
#include "tests/support/craftedfiles.h"
#include "tests/support/picturefiles.h"
#include "tests/support/testsupport.h"

namespace {

// The file as LoadImageToBitmap reads it into a fresh 24-bit bitmap; null
// when it answers false.
std::unique_ptr<TBitmap> Loaded(const std::string& path) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  if (!TJobRecord::LoadImageToBitmap(path, *bitmap)) return nullptr;
  return bitmap;
}

template <class G>
std::vector<uint8_t> Encoded(TBitmap& picture) {
  G graphic;
  graphic.Assign(&picture);
  return SavedBytes(graphic);
}

// An icon file with one entry that holds the PNG file.
std::vector<uint8_t> IconWithPng(const std::vector<uint8_t>& png, int size) {
  ByteWriter w;
  w.U16(0).U16(1).U16(1);
  w.U8(uint8_t(size)).U8(uint8_t(size)).U8(0).U8(0).U16(1).U16(32).U32(uint32_t(png.size())).U32(22);
  return w.Bytes(png).Data;
}

}  // namespace

TEST(PictureLoading, TheLastExtensionInAnyCaseChoosesTheReader) {
  TempDir dir;
  auto picture = MakeTestBitmap(8, 6, 2), indexed = MakeTestBitmap(5, 5);
  indexed->SetPixelFormat(pf8bit);
  std::vector<uint8_t> jpeg = Encoded<TJPEGImage>(*picture), bmp = SavedBytes(*picture),
                       png = Encoded<TPNGObject>(*picture), crc = png;
  crc[20] ^= 1;  // in the header's data
  struct Case {
    std::string Name;
    std::vector<uint8_t> Data;
    TBitmap* Shows;  // null when refused
    bool Exact;      // the same colours, not only the same size
  };
  const Case cases[] = {
      {"photo.Jpeg", jpeg, picture.get(), false},
      {"jpeg.bmp", jpeg, nullptr, false},
      {"a.png.bmp", bmp, picture.get(), true},
      {"a.bmp.png", bmp, nullptr, false},
      {"palette.PNG", Encoded<TPNGObject>(*indexed), indexed.get(), true},
      {"icon.ico", IconWithPng(png, 8), picture.get(), true},  // an icon entry stored as PNG
      {"cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)), nullptr, false},
      {"crc.png", crc, nullptr, false},
      {"text.ico", {'n', 'o'}, nullptr, false},
      {"empty.emf", {}, nullptr, false},
      {"notes.txt", bmp, nullptr, false},
  };
  for (const Case& c : cases) {
    WriteFile(dir.File(c.Name), c.Data);
    std::unique_ptr<TBitmap> loaded = Loaded(dir.File(c.Name));
    ASSERT_EQ(loaded != nullptr, c.Shows != nullptr) << c.Name;
    if (!loaded) continue;
    EXPECT_EQ(loaded->Width(), c.Shows->Width()) << c.Name;
    EXPECT_EQ(loaded->Height(), c.Shows->Height()) << c.Name;
    EXPECT_TRUE(!c.Exact || SameColors(*loaded, *c.Shows)) << c.Name;
  }
  // Missing files and a folder with a picture's name.
  ASSERT_TRUE(CreateDir(dir.File("folder.bmp")));
  for (const char* name : {"missing.png", "folder.bmp"}) EXPECT_EQ(Loaded(dir.File(name)), nullptr) << name;
  // A BMP keeps its own pixel format.
  WriteFile(dir.File("eight.bmp"), SavedBytes(*indexed));
  EXPECT_EQ(Loaded(dir.File("eight.bmp"))->PixelFormat(), pf8bit);
}

TEST(PictureLoading, TransparencyComesOutWhite) {
  TempDir dir;
  WriteFile(dir.File("icon.ico"), MakeIcoFile(4, 3, clRed, {0, 5}));
  std::unique_ptr<TBitmap> icon = Loaded(dir.File("icon.ico"));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(ColorLetters(*icon), "WRRR\nRWRR\nRRRR");

  TPNGObject alpha(COLOR_RGBALPHA, 8, 2, 1);
  std::fill_n(alpha.Scanline(0), 6, uint8_t(20));
  alpha.AlphaScanline(0)[1] = 255;
  WriteFile(dir.File("alpha.png"), SavedBytes(alpha));
  std::unique_ptr<TBitmap> png = Loaded(dir.File("alpha.png"));
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(PixelAt(*png, 0, 0), clWhite);
  EXPECT_EQ(PixelAt(*png, 1, 0), RGB(20, 20, 20));
}

TEST(PictureLoading, AMetafileClaimsWhatItsDrawingHoldsInTheHelper) {
  // 2000 x 1500 pixels: beside the picture, the file, the frame's 32-bit
  // pixels and the file shared with the helper, and the allowance for
  // clips and saved states.
  const std::vector<uint8_t> emf = MakeEmfFile(52917, 39688, clBlue, 10, 10, 20, 20);
  TempDir dir;
  WriteFile(dir.File("large.emf"), emf);
  const TPictureClaim claim = ClaimPictureFile(dir.File("large.emf"));
  ASSERT_TRUE(claim.Readable);
  EXPECT_EQ(claim.Width * claim.Height, 2000 * 1500);
  EXPECT_GE(claim.LoadBytes, 2000 * 1500 * 4 + 2 * int64_t(emf.size()) + kMetafileHeldBytes);
}

TEST(PictureLoading, MetafilesDrawOnWhiteAtTheirFrameSize) {
  TempDir dir;
  // An EMF 2540 x 1270 hundredths of a mm is 96 x 48 pixels, under either
  // extension; undrawn area keeps the fresh white. (The metafile reader's
  // own rules, such as WMF's placeable header, have their platform tests.)
  auto emf = MakeEmfFile(2540, 1270, clBlue, 10, 10, 20, 20);
  for (const char* name : {"drawing.emf", "drawing.wmf"}) {
    WriteFile(dir.File(name), emf);
    std::unique_ptr<TBitmap> b = Loaded(dir.File(name));
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(b->Width(), 96);
    EXPECT_EQ(b->Height(), 48);
    EXPECT_EQ(PixelAt(*b, 15, 15), clBlue);
    EXPECT_EQ(PixelAt(*b, 5, 5), clWhite);
  }
}

namespace {

// Bytes this process has read from files so far.
int64_t BytesRead() {
  TStringList io;
  io.LoadFromFile("/proc/self/io");
  for (int i = 0; i < io.Count(); ++i)
    if (io[i].rfind("rchar:", 0) == 0) return std::stoll(io[i].substr(6));
  return -1;
}

// A GIF whose screen is width x height, with one frame (the screen's size
// unless given).
ByteWriter GifHeader(int width, int height, int frameWidth = -1, int frameHeight = -1) {
  if (frameWidth < 0) frameWidth = width, frameHeight = height;
  ByteWriter w;
  w.Text("GIF89a").U16(uint16_t(width)).U16(uint16_t(height)).U8(0x80).U8(0).U8(0);
  w.U8(0).U8(0).U8(0).U8(255).U8(255).U8(255);
  w.U8(0x2C).U16(0).U16(0).U16(uint16_t(frameWidth)).U16(uint16_t(frameHeight)).U8(0);
  w.U8(2).U8(2).U8(0x4C).U8(0x01).U8(0).U8(0x3B);
  return w;
}

}  // namespace

TEST(PictureLoading, JunkAndOversizedClaimsAreRefusedByTheirFirstBytes) {
  TempDir dir;
  // Three hundred megabytes of nothing under every picture extension: the
  // signature refuses each before the rest is read.
  for (const char* name : {"junk.jpg", "junk.bmp", "junk.png", "junk.gif", "junk.ico", "junk.emf", "junk.wmf"}) {
    {
      TFileStream junk(dir.File(name), fmCreate);
      junk.SetSize(int64_t(300) << 20);
    }
    int64_t before = BytesRead();
    TBitmap bitmap;
    EXPECT_FALSE(TJobRecord::LoadPictureToBitmap(dir.File(name), bitmap)) << name;
    EXPECT_LT(BytesRead() - before, 1 << 20) << name;
    DeleteFile(dir.File(name));
  }

  // Headers whose picture is over the working bitmap's cap at 24 bits,
  // though each is small (and, but for the JPEG, under the cap as stored).
  ByteWriter bmp;
  bmp.Text("BM").U32(0).U32(0).U32(62).U32(40).I32(20000).I32(20000).U16(1).U16(4).U32(2);
  bmp.Zeros(20).U32(0).U32(0xFFFFFF).U8(0).U8(1);
  std::vector<uint8_t> jpeg = ReadFile(TestDataFolder() + "regressions/fuzz_jpeg/huge-frame-few-bytes.jpg");
  TPNGObject small(COLOR_GRAYSCALE, 1, 8, 8);
  std::vector<uint8_t> png = SavedBytes(small);
  for (int at : {16, 20}) {  // IHDR width and height: 20000 (its CRC is not read first)
    png[at] = 0;
    png[at + 1] = 0;
    png[at + 2] = 0x4E;
    png[at + 3] = 0x20;
  }
  // And pictures without pixels: a metafile whose frame is 300 x 0 pixels,
  // and a GIF whose screen is.
  const std::pair<const char*, std::vector<uint8_t>> claims[] = {
      {"rle4.bmp", bmp.Data},         {"frame.jpg", jpeg},
      {"screen.gif", GifHeader(20000, 20000).Data}, {"bits.png", png},
      {"flat.emf", MakeEmfFile(7938, 0, clBlue, 0, 0, 10, 10)}, {"flat.gif", GifHeader(300, 0).Data}};
  for (const auto& [name, data] : claims) {
    WriteFile(dir.File(name), data);
    TBitmap bitmap;
    EXPECT_FALSE(TJobRecord::LoadPictureToBitmap(dir.File(name), bitmap)) << name;
    EXPECT_EQ(bitmap.Width() * bitmap.Height(), 0) << name;  // nothing was made
  }
  // Under the cap the same kinds of header load.
  WriteFile(dir.File("screen.gif"), GifHeader(300, 200).Data);
  TBitmap bitmap;
  ASSERT_TRUE(TJobRecord::LoadPictureToBitmap(dir.File("screen.gif"), bitmap));
  EXPECT_EQ(bitmap.Width(), 300);
}

TEST(PictureLoading, OnlyTheFirstFrameOfAGifIsDecoded) {
  // A 4 x 3 screen whose first frame shows and whose second claims more
  // than the GIF reader takes: the second is never read.
  ByteWriter w = GifHeader(4, 3);
  w.Data.pop_back();                            // the trailer
  w.U8(0x21).U8(0xFE).U8(3).Text("hi!").U8(0);  // a comment between the frames
  w.U8(0x2C).U16(0).U16(0).U16(40000).U16(30000).U8(0).U8(2).U8(2).U8(0x4C).U8(0x01).U8(0).U8(0x3B);
  TempDir dir;
  WriteFile(dir.File("two.gif"), w.Data);
  TBitmap bitmap;
  ASSERT_TRUE(TJobRecord::LoadPictureToBitmap(dir.File("two.gif"), bitmap));
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.Height(), 3);
  // Damaged, missing or not GIF at all: false, and the reader's animation
  // option is back each time.
  EXPECT_TRUE(GIFImageDefaultDrawOptions & DrawOption(goAnimate));
  w.Data.resize(w.Data.size() / 2);
  w.Data[10] = 0x87;  // a global map larger than what follows
  WriteFile(dir.File("bad.gif"), w.Data);
  MakeTestBitmap(3, 3)->SaveToFile(dir.File("bmp.GIF"));
  for (const char* name : {"bad.gif", "missing.gif", "bmp.GIF"}) {
    EXPECT_FALSE(TJobRecord::LoadPictureToBitmap(dir.File(name), bitmap)) << name;
    EXPECT_TRUE(GIFImageDefaultDrawOptions & DrawOption(goAnimate));
  }
}

namespace {

// The colour of a pixel of a frame in FrameOverScreen.
TColor FramePixel(int x, int y) { return (x / 3 + y) % 2 ? clRed : clBlack; }

// A GIF whose 24 x 12 screen holds one frame at (left, top) of
// width x height, in stripes of black and red.
std::vector<uint8_t> FrameOverScreen(int left, int top, int width, int height) {
  TGIFImage gif;
  auto* frame = new TGIFSubImage(&gif);
  gif.Add(frame);
  frame->SetBounds(left, top, width, height);
  gif.GlobalColorMap().Add({0, 0, 0});
  gif.GlobalColorMap().Add({255, 0, 0});
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) frame->Scanline(y)[x] = FramePixel(x, y) == clRed;
  gif.Header().SetWidth(24);  // the screen the frame overflows
  gif.Header().SetHeight(12);
  return SavedBytes(gif);
}

}  // namespace

TEST(PictureLoading, AGifFrameLargerThanItsScreenIsDrawnOnTheScreen) {
  // Larger in width only, in both sides, thousands of times larger: the
  // picture is the screen, the frame at its place over the fresh white.
  struct Case {
    int Left, Top, Width, Height;
  };
  TempDir dir;
  for (const Case& c : {Case{2, 3, 40, 5}, Case{0, 0, 30, 30}, Case{4, 2, 3000, 3000}}) {
    SCOPED_TRACE(c.Width);
    WriteFile(dir.File("frame.gif"), FrameOverScreen(c.Left, c.Top, c.Width, c.Height));
    // Its claim is the screen, which the load places, and holds the whole
    // frame beside it (its pixels and their rendering), which the load
    // decodes.
    TFileStream file(dir.File("frame.gif"), fmOpenRead);
    const TPictureClaim claim = ClaimPicture(file, TPictureKind::Gif);
    ASSERT_TRUE(claim.Readable);
    EXPECT_EQ(claim.Width, 24);
    EXPECT_EQ(claim.Height, 12);
    EXPECT_GE(claim.LoadBytes, 2 * c.Width * c.Height);
    TBitmap bitmap;
    ASSERT_TRUE(TJobRecord::LoadPictureToBitmap(dir.File("frame.gif"), bitmap));
    ASSERT_EQ(bitmap.Width(), 24);
    ASSERT_EQ(bitmap.Height(), 12);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 24; ++x) {
        bool inside = x >= c.Left && y >= c.Top && x < c.Left + c.Width && y < c.Top + c.Height;
        ASSERT_EQ(PixelAt(bitmap, x, y), inside ? FramePixel(x - c.Left, y - c.Top) : clWhite) << x << "," << y;
      }
  }

  // A frame past the cap at 24 bits is still refused by its descriptor,
  // both by the look at the file and by the loader, before anything is made.
  WriteFile(dir.File("huge.gif"), GifHeader(24, 12, 20000, 20000).Data);
  TFileStream file(dir.File("huge.gif"), fmOpenRead);
  EXPECT_FALSE(ClaimPicture(file, TPictureKind::Gif).Readable);
  TBitmap bitmap;
  EXPECT_FALSE(TJobRecord::LoadPictureToBitmap(dir.File("huge.gif"), bitmap));
  EXPECT_EQ(bitmap.Width() * bitmap.Height(), 0);
}

namespace {

// The pattern of frame seed at (x, y), an index below colors.
uint8_t PatternIndex(int x, int y, int seed, int colors) { return uint8_t((x * 3 + y * 5 + seed * 7) % colors); }

// A frame of the image at its bounds, filled with the pattern.
TGIFSubImage& PatternFrame(TGIFImage& gif, int left, int top, int width, int height, int seed, int colors) {
  auto* frame = new TGIFSubImage(&gif);
  gif.Add(frame);
  frame->SetBounds(left, top, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) frame->Scanline(y)[x] = PatternIndex(x, y, seed, colors);
  return *frame;
}

void AddColors(TGIFColorMap& map, int colors, int seed) {
  for (int i = 0; i < colors; ++i)
    map.Add({uint8_t(i * 37 + seed), uint8_t(255 - i * 11), uint8_t(i * i + seed * 5)});
}

// A screen of width x height with a global map of colors, whose frames are
// made by frames.
std::vector<uint8_t> CodecGif(int width, int height, int colors, const std::function<void(TGIFImage&)>& frames) {
  TGIFImage gif;
  AddColors(gif.GlobalColorMap(), colors, 0);
  frames(gif);
  gif.Header().SetWidth(width);
  gif.Header().SetHeight(height);
  return SavedBytes(gif);
}

// An animation of three frames: a loop and a comment in front of a full
// first frame, then a smaller transparent one that goes back to the
// background, then one of its own map. With all false, the first frame
// alone.
std::vector<uint8_t> Animation(bool all) {
  return CodecGif(30, 20, 16, [&](TGIFImage& gif) {
    TGIFSubImage& first = PatternFrame(gif, 0, 0, 30, 20, 1, 16);
    auto* loop = new TGIFAppExtNSLoop(&first);
    first.Extensions().Add(loop);
    auto* comment = new TGIFCommentExtension(&first);
    first.Extensions().Add(comment);
    comment->Text().Add("first of three");
    if (!all) return;
    TGIFSubImage& second = PatternFrame(gif, 4, 3, 12, 9, 2, 16);
    auto* control = new TGIFGraphicControlExtension(&second);
    second.Extensions().Add(control);
    control->SetTransparentColorIndex(3);
    control->SetTransparent(true);
    control->SetDisposal(dmBackground);
    TGIFSubImage& third = PatternFrame(gif, 10, 5, 20, 15, 3, 4);
    AddColors(third.ColorMap(), 4, 9);
  });
}

std::vector<uint8_t> WithoutTrailer(std::vector<uint8_t> data) {
  data.pop_back();
  return data;
}

std::vector<uint8_t> Joined(std::vector<uint8_t> data, const std::vector<uint8_t>& more) {
  data.insert(data.end(), more.begin(), more.end());
  return data;
}

// What the GIF reader renders for the first frame of the data, as the
// loader's bitmap; null when it refuses the data or renders no pixels.
std::unique_ptr<TBitmap> ReaderPicture(const std::vector<uint8_t>& data) {
  try {
    TGIFImage gif;
    gif.OnWarning = [](TObject*, TGIFSeverity, const std::string&) {};
    TReadOnlyMemoryStream stream(data.data(), data.size());
    gif.LoadFromStream(stream);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->Assign(&gif);
    if (bitmap->Width() > 0 && bitmap->Height() > 0) return bitmap;
  } catch (...) {
  }
  return nullptr;
}

// Same format, size, pixel bytes and colours.
void ExpectSamePicture(TBitmap& loaded, TBitmap& expected) {
  ASSERT_EQ(loaded.PixelFormat(), expected.PixelFormat());
  ASSERT_EQ(loaded.Width(), expected.Width());
  ASSERT_EQ(loaded.Height(), expected.Height());
  const size_t rowBytes = (size_t(loaded.Width()) * PixelFormatBits(loaded.PixelFormat()) + 7) / 8;
  for (int y = 0; y < loaded.Height(); ++y)
    ASSERT_EQ(std::memcmp(loaded.ScanLine(y), expected.ScanLine(y), rowBytes), 0) << "row " << y;
  EXPECT_TRUE(SameColors(loaded, expected));
}

}  // namespace

TEST(PictureLoading, EveryShapeOfGifLoadsAsTheReaderRendersItsFirstFrame) {
  const std::vector<uint8_t> animation = Animation(true), firstAlone = Animation(false);
  // The animation begins with its first frame as written alone.
  ASSERT_GT(animation.size(), firstAlone.size() + 100);
  ASSERT_TRUE(std::equal(firstAlone.begin(), firstAlone.end() - 1, animation.begin()));
  const std::vector<uint8_t> firstOpen = WithoutTrailer(firstAlone);
  const size_t firstEnd = firstOpen.size();
  // The first frame's descriptor, behind the screen, its map of 16 colours
  // and the two extensions.
  const size_t descriptor = size_t(std::find(firstOpen.begin() + 13 + 48, firstOpen.end(), 0x2C) - firstOpen.begin());
  ASSERT_EQ(descriptor, 13u + 48 + 19 + 18);
  ByteWriter tooLarge;
  tooLarge.U8(0x2C).U16(0).U16(0).U16(40000).U16(30000).U8(0).U8(2).U8(2).U8(0x4C).U8(0x01).U8(0).U8(0x3B);
  ByteWriter zeroSized = GifHeader(5, 4, 0, 0);
  ByteWriter extraBlocks = GifHeader(6, 2);
  extraBlocks.Data.resize(extraBlocks.Size() - 2);  // the chain's terminator and the trailer
  extraBlocks.U8(3).U8(1).U8(2).U8(3).U8(0).U8(0x3B);
  ByteWriter extensionsOnly;
  extensionsOnly.Bytes(firstAlone.data(), 13 + 3 * 16).U8(0x21).U8(0xFE).U8(2).Text("no").U8(0).U8(0x3B);

  struct Shape {
    const char* Name;
    std::vector<uint8_t> Data;
    // What the reader renders from these bytes is the picture; none: the
    // data itself.
    std::vector<uint8_t> Reference;
    bool Loads;
  };
  const Shape shapes[] = {
      {"one frame", CodecGif(9, 7, 16, [](TGIFImage& gif) { PatternFrame(gif, 0, 0, 9, 7, 0, 16); }), {}, true},
      {"a smaller frame of its own map, interlaced",
       CodecGif(12, 10, 2,
                [](TGIFImage& gif) {
                  TGIFSubImage& frame = PatternFrame(gif, 3, 2, 5, 6, 4, 4);
                  AddColors(frame.ColorMap(), 4, 2);
                  frame.SetInterlaced(true);
                }),
       {}, true},
      {"a transparent frame",
       CodecGif(8, 6, 4,
                [](TGIFImage& gif) {
                  TGIFSubImage& frame = PatternFrame(gif, 0, 0, 8, 6, 5, 4);
                  auto* control = new TGIFGraphicControlExtension(&frame);
                  frame.Extensions().Add(control);
                  control->SetTransparentColorIndex(1);
                  control->SetTransparent(true);
                }),
       {}, true},
      {"a frame larger than its screen", FrameOverScreen(4, 2, 30, 30), {}, true},
      {"a frame of no size, which takes the screen's", zeroSized.Data, {}, true},
      {"pixels followed by more data blocks", extraBlocks.Data, {}, true},
      {"an animation", animation, {}, true},
      {"the animation's first frame alone", firstAlone, {}, true},
      {"no trailer", firstOpen, {}, true},
      {"cut in the second frame", std::vector<uint8_t>(animation.begin(), animation.begin() + firstEnd + 30),
       firstAlone, true},
      {"cut in the last frame's pixels", std::vector<uint8_t>(animation.begin(), animation.end() - 20), firstAlone,
       true},
      {"a second frame past the cap", Joined(firstOpen, tooLarge.Data), firstAlone, true},
      {"junk after the first frame", Joined(firstOpen, {0x99, 0x98, 0x97, 0x3B}), firstAlone, true},
      {"four bytes before the signature", Joined({1, 2, 3, 4}, firstAlone), {}, true},
      {"cut in the first frame's pixels", std::vector<uint8_t>(firstOpen.begin(), firstOpen.end() - 40), {}, true},
      {"cut in the first frame's descriptor", std::vector<uint8_t>(firstOpen.begin(), firstOpen.begin() + descriptor + 6),
       {}, false},
      {"cut in the global map", std::vector<uint8_t>(firstOpen.begin(), firstOpen.begin() + 30), {}, false},
      {"extensions only", extensionsOnly.Data, {}, true},
  };
  TempDir dir;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.Name);
    WriteFile(dir.File("shape.gif"), shape.Data);
    std::unique_ptr<TBitmap> expected = ReaderPicture(shape.Reference.empty() ? shape.Data : shape.Reference);
    ASSERT_EQ(expected != nullptr, shape.Loads);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    ASSERT_EQ(TJobRecord::LoadPictureToBitmap(dir.File("shape.gif"), bitmap), shape.Loads);
    if (expected) ExpectSamePicture(bitmap, *expected);
  }
}

namespace {

// A 256-colour animation of count frames of width x height pixels of noise,
// which packs badly: each frame takes about its pixel count in the file.
std::vector<uint8_t> NoiseAnimation(int count, int width, int height) {
  return CodecGif(width, height, 256, [&](TGIFImage& gif) {
    uint32_t state = 12345;
    for (int i = 0; i < count; ++i) {
      TGIFSubImage& frame = PatternFrame(gif, 0, 0, width, height, i, 256);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          state = state * 1103515245 + 12345;
          frame.Scanline(y)[x] = uint8_t(state >> 24);
        }
    }
  });
}

}  // namespace

TEST(PictureLoading, AGifIsReadOnlyUpToTheEndOfItsFirstFrame) {
  // Thirty frames: the file is many times what its first frame takes, and
  // the load reads no more than that frame (twice: the look for its end,
  // then the read) and a buffer of each look ahead.
  const std::vector<uint8_t> animation = NoiseAnimation(30, 320, 240), firstAlone = NoiseAnimation(1, 320, 240);
  const int64_t bound = 2 * int64_t(firstAlone.size()) + (256 << 10);
  ASSERT_GT(int64_t(animation.size()), 5 * bound);
  TempDir dir;
  WriteFile(dir.File("long.gif"), animation);
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  const int64_t before = BytesRead();
  ASSERT_TRUE(TJobRecord::LoadPictureToBitmap(dir.File("long.gif"), bitmap));
  EXPECT_LT(BytesRead() - before, bound);
  std::unique_ptr<TBitmap> expected = ReaderPicture(firstAlone);
  ASSERT_TRUE(expected);
  ExpectSamePicture(bitmap, *expected);
}

namespace {

// Whether the reader of the kind, on its own (without the claim in front of
// it), reads a picture with pixels from the data.
bool ReaderReads(TPictureKind kind, const std::vector<uint8_t>& data) {
  try {
    TReadOnlyMemoryStream stream(data.data(), data.size());
    TBitmap bitmap;
    switch (kind) {
      case TPictureKind::Bmp: bitmap.LoadFromStream(stream); break;
      case TPictureKind::Jpeg: {
        TJPEGImage jpeg;
        jpeg.LoadFromStream(stream);
        jpeg.DecodeInto(bitmap);
        break;
      }
      case TPictureKind::Png: {
        TPNGObject png;
        png.LoadFromStream(stream);
        bitmap.Assign(&png);
        break;
      }
      case TPictureKind::Gif: {
        TGIFImage gif;
        gif.OnWarning = [](TObject*, TGIFSeverity, const std::string&) {};
        gif.LoadFromStream(stream);
        bitmap.Assign(&gif);
        break;
      }
      case TPictureKind::Icon: {
        TIcon icon;
        icon.LoadFromStream(stream);
        return !icon.Empty();
      }
      case TPictureKind::Metafile: {
        TMetafile metafile;
        metafile.LoadFromStream(stream);
        return metafile.Width() > 0 && metafile.Height() > 0;
      }
      case TPictureKind::None: return false;
    }
    return !bitmap.Empty();
  } catch (...) {
    return false;
  }
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& data, size_t size) {
  return std::vector<uint8_t>(data.begin(), data.begin() + long(std::min(size, data.size())));
}

std::vector<uint8_t> Patched(std::vector<uint8_t> data, size_t at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) data.at(at++) = b;
  return data;
}

// Where the JPEG marker first stands in the data.
size_t MarkerAt(const std::vector<uint8_t>& jpeg, uint8_t marker) {
  for (size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return i;
  return jpeg.size();
}

}  // namespace

TEST(PictureLoading, AFileItsClaimRefusesIsOneItsReaderRefuses) {
  // Every way of each kind to be unreadable: the claim refuses it, the
  // loader refuses it without making anything, and the kind's reader on
  // its own (but where the picture passes the working bitmap's cap, which
  // only the claim knows) cannot read it either.
  const std::vector<uint8_t> bmp = CraftedBmp(7, 5, 24), jpeg = CraftedJpeg(16, 16, TJpegCraft::Baseline);
  const std::vector<uint8_t> gif = CraftedGif(6, 4, 6, 4), dib = CraftedIconDib(16, 16, 8);
  const std::vector<uint8_t> progressiveCmyk = CraftedJpeg(16, 16, TJpegCraft::ProgressiveCmyk);
  const size_t frame = MarkerAt(jpeg, 0xC0), cmykFrame = MarkerAt(progressiveCmyk, 0xC2);
  std::vector<uint8_t> tables = Cut(jpeg, MarkerAt(jpeg, 0xDA));
  tables.insert(tables.end(), {0xFF, 0xD9});
  ByteWriter bmpCap;  // a 20000 x 20000 RLE4 picture in a few bytes
  bmpCap.Text("BM").U32(0).U32(0).U32(62).U32(40).I32(20000).I32(20000).U16(1).U16(4).U32(2);
  bmpCap.Zeros(20).U32(0).U32(0xFFFFFF).U8(0).U8(1);
  struct Row {
    const char* Name;
    std::vector<uint8_t> Data;
    bool PastCap = false;
  };
  const Row rows[] = {
      {"junk.bmp", {'B', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0}},
      {"cut header.bmp", Cut(bmp, 20)},
      {"header size.bmp", Patched(bmp, 14, {41})},
      {"no width.bmp", Patched(bmp, 18, {0})},
      {"seven bits.bmp", Patched(bmp, 28, {7})},
      {"run-length 24 bits.bmp", Patched(bmp, 30, {1})},
      {"cut pixels.bmp", Cut(bmp, bmp.size() - 24)},
      {"past cap.bmp", bmpCap.Data, true},
      {"junk.jpg", {'n', 'o'}},
      {"no start.jpg", Patched(jpeg, 1, {0xD9})},
      {"cut before the scan.jpg", Cut(jpeg, frame + 8)},
      {"tables only.jpg", tables},
      {"no width.jpg", Patched(jpeg, frame + 7, {0, 0})},
      {"past cap.jpg", ReadFile(TestDataFolder() + "regressions/fuzz_jpeg/huge-frame-few-bytes.jpg"), true},
      // 12000 x 12000 pixels fit the cap; their progressive CMYK coefficients do not.
      {"coefficients past cap.jpg", Patched(progressiveCmyk, cmykFrame + 5, {0x2E, 0xE0, 0x2E, 0xE0})},
      {"junk.gif", {'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}},
      {"cut header.gif", Cut(gif, 10)},
      {"cut map.gif", Cut(gif, 16)},
      {"no frame.gif", Joined(Cut(gif, 19), {0x3B})},
      {"unknown extension.gif", Joined(Cut(gif, 19), {0x21, 0x77, 0, 0x3B})},
      {"short application.gif", Joined(Cut(gif, 19), {0x21, 0xFF, 5, 1, 2, 3, 4, 5, 0, 0x3B})},
      {"no height.gif", Patched(gif, 8, {0, 0})},
      {"past cap screen.gif", CraftedGif(20000, 20000, 1, 1), true},
      {"past cap frame.gif", CraftedGif(20, 20, 20000, 20000), true},
      {"junk.ico", {'n', 'o', 't', 'i', 'c', 'o'}},
      {"cursor type.ico", Patched(CraftedIcon({{dib}}), 2, {3})},
      {"no entries.ico", Patched(CraftedIcon({{dib}}), 4, {0})},
      {"entry outside.ico", Patched(CraftedIcon({{dib}}), 18, {0xFF, 0xFF})},
      {"empty entry.ico", Patched(CraftedIcon({{dib}}), 14, {0, 0, 0, 0})},
      {"run-length entry.ico", Patched(CraftedIcon({{dib}}), 22 + 16, {1})},
      {"entry header size.ico", Patched(CraftedIcon({{dib}}), 22, {41})},
      {"entry of seven bits.ico", Patched(CraftedIcon({{dib}}), 22 + 14, {7})},
      {"entry not a PNG.ico", CraftedIcon({{Patched(CraftedPng(8, 8), 12, {'J', 'U', 'N', 'K'})}})},
      // 17000 x 17000 fit the working bitmap, not the icon's 4 bytes a pixel.
      {"entry past the icon's cap.ico", Patched(CraftedIcon({{dib}}), 22 + 4, {0x68, 0x42, 0, 0, 0xD0, 0x84, 0, 0})},
      {"junk.png", {'n', 'o', 't', 'p', 'n', 'g'}},
      {"cut.png", Cut(CraftedPng(8, 8), 8)},
      {"junk.emf", {'n', 'o'}},
      {"not placeable.wmf", {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0}},
      {"flat.emf", MakeEmfFile(7938, 0, clBlue, 0, 0, 10, 10)},
      {"past cap.emf", MakeEmfFile(1058334, 1058334, clBlue, 0, 0, 10, 10), true},
      // 20000 x 20000 pixels: past the working bitmap's cap, within the reader's 32767 a side.
      {"past cap within the reader's limit.emf", MakeEmfFile(529167, 529167, clBlue, 0, 0, 10, 10), true},
  };
  RegisterPictureFormats();
  TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    WriteFile(dir.File(row.Name), row.Data);
    const TPictureKind kind = PictureKindOf(ExtractFileExt(row.Name));
    EXPECT_FALSE(ClaimPictureFile(dir.File(row.Name)).Readable);
    TBitmap bitmap;
    EXPECT_FALSE(TJobRecord::LoadPictureToBitmap(dir.File(row.Name), bitmap));
    EXPECT_EQ(bitmap.Width() * bitmap.Height(), 0);
    if (!row.PastCap) {
      EXPECT_FALSE(ReaderReads(kind, row.Data));
    }
  }
  // The same files unbroken are read by all three.
  for (const auto& [name, data] : std::vector<std::pair<const char*, std::vector<uint8_t>>>{
           {"whole.bmp", bmp}, {"whole.jpg", jpeg}, {"whole.gif", gif}, {"whole.ico", CraftedIcon({{dib}})},
           {"whole.png", CraftedPng(8, 8)}, {"progressive.jpg", progressiveCmyk}}) {
    SCOPED_TRACE(name);
    WriteFile(dir.File(name), data);
    EXPECT_TRUE(ClaimPictureFile(dir.File(name)).Readable);
    TBitmap bitmap;
    EXPECT_TRUE(TJobRecord::LoadPictureToBitmap(dir.File(name), bitmap));
    EXPECT_TRUE(ReaderReads(PictureKindOf(ExtractFileExt(name)), data));
  }
}

TEST(PictureLoading, WhatTheFuzzersFoundKeepsItsClaim) {
  // Each kind's findings, through the check its fuzz target makes.
  RegisterPictureFormats();
  const std::pair<const char*, std::string (*)(const uint8_t*, size_t)> checks[] = {
      {"fuzz_jpeg", claimcheck::Jpeg}, {"fuzz_bmp", claimcheck::Bmp}, {"fuzz_ico", claimcheck::Icon},
      {"fuzz_gif", claimcheck::Gif}};
  for (const auto& [kind, check] : checks)
    for (const std::string& path : RegressionInputs(kind)) {
      const std::vector<uint8_t> data = ReadFile(path);
      EXPECT_EQ(check(data.data(), data.size()), "") << path;
    }
}

TEST(PictureLoading, AClaimedFileLoadsFromItsOpenFileOnlyWhileItIsTheFileClaimed) {
  // Claimed, then loaded from the file opened for the claim: the picture
  // the path's loader reads. Cut, grown or replaced under its name in
  // between, it is refused, never loaded unclaimed; a new mode or a new
  // link changes no byte, and it loads.
  RegisterPictureFormats();
  TempDir folder;
  const std::pair<const char*, std::vector<uint8_t>> files[] = {
      {"a.bmp", CraftedBmp(30, 20, 8)}, {"a.png", CraftedPng(30, 20)}, {"a.gif", CraftedGif(30, 20, 10, 10)},
      {"a.emf", MakeEmfFile(2540, 1270, clBlue, 10, 10, 20, 20)}};
  for (const auto& [name, data] : files)
    for (const std::string change : {"", "cut", "grown", "replaced", "mode", "link"}) {
      const std::string path = folder.File(name);
      WriteFile(path, data);
      TClaimedFile claimed = ClaimFile(path);
      WaitPastChangeTime(path);
      const bool same = change.empty() || (change == "mode" && chmod(path.c_str(), 0600) == 0) ||
                        (change == "link" && link(path.c_str(), (path + "~link").c_str()) == 0);
      if (change == "cut" || change == "grown") {
        EXPECT_EQ(truncate(path.c_str(), off_t(change == "cut" ? data.size() / 2 : data.size() + 1)), 0);
      }
      if (change == "replaced") {
        WriteFile(path + "~", data);
        EXPECT_EQ(std::rename((path + "~").c_str(), path.c_str()), 0);
      }
      TBitmap loaded, expected;
      EXPECT_EQ(TJobRecord::LoadClaimedPicture(claimed, loaded), same) << name << " " << change;
      if (!same) continue;
      EXPECT_TRUE(TJobRecord::LoadPictureToBitmap(path, expected) && SameColors(loaded, expected)) << name;
      EXPECT_FALSE(claimed.File) << name << ": the load lets the open file go";
    }
}
