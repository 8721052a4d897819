// Reading and writing GIF files block by block: signatures, versions and
// packed bytes, extensions, tolerated oddities and malformed files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/gif/gifsupport.h"
#include "tests/support/craftedfiles.h"

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

// An extension block of the label with the body, as a file of one 2 x 1
// frame behind it.
std::vector<uint8_t> WithExtensions(const std::vector<std::vector<uint8_t>>& blocks) {
  ByteWriter w = GifStart(2, 1, 1);
  for (const std::vector<uint8_t>& block : blocks) w.Bytes(block);
  SmallFrame(w);
  return w.U8(0x3B).Data;
}

std::vector<uint8_t> AppBlock(uint8_t size, const std::string& id, const std::vector<uint8_t>& data) {
  ByteWriter w;
  w.U8(0x21).U8(0xFF).U8(size).Text(id).Bytes(data);
  return w.Data;
}

std::vector<std::string> ExtensionClasses(TGIFSubImage& frame) {
  std::vector<std::string> names;
  for (int i = 0; i < frame.Extensions().Count(); ++i) names.push_back(frame.Extensions().Extensions(i)->ClassName());
  return names;
}

TEST(GifExtensions, EveryLabelAndIdentifierLoadsItsOwnClass) {
  const std::vector<uint8_t> text = {0x21, 0x01, 12, 1, 0, 2, 0, 3, 0, 4, 0, 5, 6, 7, 8, 2, 'h', 'i', 0};
  const std::vector<uint8_t> control = {0x21, 0xF9, 4, 0, 0, 0, 0, 0};
  const std::vector<uint8_t> comment = {0x21, 0xFE, 1, 'c', 0};
  TGIFImage image;
  ASSERT_TRUE(LoadGif(image, WithExtensions({text, control, comment, AppBlock(11, "NETSCAPE2.0", {3, 1, 2, 0, 0}),
                                             AppBlock(11, "ANIMEXTS1.0", {3, 1, 4, 0, 0}),
                                             AppBlock(11, "XMP DataXMP", {1, 'x', 0}),
                                             AppBlock(12, "NETSCAPE2.0!", {0})}))
                  .empty());
  TGIFSubImage& frame = FrameOf(image);
  EXPECT_EQ(ExtensionClasses(frame),
            std::vector<std::string>({"TGIFTextExtension", "TGIFGraphicControlExtension", "TGIFCommentExtension",
                                      "TGIFAppExtNSLoop", "TGIFAppExtNSLoop", "TGIFUnknownAppExtension",
                                      "TGIFApplicationExtension"}));
  EXPECT_EQ(static_cast<TGIFAppExtNSLoop*>(frame.Extensions().Extensions(4))->Loops(), 4);
  // Written back, each keeps its identifier; a loop extension without a
  // buffer size takes 19 bytes from 0x21 to its terminator, with one 25.
  std::vector<uint8_t> saved = SavedBytes(image);
  std::string bytes(saved.begin(), saved.end());
  EXPECT_NE(bytes.find(std::string("ANIMEXTS1.0\x03\x01\x04\x00\x00", 16)), std::string::npos);
  auto* loop = static_cast<TGIFAppExtNSLoop*>(frame.Extensions().Extensions(3));
  for (uint32_t buffer : {0u, 0x01020304u}) {
    loop->SetBufferSize(buffer);
    TMemoryStream stream;
    loop->SaveToStream(stream);
    EXPECT_EQ(stream.Size(), buffer ? 25 : 19);
  }

  // The plain text block's fields by index and by name.
  auto& plain = *static_cast<TGIFTextExtension*>(frame.Extensions().Extensions(0));
  EXPECT_EQ(std::vector<int>({plain.Bounds(1), plain.Bounds(2), plain.Bounds(3), plain.Bounds(4)}),
            std::vector<int>({1, 2, 3, 4}));
  EXPECT_EQ(std::vector<int>({plain.Left(), plain.Top(), plain.Width(), plain.Height()}), std::vector<int>({1, 2, 3, 4}));
  EXPECT_EQ(std::vector<int>({plain.CharacterBounds(1), plain.CharacterBounds(2), plain.CharWidth(), plain.CharHeight()}),
            std::vector<int>({5, 6, 5, 6}));
  EXPECT_EQ(std::vector<int>({plain.ColorIndex(1), plain.ColorIndex(2), plain.ForegroundColorIndex(),
                              plain.BackgroundColorIndex()}),
            std::vector<int>({7, 8, 7, 8}));
  EXPECT_EQ(Strings(plain.Text()), std::vector<std::string>({"hi"}));
  for (int i = 1; i <= 4; ++i) plain.SetBounds(i, uint16_t(0x0100 * i + 9));
  plain.SetCharacterBounds(1, 20);
  plain.SetCharacterBounds(2, 21);
  plain.SetColorIndex(1, 22);
  plain.SetColorIndex(2, 23);
  TMemoryStream stream;
  plain.SaveToStream(stream);
  EXPECT_EQ(std::vector<uint8_t>(stream.Memory(), stream.Memory() + 15),
            std::vector<uint8_t>({0x21, 0x01, 12, 9, 1, 9, 2, 9, 3, 9, 4, 20, 21, 22, 23}));
  for (int index : {0, 5}) EXPECT_THROW(plain.Bounds(index), EListError) << index;
  // New blocks carry their standard sizes.
  TGIFTextExtension fresh(nullptr);
  TMemoryStream freshStream;
  fresh.SaveToStream(freshStream);
  EXPECT_EQ(freshStream.Memory()[2], 12);
  for (int index : {0, 3}) {
    EXPECT_THROW(plain.SetCharacterBounds(index, 1), EListError) << index;
    EXPECT_THROW(plain.ColorIndex(index), EListError) << index;
  }
}

// A comment extension that shows which class read it.
class TNotedComment : public TGIFCommentExtension {
 public:
  using TGIFCommentExtension::TGIFCommentExtension;
  const char* ClassName() const override { return "TNotedComment"; }
};
class TNotedApplication : public TGIFUnknownAppExtension {
 public:
  using TGIFUnknownAppExtension::TGIFUnknownAppExtension;
  const char* ClassName() const override { return "TNotedApplication"; }
};

TEST(GifExtensions, LaterRegistrationsWin) {
  const std::vector<uint8_t> file =
      WithExtensions({{0x21, 0xFE, 1, 'c', 0}, AppBlock(11, "BRIGHTMILL1", {1, 'x', 0})});
  TGIFApplicationRec identifier;
  std::memcpy(&identifier, "BRIGHTMILL1", 11);
  TGIFApplicationExtension::RegisterExtension(identifier, ExtensionClass<TNotedApplication>());
  TGIFExtension::RegisterExtension(0xFE, ExtensionClass<TNotedComment>());
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, file).empty());
  EXPECT_EQ(ExtensionClasses(FrameOf(image)), std::vector<std::string>({"TNotedComment", "TNotedApplication"}));
  // A class whose own label is another one refuses the block.
  TGIFExtension::RegisterExtension(0xFE, ExtensionClass<TGIFGraphicControlExtension>());
  EXPECT_EQ(LoadError(image, file), "Internal error: Extension Instance does not match Extension Label");
  TGIFExtension::RegisterExtension(0xFE, ExtensionClass<TGIFCommentExtension>());
  EXPECT_EQ(LoadError(image, file), "");
  EXPECT_EQ(ExtensionClasses(FrameOf(image)), std::vector<std::string>({"TGIFCommentExtension", "TNotedApplication"}));

  // Identifiers are set as 8 and 3 characters padded with blanks.
  TGIFApplicationExtension application(nullptr);
  application.SetIdentifier("AB");
  application.SetAuthentication("1234");
  EXPECT_EQ(application.Identifier(), "AB      ");
  EXPECT_EQ(application.Authentication(), "123");
}

TEST(GifFile, BackgroundColourAndAspectRatioGoToTheScreenDescriptor) {
  auto image = MakeImage(2, 2, 1, {1, 0});
  WarningLog log(*image);
  image->SetBackgroundColor(RGB(1, 2, 3));
  EXPECT_EQ(image->BackgroundColorIndex(), 2);
  EXPECT_EQ(image->GlobalColorMap().Count(), 3);
  image->SetBackgroundColor(RGB(255, 255, 255));
  EXPECT_EQ(image->BackgroundColorIndex(), 1);
  image->SetAspectRatio(49);
  std::vector<uint8_t> file = SavedBytes(*image);
  EXPECT_EQ(Version(file), "87a");  // the aspect ratio does not choose the version
  EXPECT_EQ(file[11], 1);
  EXPECT_EQ(file[12], 49);
  TGIFImage back;
  EXPECT_TRUE(LoadGif(back, file).empty());
  EXPECT_EQ(back.AspectRatio(), 49);
  EXPECT_EQ(back.BackgroundColor(), clWhite);
  // An index beyond the colours warns and keeps 0.
  image->SetBackgroundColorIndex(3);
  EXPECT_EQ(image->BackgroundColorIndex(), 0);
  EXPECT_EQ(log.Messages, std::vector<std::string>({"Invalid color index"}));
  EXPECT_EQ(image->BackgroundColor(), clBlack);
}

TEST(GifFile, CraftedFilesCostTheirBytesAndPixelsOnly) {
  // Each hopeless if freeing a frame's extensions took the square of their
  // number, or each of 300,000 extensions passed over looked for itself in
  // the list; if a frame were read out of another's image data (which goes
  // on past its pixel without an end code); or if each of nine million clear
  // codes rewrote the whole decoder table. The work is counted, not timed.
  ByteWriter pile = GifStart(1, 1, 1), clears = GifStart(3000, 3000, 1);
  for (int i = 0; i < 300000; ++i) pile.U8(0x21).U8(0xFE).U8(0);
  ImageDescriptor(pile, 0, 0, 1, 1);
  pile.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {5, 3}})));
  ImageDescriptor(clears, 0, 0, 3000, 3000);
  // Code size 1: each byte holds the codes clear, 1, clear, 1.
  clears.U8(1).Bytes(SubBlocks(std::vector<uint8_t>(3000 * 3000 / 2, 0x66)));
  for (const std::vector<uint8_t>& data : {pile.Data, CraftedGifHiddenFrame(65535, 16383), clears.Data}) {
    GIFWork = {};
    TGIFImage image;
    LoadGif(image, data);
    ASSERT_EQ(image.Frames().Count(), 1);
    const TGIFSubImage& frame = FrameOf(image);
    EXPECT_EQ(std::count(frame.Data(), frame.Data() + frame.DataSize(), 1), int64_t(frame.Width()) * frame.Height());
    image.Clear();
    EXPECT_LE(GIFWork.ListItems + GIFWork.TableEntries, int64_t(data.size()));
  }
}

TEST(GifFile, ReplaysFuzzFindings) {
  // As the fuzzer does: load, optimize by the size of the input, write
  // back, and copy into a bitmap.
  ReplayRegressionInputs("fuzz_gif", [](const std::vector<uint8_t>& data) {
    TGIFImage image;
    TReadOnlyMemoryStream stream(data.data(), data.size());
    image.LoadFromStream(stream);
    image.Compression = data.size() % 2 ? gcRLE : gcLZW;
    try {
      if (data.size() % 3 == 1) image.OptimizeColorMap();
      if (data.size() % 3 == 2)
        image.Optimize(OptimizeOption(ooCrop) | OptimizeOption(ooMerge) | OptimizeOption(ooCleanup) |
                           OptimizeOption(ooColorMap),
                       rmNone, dmNearest, 8);
    } catch (const Exception&) {
    }
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
