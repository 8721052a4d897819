// Reading and writing GIF files block by block: signatures, versions and
// packed bytes, extensions, tolerated oddities and malformed files.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/gif/gifsupport.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }
std::string Version(const std::vector<uint8_t>& file) { return std::string(file.begin() + 3, file.begin() + 6); }

// A 2 x 1 frame with pixels 1, 0 (code size 2).
void SmallFrame(ByteWriter& w, int left = 0) {
  ImageDescriptor(w, left, 0, 2, 1);
  w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {0, 3}, {5, 3}})));
}

// Extension i of a frame.
TGIFExtension* ExtensionAt(TGIFImage& image, int i, int frame = 0) {
  return FrameOf(image, frame).Extensions().Extensions(i);
}

// The bytes an extension writes.
std::vector<uint8_t> Written(TGIFExtension& extension) {
  TMemoryStream stream;
  extension.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
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
  std::vector<std::pair<TProgressStage, int>> progress;
  image.OnProgress = [&progress](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                 const std::string& message) {
    EXPECT_EQ(message, sProgressLoading);
    progress.push_back({stage, percent});
  };
  EXPECT_THROW(image.LoadFromStream(stream), GIFException);
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_EQ(image.Frames().Count(), 1);
  EXPECT_EQ(progress.front(), std::make_pair(psStarting, 0));
  EXPECT_EQ(progress.back(), std::make_pair(psEnding, 0));

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
  // The map padded with black to a power of two (two entries at least),
  // the sort flag from Optimized; "87a" without extensions.
  struct Case {
    int Colors;
    bool Optimized;
    uint8_t Packed;
  };
  for (const Case& c : {Case{256, true, 0xFF}, Case{12, true, 0xBB}, Case{3, false, 0x91}, Case{1, false, 0x80},
                        Case{0, false, 0x77}}) {
    auto image = MakeImage(c.Colors, 1, 1, {0});
    image->GlobalColorMap().SetOptimized(c.Optimized);
    std::vector<uint8_t> file = SavedBytes(*image);
    EXPECT_EQ(Version(file), "87a") << c.Colors;
    EXPECT_EQ(file[10], c.Packed) << c.Colors;
    std::vector<uint8_t> map(c.Colors ? 6u << (c.Packed & 7) : 0, 0);
    for (int i = 0; i < c.Colors; ++i)
      std::fill_n(&map[3 * size_t(i)], 3, uint8_t(i * 255 / std::max(1, c.Colors - 1)));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 13, file.begin() + 13 + long(map.size())), map) << c.Colors;
    EXPECT_EQ(file[13 + map.size()], 0x2C) << c.Colors;
  }
  // A graphic control extension needs "89a".
  auto image = MakeImage(2, 2, 1, {1, 0});
  FrameOf(*image).Extensions().Add(new TGIFGraphicControlExtension(&FrameOf(*image)));
  EXPECT_EQ(Version(SavedBytes(*image)), "89a");

  // A local table larger than the global one: the global table is padded to
  // the size the screen descriptor gives.
  image = MakeImage(2, 2, 1, {1, 0});
  auto* frame = new TGIFSubImage(image.get());
  image->Add(frame);
  frame->SetBounds(0, 0, 2, 1);
  for (int i = 0; i < 16; ++i) frame->ColorMap().Add({uint8_t(i), 0, 0});
  std::vector<uint8_t> file = SavedBytes(*image);
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

TEST(GifFile, ReadsAndWritesCommentsAndLoopsOfGiflibFiles) {
  std::vector<RefFrame> frames = {{3, 2, {0, 1, 2, 3, 2, 1}}, {2, 2, {3, 3, 0, 0}}, {1, 1, {2}}};
  frames[0].Comment = "Made by giflib";
  frames[0].Loops = 0;
  frames[1].Comment = std::string(300, 'x');
  frames[2].Loops = 7;
  std::vector<uint8_t> file = GiflibWrite(3, 2, 2, frames);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, file).empty());
  ASSERT_EQ(image.Frames().Count(), 3);
  TGIFExtensionList& first = FrameOf(image).Extensions();
  ASSERT_EQ(first.Count(), 2);
  EXPECT_EQ(dynamic_cast<TGIFCommentExtension&>(*first.Extensions(0)).Text().Text(), "Made by giflib\n");
  EXPECT_EQ(dynamic_cast<TGIFAppExtNSLoop&>(*first.Extensions(1)).Loops(), 0);
  // giflib splits the long comment into sub-blocks; each comes back as a line.
  auto& comment = dynamic_cast<TGIFCommentExtension&>(*ExtensionAt(image, 0, 1));
  EXPECT_EQ(comment.Text().Count(), 2);
  EXPECT_EQ(comment.Text()[0] + comment.Text()[1], std::string(300, 'x'));
  EXPECT_EQ(dynamic_cast<TGIFAppExtNSLoop&>(*ExtensionAt(image, 0, 2)).Loops(), 7);

  // Written back, giflib reads the same pixels and extensions.
  std::vector<uint8_t> again = SavedBytes(image);
  RefImage ref = GiflibRead(again);
  ASSERT_EQ(ref.Frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(ref.Frames[i], frames[i].Pixels);
  TGIFImage back;
  EXPECT_TRUE(LoadGif(back, again).empty());
  EXPECT_EQ(SavedBytes(back), again);
}

TEST(GifFile, ExtensionsHaveTheirExactLayouts) {
  TGIFImage image;
  TGIFSubImage frame(&image);

  // The loop extension's optional buffer size sub-block.
  TGIFAppExtNSLoop loop(&frame);
  loop.SetLoops(5);
  loop.SetBufferSize(0x01020304);
  std::vector<uint8_t> bytes = Written(loop);
  EXPECT_EQ(bytes.size(), 25u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 7, bytes.end()), std::vector<uint8_t>({5, 2, 4, 3, 2, 1, 0}));

  // An empty comment line writes nothing.
  TGIFCommentExtension comment(&frame);
  comment.Text().Add("");
  EXPECT_EQ(Written(comment), std::vector<uint8_t>({0x21, 0xFE, 0}));

  TGIFGraphicControlExtension gce(&frame);
  gce.SetDelay(0x0102);
  gce.SetDisposal(dmBackground);
  gce.SetUserInput(true);
  gce.SetTransparent(true);
  gce.SetTransparentColorIndex(9);
  EXPECT_EQ(Written(gce), std::vector<uint8_t>({0x21, 0xF9, 4, 0x0B, 2, 1, 9, 0}));
  EXPECT_TRUE(frame.Transparent());

  TGIFTextExtension text(&frame);
  text.Record() = {12, 1, 2, 3, 4, 5, 6, 7, 8};
  text.Text().Add("hi");
  EXPECT_EQ(Written(text), std::vector<uint8_t>({0x21, 0x01, 12, 1, 0, 2, 0, 3, 0, 4, 0, 5, 6, 7, 8, 2, 'h', 'i', 0}));
}

TEST(GifFile, ApplicationExtensionsKeepTheirIdentifierAndData) {
  auto app = [](const std::string& id, uint8_t size, const std::vector<uint8_t>& data) {
    ByteWriter w = GifStart(2, 1, 1);
    w.U8(0x21).U8(0xFF).U8(size).Text(id).Bytes(data);
    SmallFrame(w);
    w.U8(0x3B);
    return w.Data;
  };
  TGIFImage image;
  // "ANIMEXTS1.0" is a loop extension and stays one when written.
  std::vector<uint8_t> file = app("ANIMEXTS1.0", 11, {3, 1, 9, 0, 0});
  EXPECT_TRUE(LoadGif(image, file).empty());
  auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(ExtensionAt(image, 0));
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Loops(), 9);
  EXPECT_EQ(loop->Identifier() + loop->Authentication(), "ANIMEXTS1.0");
  EXPECT_EQ(SavedBytes(image), file);

  // Extra sub-block ids are skipped.
  EXPECT_TRUE(LoadGif(image, app("NETSCAPE2.0", 11, {6, 1, 4, 0, 9, 9, 9, 2, 3, 7, 0})).empty());
  loop = dynamic_cast<TGIFAppExtNSLoop*>(ExtensionAt(image, 0));
  EXPECT_EQ(loop->Loops(), 4);

  // An unregistered identifier keeps its sub-blocks as they are.
  file = app("XMP DataXMP", 11, {3, 'a', 'b', 'c', 1, 'd', 0});
  EXPECT_TRUE(LoadGif(image, file).empty());
  auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(ExtensionAt(image, 0));
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Blocks().size(), 2u);
  EXPECT_EQ(SavedBytes(image), file);

  // A 12-byte block loads as a plain application extension (the extra byte
  // skipped) and is written back with 11 bytes; a 10-byte block takes one
  // byte of the data into its authentication code.
  EXPECT_TRUE(LoadGif(image, app("NETSCAPE2.0!", 12, {2, 'x', 'y', 0})).empty());
  TGIFExtension* plain = ExtensionAt(image, 0);
  EXPECT_STREQ(plain->ClassName(), "TGIFApplicationExtension");
  std::vector<uint8_t> saved = SavedBytes(image);
  EXPECT_EQ(saved, app("NETSCAPE2.0", 11, {2, 'x', 'y', 0}));
  EXPECT_TRUE(LoadGif(image, app("ABCDEFGH12", 10, {1, 'x', 0})).empty());
  unknown = dynamic_cast<TGIFUnknownAppExtension*>(ExtensionAt(image, 0));
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->Authentication(), std::string("12\x01", 3));
}

class TTaggedComment : public TGIFCommentExtension {
 public:
  using TGIFCommentExtension::TGIFCommentExtension;
  const char* ClassName() const override { return "TTaggedComment"; }
};

class TMyApp : public TGIFApplicationExtension {
 public:
  using TGIFApplicationExtension::TGIFApplicationExtension;
  const char* ClassName() const override { return "TMyApp"; }
  static TGIFExtensionClass FindSubExtension(TGIFExtensionClass self, TStream&) { return self; }
};

TEST(GifFile, LaterRegistrationsHideEarlierOnes) {
  ByteWriter w = GifStart(2, 1, 1);
  w.U8(0x21).U8(0xFE).U8(2).Text("hi").U8(0);
  w.U8(0x21).U8(0xFF).U8(11).Text("MYAPP   1.0").U8(0);
  SmallFrame(w);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, w.Data).empty());
  EXPECT_STREQ(ExtensionAt(image, 0)->ClassName(), "TGIFCommentExtension");
  EXPECT_STREQ(ExtensionAt(image, 1)->ClassName(), "TGIFUnknownAppExtension");

  TGIFExtension::RegisterExtension(0xFE, ExtensionClass<TTaggedComment>());
  TGIFApplicationRec id;
  std::memcpy(&id, "MYAPP   1.0", 11);
  TGIFApplicationExtension::RegisterExtension(id, ExtensionClass<TMyApp>());
  EXPECT_TRUE(LoadGif(image, w.Data).empty());
  EXPECT_STREQ(ExtensionAt(image, 0)->ClassName(), "TTaggedComment");
  EXPECT_STREQ(ExtensionAt(image, 1)->ClassName(), "TMyApp");

  // A class registered for a label it does not write.
  TGIFExtension::RegisterExtension(0x02, ExtensionClass<TTaggedComment>());
  w = GifStart(2, 1, 1);
  w.U8(0x21).U8(0x02).U8(0);
  EXPECT_EQ(LoadError(image, w.Data), sBadExtensionInstance);
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
