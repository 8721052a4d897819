// The chunk registry, the chunk list as a pointer list, the picture's
// canvas, its physical pixel size and loading from the program's resources.
#include <gtest/gtest.h>

#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// Chunk classes of the tests' own: an ancillary and a critical one.
class TChunkbmTs : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkbmTs)
  using TChunk::TChunk;
  void LoadFromStream(TStream& stream, const std::string& name, uint32_t size) override {
    TChunk::LoadFromStream(stream, name, size);
    Loads++;
  }
  int Loads = 0;
};

class TChunkBMTS : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkBMTS)
  using TChunk::TChunk;
};

// A second class for the name tEXt, registered after the codec's own.
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

std::vector<std::string> ChunkNames(const std::vector<uint8_t>& file) {
  std::vector<std::string> names;
  for (const auto& [name, data] : ListChunks(file)) names.push_back(name);
  return names;
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
  EXPECT_EQ(TChunkIHDR::GetName(), "IHDR");
  EXPECT_EQ(TChunkzTXt::GetName(), "zTXt");
  EXPECT_EQ(TChunk::GetName(), "");
  EXPECT_EQ(ChunkClassOf<TChunkbmTs>().GetName(), "bmTs");
  TPNGObject owner;
  EXPECT_EQ(ChunkClassOf<TChunkpHYs>().Create(owner)->Name(), "pHYs");
  EXPECT_EQ(ChunkClassOf<TChunk>().Create(owner)->Name(), "");

  std::vector<uint8_t> file =
      FileWith({{"bmTs", {1, 2, 3}}, {"BMTS", {4}}, {"tEXt", {'k', 0, 'v'}}});
  // Unregistered, the critical chunk cannot be read.
  EXPECT_EQ(RaisedMessage<EPNGUnknownCriticalChunk>([&] { LoadPng(file); }),
            pnglang::EPNGUnknownCriticalChunkText);
  RegisterChunk<TChunkbmTs>();
  RegisterChunk(ChunkClassOf<TChunkBMTS>());
  RegisterChunk<late::TChunktEXt>();

  auto png = LoadPng(file);
  auto* own = png->Chunks().FindChunk<TChunkbmTs>();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Loads, 1);
  EXPECT_EQ(own->Data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(own->Name(), "bmTs");
  ASSERT_NE(png->Chunks().FindChunk<TChunkBMTS>(), nullptr);
  // The class registered first for a name is the one made.
  EXPECT_EQ(png->Chunks().FindChunk<late::TChunktEXt>(), nullptr);
  EXPECT_EQ(png->Chunks().FindChunk<TChunktEXt>()->Text, "v");
  EXPECT_EQ(OtherChunks(SavedBytes(*png)), OtherChunks(file));

  // A copy has chunks of the same classes.
  TPNGObject copy;
  copy.Assign(png.get());
  EXPECT_NE(copy.Chunks().FindChunk<TChunkbmTs>(), nullptr);
  EXPECT_NE(copy.Chunks().FindChunk<TChunkBMTS>(), nullptr);
  EXPECT_EQ(OtherChunks(SavedBytes(copy)), OtherChunks(file));
}

TEST(PngChunkList, RemoveAndInsertLeaveTheChunkAlive) {
  std::vector<uint8_t> file = FileWith({{"tEXt", {'k', 0, 'v'}}});
  auto png = LoadPng(file);
  TPNGList& list = png->Chunks();
  auto* text = list.FindChunk<TChunktEXt>();
  int at = text->GetIndex();
  EXPECT_EQ(at, 1);
  EXPECT_EQ(list.Remove(text), text);
  EXPECT_EQ(list.Remove(text), nullptr);
  EXPECT_EQ(text->GetIndex(), -1);
  EXPECT_EQ(text->Keyword, "k");
  EXPECT_EQ(ChunkNames(SavedBytes(*png)), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  // At the end of a list that is not empty nothing is stored.
  EXPECT_FALSE(list.Insert(text, list.Count()));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.Insert(text, at));
  EXPECT_EQ(list.Item(at), text);
  EXPECT_EQ(OtherChunks(SavedBytes(*png)), OtherChunks(file));

  // SetItem hands the old chunk back to the caller; SetSize leaves gaps
  // that reading, saving and copying pass over.
  std::unique_ptr<TChunk> removed(static_cast<TChunk*>(list.GetItem(1)));
  auto replacement = NewChunk<TChunktIME>(*png);
  list.SetItem(1, replacement.release());
  list.SetItem(4, removed.get());  // past the end: ignored
  EXPECT_EQ(list.Count(), 4);
  list.SetSize(6);
  EXPECT_EQ(list.Count(), 6);
  EXPECT_EQ(list.Item(5), nullptr);
  EXPECT_EQ(ChunkNames(SavedBytes(*png)), (std::vector<std::string>{"IHDR", "tIME", "IDAT", "IEND"}));
  png->AddtEXt("a", "b");
  TPNGObject copy;
  copy.Assign(png.get());
  EXPECT_EQ(ChunkNames(SavedBytes(copy)), (std::vector<std::string>{"IHDR", "tIME", "IDAT", "tEXt", "IEND"}));
}

TEST(PngChunkList, PointerListOperations) {
  TPNGObject owner;
  TPNGPointerList list(owner);
  int a = 0, b = 0, c = 0;
  // Any position in an empty list gives the first place.
  EXPECT_TRUE(list.Insert(&a, 5));
  EXPECT_FALSE(list.Insert(&b, 1));
  EXPECT_TRUE(list.Insert(&b, 0));
  list.Add(&a);
  list.Add(&c);
  // b a a c: Remove takes the last a.
  EXPECT_EQ(list.Remove(&a), &a);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.GetItem(0), &b);
  EXPECT_EQ(list.GetItem(1), &a);
  EXPECT_EQ(list.GetItem(2), &c);
  EXPECT_EQ(list.GetItem(3), nullptr);
  EXPECT_EQ(list.GetItem(-1), nullptr);
  list.SetItem(0, &c);
  list.SetItem(-1, &a);
  list.SetItem(3, &a);
  EXPECT_EQ(list.GetItem(0), &c);
  list.SetSize(1);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetItem(0), &c);
  EXPECT_EQ(&list.Owner(), &owner);
}

TEST(PngCanvas, DrawsIntoThePictureAndFollowsItsHeader) {
  TPNGObject png;
  EXPECT_EQ(png.Canvas()->GetPixel(0, 0), TColor(CLR_INVALID));
  png.Assign(MakeTestBitmap(6, 4, 1).get());
  png.Canvas()->Brush.Color = clRed;
  png.Canvas()->FillRect(Rect(1, 1, 3, 2));
  EXPECT_EQ(png.GetPixels(1, 1), clRed);
  EXPECT_EQ(png.GetPixels(2, 1), clRed);
  EXPECT_NE(png.GetPixels(3, 1), clRed);
  png.Resize(8, 5);
  png.Canvas()->SetPixel(7, 4, clBlue);
  EXPECT_EQ(png.GetPixels(7, 4), clBlue);
  EXPECT_EQ(png.Canvas()->GetPixel(1, 1), clRed);
  // A palette picture read from a file: the canvas reads its colours.
  TSamplePicture picture = MakeSamplePicture(3, 4, 5, 3, false, 2);
  std::vector<uint8_t> file = WriteWithLibpng(picture);
  TReadOnlyMemoryStream fileStream(file.data(), file.size());
  png.LoadFromStream(fileStream);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(png.Canvas()->GetPixel(x, 2), png.GetPixels(x, 2));
  png.Assign(nullptr);
  EXPECT_EQ(png.Canvas()->GetPixel(0, 0), TColor(CLR_INVALID));
}

TEST(PngPixelInformation, PhysChunkAddedAndUsedForDrawing) {
  TPNGObject png(COLOR_RGB, 8, 10, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) png.SetPixels(x, y, clRed);
  auto drawn = [&](TPoint pos) {
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(60, 60);
    png.DrawUsingPixelInformation(*target.Canvas(), pos);
    return AreaOf(target, clRed);
  };
  EXPECT_FALSE(png.HasPixelInformation());
  EXPECT_EQ(drawn(Point(3, 4)), Rect(3, 4, 13, 12));

  TChunkpHYs* phys = png.GetPixelInformation();
  ASSERT_NE(phys, nullptr);
  EXPECT_TRUE(png.HasPixelInformation());
  EXPECT_EQ(png.GetPixelInformation(), phys);
  EXPECT_EQ(phys->DensityUnit, utMeter);
  EXPECT_EQ(phys->GetIndex(), 1);  // right after the header
  // Densities of 0 tell nothing: the picture keeps its size.
  EXPECT_EQ(drawn(Point(0, 0)), Rect(0, 0, 10, 8));
  EXPECT_EQ(ChunkData(SavedBytes(png), "pHYs"), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 1}));

  // The screen has 96 / 0.0254 pixels per metre: 1890 per metre is about
  // half of it and 7559 twice; sizes are cut to whole pixels.
  phys->DensityX = 1890;
  phys->DensityY = 7559;
  auto size = [](int pixels, double density, double perInch) {
    return int(pixels / (density / (perInch / 0.0254)));
  };
  EXPECT_EQ(size(10, 1890, 96), 19);
  EXPECT_EQ(size(8, 7559, 96), 4);
  EXPECT_EQ(drawn(Point(2, 1)), Rect(2, 1, 2 + 19, 1 + 4));
  // A screen of 120 pixels per inch across and 48 down.
  SetScreenPixelsPerInch(120, 48);
  TRect area = drawn(Point(0, 0));
  SetScreenPixelsPerInch(96, 96);
  EXPECT_EQ(area, Rect(0, 0, size(10, 1890, 120), size(8, 7559, 48)));
  EXPECT_EQ(area, Rect(0, 0, 24, 2));
  phys->DensityY = 0;
  EXPECT_EQ(drawn(Point(0, 0)), Rect(0, 0, 19, 8));
}

TEST(PngResources, LoadByNameOrNumber) {
  // The test program embeds data/resources/small.png as SMALL_PNG and 101.
  const TColor rows[2][3] = {{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)},
                             {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90)}};
  TPNGObject byName, byNumber;
  byName.LoadFromResourceName(HInstance, "small_png");
  byNumber.LoadFromResourceID(HInstance, 101);
  for (TPNGObject* png : {&byName, &byNumber}) {
    ASSERT_EQ(png->Width(), 3);
    ASSERT_EQ(png->Height(), 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(png->GetPixels(x, y), rows[y][x]);
  }
  TPNGObject png;
  EXPECT_EQ(RaisedMessage<EPNGCouldNotLoadResource>([&] { png.LoadFromResourceName(HInstance, "NONE"); }),
            pnglang::EPNGCouldNotLoadResourceText);
  EXPECT_EQ(RaisedMessage<EPNGCouldNotLoadResource>([&] { png.LoadFromResourceID(HInstance, 102); }),
            pnglang::EPNGCouldNotLoadResourceText);
  int other = 0;
  EXPECT_EQ(RaisedMessage<EPNGCouldNotLoadResource>(
                [&] { png.LoadFromResourceName(reinterpret_cast<HINSTANCE>(&other), "SMALL_PNG"); }),
            pnglang::EPNGCouldNotLoadResourceText);
  // A resource that is there but no PNG fails as such a file does.
  EXPECT_EQ(RaisedMessage<EPNGInvalidFileHeader>([&] { png.LoadFromResourceName(HInstance, "GREETING"); }),
            pnglang::EPNGInvalidFileHeaderText);
}

// The clipboard carries the picture as a bitmap: colours as drawn (a
// see-through pixel over white), and only the bitmap format is read.
TEST(PngClipboard, ThroughTheBitmapFormat) {
  TPNGObject png;
  png.Assign(MakeTestBitmap(5, 3, 2).get());
  png.CreateAlpha();
  png.AlphaScanline(1)[2] = 0;
  ClipResults clip;
  png.SaveToClipboardFormat(clip.Format, clip.Data, clip.Palette);
  EXPECT_EQ(clip.Format, CF_BITMAP);
  TPNGObject back;
  back.LoadFromClipboardFormat(clip.Format, clip.Data, clip.Palette);
  ASSERT_EQ(back.Width(), 5);
  ASSERT_EQ(back.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(back.GetPixels(x, y), x == 2 && y == 1 ? clWhite : png.GetPixels(x, y)) << x << "," << y;
  uint16_t other = RegisterClipboardFormat("Brightmill test format");
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { back.LoadFromClipboardFormat(other, clip.Data, nullptr); }),
            "Unsupported clipboard format");
  EXPECT_EQ(back.Width(), 5);
}
