// The chunk registry, the chunk list as a pointer list, the picture's
// canvas, its physical pixel size, resources and the clipboard.
#include <gtest/gtest.h>

#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// Chunk classes of the tests' own: an ancillary and a critical one, and a
// second class for the name tEXt, registered after the codec's own.
class TChunkbmTs : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkbmTs)
  using TChunk::TChunk;
};
class TChunkBMTS : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkBMTS)
  using TChunk::TChunk;
};
// Reads its data and then ends the reading of the file.
class TChunkstOp : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkstOp)
  using TChunk::TChunk;
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override {
    TChunk::LoadFromStream(stream, name, size);
    return false;
  }
};
namespace late {
class TChunktEXt : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunktEXt)
  using TChunk::TChunk;
};
}  // namespace late

// A 2 x 1 RGB file with the chunks given between IHDR and IDAT.
std::vector<uint8_t> FileWith(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks) {
  TChunkStream stream = TChunkStream().Header(2, 1, 8, 2);
  for (const auto& [name, data] : chunks) stream.Chunk(name, data);
  return stream.Chunk("IDAT", Deflate({0, 1, 2, 3, 4, 5, 6})).End().Bytes;
}

// The chunks of a file but for the image data, which the codec encodes anew.
std::vector<std::pair<std::string, std::vector<uint8_t>>> OtherChunks(const std::vector<uint8_t>& file) {
  auto chunks = ListChunks(file);
  for (auto& [name, data] : chunks)
    if (name == "IDAT") data.clear();
  return chunks;
}

// The bounds of the pixels of the colour in the bitmap.
TRect AreaOf(TBitmap& bitmap, TColor color) {
  TRect area{bitmap.Width(), bitmap.Height(), 0, 0};
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      if (PixelAt(bitmap, x, y) == color)
        area = {std::min(area.Left, x), std::min(area.Top, y), std::max(area.Right, x + 1),
                std::max(area.Bottom, y + 1)};
  return area;
}

}  // namespace

TEST(PngChunkRegistry, ReadingCreatesTheRegisteredClassOfEachName) {
  std::vector<uint8_t> file = FileWith({{"bmTs", {1, 2, 3}}, {"BMTS", {4}}, {"tEXt", {'k', 0, 'v'}}});
  // Unregistered, the critical chunk cannot be read.
  EXPECT_EQ(RaisedMessage<EPNGUnknownCriticalChunk>([&] { LoadPng(file); }),
            pnglang::EPNGUnknownCriticalChunkText);
  RegisterChunk<TChunkbmTs>();
  RegisterChunk(ChunkClassOf<TChunkBMTS>());
  RegisterChunk<late::TChunktEXt>();

  auto png = LoadPng(file);
  auto* own = png->ChunkList().FindChunk<TChunkbmTs>();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Data, (std::vector<uint8_t>{1, 2, 3}));
  // The class registered first for a name is the one made.
  EXPECT_EQ(png->ChunkList().FindChunk<late::TChunktEXt>(), nullptr);
  EXPECT_EQ(png->ChunkList().FindChunk<TChunktEXt>()->Text, "v");
  EXPECT_EQ(OtherChunks(SavedBytes(*png)), OtherChunks(file));
  // A copy has chunks of the same classes.
  TPNGObject copy;
  copy.Assign(png.get());
  EXPECT_NE(copy.ChunkList().FindChunk<TChunkBMTS>(), nullptr);
}

// A chunk whose reading answers false is the last one read: an image
// before it makes a picture, none before it leaves the file without one.
TEST(PngChunkRegistry, AChunkThatAnswersFalseEndsTheFile) {
  RegisterChunk<TChunkstOp>();
  std::vector<uint8_t> data = Deflate({0, 1, 2, 3, 4, 5, 6});
  std::unique_ptr<TPNGObject> png = LoadPng(TChunkStream()
                                                .Header(2, 1, 8, 2)
                                                .Chunk("IDAT", data)
                                                .Chunk("stOp", {7})
                                                .Chunk("tEXt", {'a', 0, 'b'})
                                                .Raw({1, 2, 3})
                                                .Bytes);
  ASSERT_EQ(png->ChunkList().Count(), 3);
  EXPECT_EQ(png->ChunkList().Item(2)->GetChunkName(), "stOp");
  EXPECT_EQ(png->ChunkList().Item(2)->Data, std::vector<uint8_t>{7});
  EXPECT_EQ(png->GetPixels(1, 0), RGB(4, 5, 6));
  EXPECT_EQ(RaisedMessage<EPNGNoImageData>([&] {
              LoadPng(TChunkStream().Header(2, 1, 8, 2).Chunk("stOp", {}).Chunk("IDAT", data).End().Bytes);
            }),
            pnglang::EPNGNoImageDataText);
}

// Chunks found by class reference, their own class or one derived from it
// (a zTXt is a tEXt); names of four characters.
TEST(PngChunkList, FindsChunksByClassAndName) {
  std::unique_ptr<TPNGObject> png =
      LoadPng(FileWith({{"zTXt", {'k', 0, 0, 0x78, 0x9C, 3, 0, 0, 0, 0, 1}}, {"tEXt", {'a', 0, 'b'}}}));
  TPNGList& list = png->ChunkList();
  TChunk* text = list.ItemFromClass(ChunkClassOf<TChunktEXt>());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GetChunkName(), "zTXt");
  EXPECT_EQ(text->GetIndex(), 1);
  EXPECT_EQ(list.FindChunk(ChunkClassOf<TChunkzTXt>()), text);
  EXPECT_EQ(list.FindChunk<TChunktEXt>(), text);
  EXPECT_EQ(list.ItemFromClass(ChunkClassOf<TChunkgAMA>()), nullptr);
  ASSERT_EQ(list.Items().size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.Items()[size_t(i)], list.Item(i));
  EXPECT_EQ(TChunkName("IDATA"), TChunkName("IDAT"));
  EXPECT_EQ(TChunkName("ab").ToString(), "ab");
  EXPECT_EQ(TChunk(*png).GetChunkName(), "");
}

// The palette handed to a palette picture: with updateColors its colours
// become the picture's, without it only the palette changes; a picture
// without a palette deletes it.
TEST(PngObject, DoSetPaletteTakesThePaletteOver) {
  TPNGObject png(COLOR_PALETTE, 8, 2, 1);
  png.Scanline(0)[1] = 1;
  const PALETTEENTRY first[] = {{10, 20, 30, 0}, {40, 50, 60, 0}}, second[] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  png.SetPalette(CreatePalette(first, 2));
  EXPECT_EQ(png.GetPixels(1, 0), RGB(40, 50, 60));
  HPALETTE kept = CreatePalette(second, 2);
  png.DoSetPalette(kept, false);
  EXPECT_EQ(png.Palette(), kept);
  EXPECT_EQ(png.GetPixels(1, 0), RGB(40, 50, 60));
  png.DoSetPalette(CreatePalette(second, 2), true);
  EXPECT_EQ(png.GetPixels(1, 0), RGB(4, 5, 6));
  TPNGObject rgb(COLOR_RGB, 8, 2, 1);
  rgb.DoSetPalette(CreatePalette(second, 2), true);
  EXPECT_EQ(rgb.Palette(), nullptr);
}

TEST(PngChunkList, PointerListOperations) {
  TPNGObject owner;
  TPNGPointerList list(owner);
  int a = 0, b = 0, c = 0;
  auto items = [&] {
    std::vector<void*> all;
    for (int i = -1; i <= list.Count(); ++i) all.push_back(list.GetItem(i));
    return all;
  };
  // Any position in an empty list gives the first place; past the end of
  // a list that is not empty nothing is stored.
  EXPECT_TRUE(list.Insert(&a, 5));
  EXPECT_FALSE(list.Insert(&b, 1));
  EXPECT_TRUE(list.Insert(&b, 0));
  list.Add(&a);
  list.Add(&c);
  // b a a c: Remove takes the last a.
  EXPECT_EQ(list.Remove(&a), &a);
  EXPECT_EQ(items(), (std::vector<void*>{nullptr, &b, &a, &c, nullptr}));
  list.SetItem(0, &c);
  list.SetItem(3, &a);  // past the end: ignored
  list.SetSize(4);
  EXPECT_EQ(items(), (std::vector<void*>{nullptr, &c, &a, &c, nullptr, nullptr}));
}

TEST(PngCanvas, DrawsIntoThePictureAndFollowsItsBuffers) {
  TPNGObject png;
  png.Assign(MakeTestBitmap(6, 4, 1).get());
  png.Canvas()->Brush.Color = clRed;
  png.Canvas()->FillRect(Rect(1, 1, 3, 2));
  EXPECT_EQ(png.GetPixels(2, 1), clRed);
  png.Resize(8, 5);
  png.Canvas()->SetPixel(7, 4, clBlue);
  EXPECT_EQ(png.GetPixels(7, 4), clBlue);
  // Without a picture the canvas draws nowhere.
  png.Assign(nullptr);
  EXPECT_EQ(png.Canvas()->GetPixel(0, 0), TColor(CLR_INVALID));
}

TEST(PngPixelInformation, PhysChunkAddedAndUsedForDrawing) {
  TPNGObject png;
  png.Assign(MakeFlatBitmap(10, 8, clRed).get());
  auto drawn = [&](TPoint pos) {
    auto target = MakeFlatBitmap(60, 60, clWhite);
    png.DrawUsingPixelInformation(*target->Canvas(), pos);
    return AreaOf(*target, clRed);
  };
  EXPECT_FALSE(png.HasPixelInformation());
  EXPECT_EQ(drawn(Point(3, 4)), Rect(3, 4, 13, 12));
  TChunkpHYs* phys = png.GetPixelInformation();
  EXPECT_EQ(png.GetPixelInformation(), phys);
  EXPECT_TRUE(png.HasPixelInformation());
  EXPECT_EQ(ChunkData(SavedBytes(png), "pHYs"), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 1}));
  // Densities of 0 tell nothing: the picture keeps its size.
  EXPECT_EQ(drawn(Point(0, 0)), Rect(0, 0, 10, 8));

  // A screen of 96 / 0.0254 pixels per metre across and 48 / 0.0254 down;
  // sizes are cut to whole pixels, and a density of 0 keeps that axis.
  phys->DensityX = 1890;
  phys->DensityY = 7559;
  SetScreenPixelsPerInch(96, 48);
  TRect area = drawn(Point(2, 1));
  phys->DensityY = 0;
  TRect across = drawn(Point(0, 0));
  SetScreenPixelsPerInch(96, 96);
  EXPECT_EQ(area, Rect(2, 1, 2 + 19, 1 + 2));
  EXPECT_EQ(across, Rect(0, 0, 19, 8));
}

TEST(PngResources, LoadByNameOrNumber) {
  // The test program embeds data/resources/small.png (3 x 2) as SMALL_PNG
  // and 101.
  TPNGObject byName, byNumber, png;
  byName.LoadFromResourceName(HInstance, "small_png");
  byNumber.LoadFromResourceID(HInstance, 101);
  ASSERT_EQ(byName.Width(), 3);
  EXPECT_EQ(std::vector<TColor>({byName.GetPixels(0, 0), byName.GetPixels(2, 1)}),
            std::vector<TColor>({RGB(255, 0, 0), RGB(70, 80, 90)}));
  EXPECT_EQ(SavedBytes(byNumber), SavedBytes(byName));
  EXPECT_EQ(RaisedMessage<EPNGCouldNotLoadResource>([&] { png.LoadFromResourceName(HInstance, "NONE"); }),
            pnglang::EPNGCouldNotLoadResourceText);
  // A resource that is there but no PNG fails as such a file does.
  EXPECT_EQ(RaisedMessage<EPNGInvalidFileHeader>([&] { png.LoadFromResourceName(HInstance, "GREETING"); }),
            pnglang::EPNGInvalidFileHeaderText);
}

// The clipboard carries the picture as a bitmap: colours as drawn (a
// see-through pixel over white).
TEST(PngClipboard, ThroughTheBitmapFormat) {
  TPNGObject png;
  png.Assign(MakeTestBitmap(5, 3, 2).get());
  png.CreateAlpha();
  png.AlphaScanline(1)[2] = 0;
  ClipResults clip(png);
  EXPECT_EQ(clip.Format, CF_BITMAP);
  TPNGObject back;
  back.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
  ASSERT_EQ(back.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(back.GetPixels(x, y), x == 2 && y == 1 ? clWhite : png.GetPixels(x, y)) << x << "," << y;
}
