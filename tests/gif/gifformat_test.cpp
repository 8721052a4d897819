// Reading and writing GIF files block by block: signatures, versions and
// packed bytes, extensions, tolerated oddities and malformed files.
#include <gtest/gtest.h>

#include "tests/gif/gifsupport.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }
std::string Version(const std::vector<uint8_t>& file) { return std::string(file.begin() + 3, file.begin() + 6); }

// A 2 x 1 frame with pixels 1, 0 (code size 2).
void SmallFrame(ByteWriter& w, int left = 0) {
  ImageDescriptor(w, left, 0, 2, 1);
  w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {0, 3}, {5, 3}})));
}

TEST(GifFile, AcceptsSignatureVariantsAndRefusesOthers) {
  TGIFImage image;
  const std::vector<uint8_t> screen = GifStart(2, 1, 1).Data;
  for (std::string start : {"gif89a", "GIF87a", "GIF00z", "\x01\x02\x03\x04GIF89a"}) {
    ByteWriter w;
    w.Text(start).Bytes(std::vector<uint8_t>(screen.begin() + 6, screen.end()));
    SmallFrame(w);
    w.U8(0x3B);
    EXPECT_EQ(LoadError(image, w.Data), "") << start;
    EXPECT_EQ(FramePixels(FrameOf(image)), std::vector<uint8_t>({1, 0}));
  }
  EXPECT_EQ(LoadError(image, Bytes("PNG89a\x01\x01\x01\x01\x01\x01\x01")), sBadSignature);
  EXPECT_EQ(LoadError(image, Bytes("GIF89")), sOutOfData);
  EXPECT_EQ(LoadError(image, Bytes("GIF89a\x01\x00\x01")), sOutOfData);
}

TEST(GifFile, ToleratesPaddingMissingTrailerAndStrayBytes) {
  TGIFImage image;
  // Zero bytes between blocks, no trailer: no warning.
  ByteWriter w = GifStart(4, 1, 1);
  w.U8(0).U8(0);
  SmallFrame(w);
  w.U8(0);
  SmallFrame(w, 2);
  EXPECT_TRUE(LoadGif(image, w.Data).empty());
  EXPECT_EQ(image.Frames().Count(), 2);

  // An unknown block ends the block loop; the next byte is not a trailer.
  w = GifStart(4, 1, 1);
  SmallFrame(w);
  w.U8(0x99).U8(0x77);
  SmallFrame(w);
  EXPECT_EQ(LoadGif(image, w.Data), std::vector<std::string>({sBadBlock, sBadTrailer}));
  EXPECT_EQ(image.Frames().Count(), 1);

  // An extension followed by something other than an extension or an image
  // ends the frame's extension list; the frame holds only the extension.
  w = GifStart(4, 1, 1);
  w.U8(0x21).U8(0xF9).U8(4).U8(0).U16(7).U8(0).U8(0).U8(0).U8(0x3B);
  EXPECT_EQ(LoadGif(image, w.Data), std::vector<std::string>({sBadExtensionLabel}));
  ASSERT_EQ(image.Frames().Count(), 1);
  EXPECT_TRUE(FrameOf(image).Empty());
  EXPECT_EQ(FrameOf(image).GraphicControlExtension()->Delay(), 7);

  // A frame of width 0 takes the logical screen's size.
  w = GifStart(3, 2, 1);
  ImageDescriptor(w, 0, 0, 0, 5);
  w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {0, 3}, {1, 3}, {0, 4}, {1, 4}, {0, 4}, {5, 4}}))).U8(0x3B);
  EXPECT_EQ(LoadGif(image, w.Data), std::vector<std::string>({sScreenSizeExceeded}));
  EXPECT_EQ(FrameOf(image).BoundsRect(), Rect(0, 0, 3, 2));
  EXPECT_EQ(FramePixels(FrameOf(image)), std::vector<uint8_t>({1, 0, 1, 0, 1, 0}));

  // A short graphic control block warns only.
  w = GifStart(3, 2, 1);
  EXPECT_EQ(LoadGif(image, w.U8(0x21).U8(0xF9).U8(4).U8(1).Data), std::vector<std::string>({sOutOfData}));
}

TEST(GifFile, MalformedFilesRaiseTheFixedMessages) {
  struct Case {
    const char* Name;
    std::vector<uint8_t> Tail;  // after a screen of 2 x 1 with a 2-colour map
    const char* Message;
  };
  auto app = [](uint8_t size, const std::string& id, const std::vector<uint8_t>& data) {
    ByteWriter w;
    w.U8(0x21).U8(0xFF).U8(size).Text(id).Bytes(data);
    return w.Data;
  };
  const std::vector<Case> cases = {
      {"unknown label", {0x21, 0x55, 0}, sUnknownExtension},
      {"application size byte missing", {0x21, 0xFF}, sUnknownExtension},
      {"application block of 11 cut short", app(11, "NETSC", {}), sOutOfData},
      {"application block of 5", app(5, "NETSCAPE2.0", {0}), sBadBlockSize},
      {"loop count sub-block too short", app(11, "NETSCAPE2.0", {2, 1, 0, 0}), sInvalidData},
      {"loop count cut short", app(11, "NETSCAPE2.0", {3, 1, 5}), sOutOfData},
      {"unknown application data cut short", app(11, "ABCDEFGH123", {9, 1, 2}), sOutOfData},
      {"plain text cut short", {0x21, 0x01, 12, 0, 0, 0}, sOutOfData},
      {"image descriptor cut short", {0x2C, 0, 0, 2, 0}, sOutOfData},
      {"local colour table cut short", {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x81, 1, 2, 3}, sOutOfData},
      {"frame above 1 GiB", {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0}, sOutOfMemDIB},
  };
  for (const Case& c : cases) {
    ByteWriter w = GifStart(2, 1, 1);
    w.Bytes(c.Tail);
    TGIFImage image;
    EXPECT_EQ(LoadError(image, w.Data), c.Message) << c.Name;
  }
  // A global colour table cut short.
  TGIFImage image;
  std::vector<uint8_t> start = GifStart(2, 1, 8).Data;
  start.resize(100);
  EXPECT_EQ(LoadError(image, start), sOutOfData);
}

TEST(GifFile, FailedLoadKeepsEarlierFramesAndRewindsTheStream) {
  ByteWriter w = GifStart(4, 1, 1);
  SmallFrame(w);
  w.U8(0x21).U8(0x55);
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.WriteBuffer(w.Data.data(), static_cast<int64_t>(w.Data.size()));
  stream.SetPosition(3);
  TGIFImage image;
  EXPECT_THROW(image.LoadFromStream(stream), GIFException);
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_EQ(image.Frames().Count(), 1);

  // Frames whose pixels together pass 1 GiB: the second one is refused.
  w = GifStart(40000, 15000, 1);
  ImageDescriptor(w, 0, 0, 40000, 15000);
  w.U8(2).U8(0);
  ImageDescriptor(w, 0, 0, 40000, 15000);
  w.U8(2).U8(0);
  EXPECT_EQ(LoadError(image, w.Data), sOutOfMemDIB);
  EXPECT_EQ(image.Frames().Count(), 1);
  image.Clear();
  // The budget is free again once the frames are gone.
  EXPECT_EQ(LoadError(image, std::vector<uint8_t>(w.Data.begin(), w.Data.end() - 12)), "");
}

TEST(GifFile, TruncatedFilesLoadOrFailWithAGifError) {
  std::vector<RefFrame> frames = {{20, 10, RandomPixels(200, 4, 1)}, {9, 9, RandomPixels(81, 256, 2)}};
  frames[0].Comment = "first";
  frames[0].Loops = 3;
  frames[1].Interlaced = true;
  frames[1].LocalBits = 8;
  std::vector<uint8_t> file = GiflibWrite(20, 10, 2, frames);
  for (size_t size = 0; size < file.size(); ++size) {
    TGIFImage image;
    std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<ptrdiff_t>(size));
    std::string error = LoadError(image, part);
    EXPECT_TRUE(error.empty() || error == sOutOfData || error == sUnknownExtension) << size << ": " << error;
  }
}

TEST(GifFile, WritesVersionPackedByteAndPaddedColourMaps) {
  // Three colours padded with black to four, unsorted, "87a" without
  // extensions; no map at all gives the default packed byte.
  std::vector<uint8_t> file = SavedBytes(*MakeImage(3, 1, 1, {0}));
  EXPECT_EQ(Version(file), "87a");
  EXPECT_EQ(file[10], 0x91);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 13, file.begin() + 26),
            std::vector<uint8_t>({0, 0, 0, 127, 127, 127, 255, 255, 255, 0, 0, 0, 0x2C}));
  EXPECT_EQ(SavedBytes(*MakeImage(0, 1, 1, {0}))[10], 0x77);
  // A local table larger than the global one: the global table is padded to
  // the size the screen descriptor gives.
  auto image = MakeImage(2, 2, 1, {1, 0});
  TGIFSubImage& frame = AddFrame(*image, 0, 0, 2, 1);
  for (int i = 0; i < 16; ++i) frame.ColorMap().Add({uint8_t(i), 0, 0});
  file = SavedBytes(*image);
  EXPECT_EQ(file[10], 0x80 | 0x30 | 3);
  EXPECT_EQ(GiflibRead(file).Frames.size(), 2u);
  TGIFImage back;
  EXPECT_TRUE(LoadGif(back, file).empty());
  EXPECT_EQ(back.GlobalColorMap().Count(), 16);
  // An image without frames has no version and writes nothing.
  TGIFImage empty;
  TMemoryStream stream;
  EXPECT_EQ(RaisedMessage<GIFException>([&] { empty.SaveToStream(stream); }), sBadVersion);
  EXPECT_EQ(stream.Size(), 0);
}

TEST(GifFile, FramesWithLocalMapsAreWrittenInPlainRowOrder) {
  std::vector<uint8_t> pixels = RandomPixels(7 * 5, 4, 3);
  auto image = MakeImage(4, 7, 5, pixels, true, true);
  std::vector<uint8_t> file = SavedBytes(*image);
  EXPECT_EQ(file[13 + 9], 0x81);
  EXPECT_EQ(GiflibRead(file).Frames.at(0), pixels);
}

TEST(GifFile, GiflibCommentsAndLoopsLoadAndWriteBackUnchanged) {
  std::vector<RefFrame> frames = {{3, 2, {0, 1, 2, 3, 2, 1}}, {2, 2, {3, 3, 0, 0}}, {1, 1, {2}}};
  frames[0].Comment = "Made by giflib";
  frames[0].Loops = 0;
  frames[1].Comment = std::string(300, 'x');  // several sub-blocks
  frames[2].Loops = 7;
  std::vector<uint8_t> file = GiflibWrite(3, 2, 2, frames);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, file).empty());
  ASSERT_EQ(image.Frames().Count(), 3);
  EXPECT_EQ(FrameOf(image).Extensions().Count(), 2);
  std::vector<uint8_t> again = SavedBytes(image);
  RefImage ref = GiflibRead(again);
  ASSERT_EQ(ref.Frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(ref.Frames[i], frames[i].Pixels);
  TGIFImage back;
  EXPECT_TRUE(LoadGif(back, again).empty());
  EXPECT_EQ(SavedBytes(back), again);
}

TEST(GifFile, WritesTheGraphicControlExtensionExactly) {
  TGIFImage image;
  TGIFSubImage frame(&image);
  TGIFGraphicControlExtension gce(&frame);
  gce.SetDelay(0x0102);
  gce.SetDisposal(dmBackground);
  gce.SetUserInput(true);
  gce.SetTransparent(true);
  gce.SetTransparentColorIndex(9);
  TMemoryStream stream;
  gce.SaveToStream(stream);
  EXPECT_EQ(std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size()),
            std::vector<uint8_t>({0x21, 0xF9, 4, 0x0B, 2, 1, 9, 0}));
}

TEST(GifFile, ApplicationExtensionsOfAnySizeOrIdentifierLoad) {
  struct Case {
    std::string Id;
    uint8_t Size;
    std::vector<uint8_t> Data;
  };
  const Case cases[] = {{"ANIMEXTS1.0", 11, {3, 1, 9, 0, 0}},
                        {"NETSCAPE2.0", 11, {6, 1, 4, 0, 9, 9, 9, 2, 3, 7, 0}},
                        {"XMP DataXMP", 11, {3, 'a', 'b', 'c', 1, 'd', 0}},
                        {"NETSCAPE2.0!", 12, {2, 'x', 'y', 0}},
                        {"ABCDEFGH12", 10, {1, 'x', 0}}};
  for (const Case& c : cases) {
    ByteWriter w = GifStart(2, 1, 1);
    w.U8(0x21).U8(0xFF).U8(c.Size).Text(c.Id).Bytes(c.Data);
    SmallFrame(w);
    TGIFImage image;
    EXPECT_TRUE(LoadGif(image, w.U8(0x3B).Data).empty()) << c.Id;
    EXPECT_EQ(FramePixels(FrameOf(image)), std::vector<uint8_t>({1, 0})) << c.Id;
  }
}

TEST(GifFile, ReplaysFuzzFindings) {
  // As the fuzzer does: load, write back, and copy into a bitmap.
  ReplayRegressionInputs("fuzz_gif", [](const std::vector<uint8_t>& data) {
    TGIFImage image;
    TReadOnlyMemoryStream stream(data.data(), data.size());
    image.LoadFromStream(stream);
    try {
      TMemoryStream out;
      image.SaveToStream(out);
    } catch (const GIFException&) {
    }
    TBitmap bitmap;
    bitmap.Assign(&image);
  });
}

}  // namespace
