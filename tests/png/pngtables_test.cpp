// The codec's tables row by row: what each colour type and bit depth is
// held and written as, which kinds exist, every message, every zlib code
// name, the chunk registry and where the chunk list puts each class.
#include <gtest/gtest.h>

#include "png/pngcodec.h"
#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// The chunk names of the list, in order.
std::string Names(const TPNGObject& png) {
  std::string names;
  for (int i = 0; i < png.ChunkList().Count(); ++i)
    names += std::string(i ? " " : "") + png.ChunkList().Item(i)->GetChunkName();
  return names;
}

// A chunk class known only at run time, as a program adds its own.
class TChunkruNt : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkruNt)
  using TChunk::TChunk;
};
// A class whose chunk name is not four characters long; it derives from a
// class whose name is.
class TChunkiTXtX : public TChunktEXt {
 public:
  PNG_CHUNK_CLASS(TChunkiTXtX)
  using TChunktEXt::TChunktEXt;
};

// A chunk class with the chunk name its chunks should get, and a chunk made
// by the class's own constructor.
struct TClassRow {
  const char* ClassName;
  const char* Name;
  std::unique_ptr<TChunk> (*Make)(TPNGObject& owner);
  const TChunkClass* Class;
};
template <class T>
TClassRow ClassRow(const char* name) {
  auto make = [](TPNGObject& owner) -> std::unique_ptr<TChunk> { return std::make_unique<T>(owner); };
  return {T::StaticClassName, name, make, &ChunkClassOf<T>()};
}

}  // namespace

// Per kind, 13 pixels wide: the scan line and pixel bytes, the bitmap that
// holds it, the bitmap it converts to, its transparency without tRNS; and
// it is written back, interlaced or not, as libpng read it.
TEST(PngKinds, EachKindIsHeldConvertedAndWrittenByItsRow) {
  struct Row {
    int ColorType, BitDepth;
    int64_t LineBytes;
    int Stride, DibBits;
    bool Alpha, LowBytes;
    TPixelFormat Format;
    TPNGTransparencyMode Mode;
  };
  const Row rows[] = {
      {0, 1, 2, 1, 1, false, false, pf1bit, ptmNone},      {0, 2, 4, 1, 4, false, false, pf4bit, ptmNone},
      {0, 4, 7, 1, 4, false, false, pf4bit, ptmNone},      {0, 8, 13, 1, 8, false, false, pf24bit, ptmNone},
      {0, 16, 26, 2, 8, false, true, pf24bit, ptmNone},    {2, 8, 39, 3, 24, false, false, pf24bit, ptmNone},
      {2, 16, 78, 6, 24, false, true, pf24bit, ptmNone},   {3, 1, 2, 1, 1, false, false, pf1bit, ptmNone},
      {3, 2, 4, 1, 4, false, false, pf4bit, ptmNone},      {3, 4, 7, 1, 4, false, false, pf4bit, ptmNone},
      {3, 8, 13, 1, 8, false, false, pf8bit, ptmNone},     {4, 8, 26, 2, 8, true, false, pf24bit, ptmPartial},
      {4, 16, 52, 4, 8, true, true, pf24bit, ptmPartial},  {6, 8, 52, 4, 24, true, false, pf24bit, ptmPartial},
      {6, 16, 104, 8, 24, true, true, pf24bit, ptmPartial},
  };
  for (const Row& row : rows) {
    TSamplePicture sample = MakeSamplePicture(row.ColorType, row.BitDepth, 13, 6, false, 7);
    std::vector<uint8_t> file = WriteWithLibpng(sample);
    std::string name = sample.Name();
    std::unique_ptr<TPNGObject> png = LoadPng(file);
    int64_t lineBytes = -1;
    int stride = -1;
    png->GetPixelInfo(lineBytes, stride);
    EXPECT_EQ(lineBytes, row.LineBytes) << name;
    EXPECT_EQ(stride, row.Stride) << name;
    const TChunkIDAT* idat = png->ChunkList().FindChunk<TChunkIDAT>();
    EXPECT_EQ(idat->HeaderChunk, &png->Header()) << name;
    EXPECT_EQ(std::vector<int64_t>({idat->ImageWidth, idat->ImageHeight, idat->LineBytes, idat->PixelStride}),
              std::vector<int64_t>({13, 6, row.LineBytes, row.Stride}))
        << name;

    const TChunkIHDR& header = png->Header();
    const BITMAPINFOHEADER& info = header.ImageInfo.bmiHeader;
    EXPECT_EQ(header.BitsPerPixel(), row.DibBits) << name;
    EXPECT_EQ(header.RowStride(), (row.DibBits * 13 + 31) / 32 * 4) << name;
    EXPECT_EQ(std::vector<int>({int(info.biSize), info.biWidth, info.biHeight, info.biPlanes, info.biBitCount,
                                int(info.biCompression)}),
              std::vector<int>({40, 13, 6, 1, row.DibBits, BI_RGB}))
        << name;
    EXPECT_EQ(header.UsesPalette(), row.DibBits <= 8) << name;
    EXPECT_EQ(header.PaletteSize, row.DibBits <= 8 ? 1 << row.DibBits : 0) << name;
    EXPECT_EQ(png->AlphaScanline(5) != nullptr, row.Alpha) << name;
    EXPECT_EQ(png->ExtraScanline(5) != nullptr, row.LowBytes) << name;
    EXPECT_EQ(header.ImageBits(), png->Scanline(0)) << name;
    EXPECT_EQ(png->TransparencyMode(), row.Mode) << name;
    TBitmap bitmap;
    bitmap.Assign(png.get());
    EXPECT_EQ(bitmap.PixelFormat(), row.Format) << name;

    // Written by every row encoder, in rows and in Adam7 passes.
    std::vector<uint8_t> pixels = ReadWithLibpng(file).Pixels;
    for (TInterlaceMethod interlace : {imNone, imAdam7}) {
      png->InterlaceMethod = interlace;
      std::vector<uint8_t> saved = SavedBytes(*png);
      EXPECT_EQ(ChunkData(saved, "IHDR")[12], interlace) << name;
      EXPECT_EQ(ReadWithLibpng(saved).Pixels, pixels) << name << " interlace " << interlace;
    }
  }
}

// Colour types 0, 2, 3, 4, 6 with the depths each may have; every other
// pair is refused by the sized constructor and by the header reader.
TEST(PngKinds, OnlyTheKindsAPngFileMayHave) {
  for (int colorType = 0; colorType < 8; ++colorType)
    for (int depth = 0; depth <= 17; ++depth) {
      bool valid = std::any_of(std::begin(kKinds), std::end(kKinds),
                               [&](const TKind& k) { return k.ColorType == colorType && k.BitDepth == depth; });
      std::string made = RaisedMessage<EPNGInvalidSpec>([&] { TPNGObject png(colorType, depth, 3, 2); });
      EXPECT_EQ(made, valid ? "(nothing raised)" : pnglang::EInvalidSpec) << colorType << " " << depth;
      std::vector<uint8_t> file = TChunkStream().Header(3, 2, depth, colorType).End().Bytes;
      std::string read = RaisedMessage<Exception>([&] { LoadPng(file); });
      EXPECT_EQ(read, valid ? pnglang::EPNGNoImageDataText : pnglang::EPNGInvalidIHDRText)
          << colorType << " " << depth;
    }
  // A depth of 2 is held as 4.
  for (int colorType : {0, 3}) EXPECT_EQ(TPNGObject(colorType, 2, 3, 2).Header().HeaderData.BitDepth, 4);
}

// Every message of the codec, as the operation that fails raises it, with
// its class; the two the codec declares but never raises as they stand.
TEST(PngMessages, EveryTextWithItsClass) {
  const std::string pictures = "\"Portable Network Graphics\"";
  std::vector<uint8_t> valid = TChunkStream().Header(2, 1, 8, 2).Chunk("IDAT", Deflate({0, 1, 2, 3, 4, 5, 6})).End().Bytes;
  std::vector<uint8_t> badCrc = valid;
  badCrc[30] ^= 1;
  std::vector<uint8_t> data = Deflate({0, 1, 2, 3, 4, 5, 6});
  auto header = [](std::vector<uint8_t> bytes) { return TChunkStream().Chunk("IHDR", bytes).End().Bytes; };
  auto file = [&](TChunkStream stream) { return stream.Bytes; };
  std::unique_ptr<TPNGObject> palette = LoadPng(
      TChunkStream().Header(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3}).Chunk("IDAT", Deflate({0, 0})).End().Bytes);
  TPNGObject empty, rgba(COLOR_RGBALPHA, 8, 2, 2);
  std::vector<uint8_t> signature = valid;
  signature[0] = 0;

  // The class is checked by catching it alone.
  struct Row {
    std::string Text;
    std::function<std::string()> Raise;
  };
  const Row rows[] = {
      {"The file being readed is not a valid " + pictures +
           " image because it contains an invalid header. This file may be corruped, try obtaining it again.",
       [&] { return RaisedMessage<EPNGInvalidFileHeader>([&] { LoadPng(signature); }); }},
      {"This " + pictures + " image is not supported or it might be invalid.\r\n(IHDR chunk is not the first)",
       [&] { return RaisedMessage<EPNGIHDRNotFirst>([&] { LoadPng(file(TChunkStream().End())); }); }},
      {"This " + pictures + " image is invalid because the decoder found an unexpected end of the file.",
       [&] {
         return RaisedMessage<EPngUnexpectedEnd>([&] { LoadPng({valid.begin(), valid.end() - 12}); });
       }},
      {"This " + pictures + " image contains an unknown critical part which could not be decoded.",
       [&] {
         return RaisedMessage<EPNGUnknownCriticalChunk>(
             [&] { LoadPng(file(TChunkStream().Header(1, 1, 8, 0).Chunk("QQQQ", {}).End())); });
       }},
      {"This " + pictures + " image contains no data.",
       [&] { return RaisedMessage<EPNGNoImageData>([&] { LoadPng(file(TChunkStream().Header(1, 1, 8, 0).End())); }); }},
      {"This " + pictures + " image is not valid because it contains invalid pieces of data (crc error)",
       [&] { return RaisedMessage<EPngInvalidCRC>([&] { LoadPng(badCrc); }); }},
      {"The " + pictures + " image could not be loaded because one of its main piece of data (ihdr) might be corrupted",
       [&] { return RaisedMessage<EPngInvalidIHDR>([&] { LoadPng(header(std::vector<uint8_t>(12, 1))); }); }},
      {"This " + pictures +
           " image is not supported because either it's width or height exceeds the maximum size, which is 65535 "
           "pixels length.",
       [&] {
         return RaisedMessage<EPNGSizeExceeds>([&] { LoadPng(header({0, 1, 0, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0})); });
       }},
      {"This " + pictures + " image is encoded with an unknown compression scheme which could not be decoded.",
       [&] {
         return RaisedMessage<EPNGUnknownCompression>([&] { LoadPng(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 1, 0, 0})); });
       }},
      {"This " + pictures + " image uses an unknown interlace scheme which could not be decoded.",
       [&] {
         return RaisedMessage<EPNGUnknownInterlace>([&] { LoadPng(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 2})); });
       }},
      {"The " + pictures + " image contains an invalid palette.",
       [&] {
         return RaisedMessage<EPNGInvalidPalette>(
             [&] { LoadPng(file(TChunkStream().Header(1, 1, 8, 3).Chunk("PLTE", {1, 2}).End())); });
       }},
      {"This " + pictures + " image is invalid because it has missing image parts.",
       [&] {
         return RaisedMessage<EPNGMissingMultipleIDAT>([&] {
           LoadPng(file(TChunkStream().Header(2, 1, 8, 2).Chunk("IDAT", {data.begin(), data.begin() + 4}).End()));
         });
       }},
      {"Could not decompress the image because it contains invalid compressed data.\r\n Description: data error (-3)",
       [&] {
         return RaisedMessage<EPNGZLIBError>(
             [&] { LoadPng(file(TChunkStream().Header(2, 1, 8, 2).Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).End())); });
       }},
      {"There is no such palette entry.",
       [&] {
         return RaisedMessage<EPngError>([&] { palette->ChunkList().FindChunk<TChunkPLTE>()->GetPaletteItem(1); });
       }},
      {"The chunks must be compatible to be assigned.",
       [&] {
         return RaisedMessage<EPngError>(
             [&] { palette->Header().Assign(*palette->ChunkList().FindChunk<TChunkPLTE>()); });
       }},
      {"The program tried to add a existent critical chunk to the current image which is not allowed.",
       [&] { return RaisedMessage<EPngError>([&] { palette->ChunkList().Add<TChunkIEND>(); }); }},
      {"It's not allowed to add a new chunk because the current image is invalid.",
       [&] { return RaisedMessage<EPngError>([&] { empty.ChunkList().Add<TChunktEXt>(); }); }},
      {"The png image could not be loaded from the resource ID.",
       [&] { return RaisedMessage<EPNGCouldNotLoadResource>([&] { empty.LoadFromResourceID(HInstance, 999); }); }},
      {"Some operation could not be performed because the system is out of resources. Close some windows and try "
       "again.",
       [&] {
         return RaisedMessage<EPNGOutMemory>(
             [&] { LoadPng(file(TChunkStream().Header(65535, 65535, 16, 6).End())); });
       }},
      {"Setting bit transparency color is not allowed for png images containing alpha value for each pixel "
       "(COLOR_RGBALPHA and COLOR_GRAYSCALEALPHA)",
       [&] { return RaisedMessage<EPNGCannotChangeTransparent>([&] { rgba.SetTransparentColor(clRed); }); }},
      {"This operation is not valid because the current image contains no valid header.",
       [&] { return RaisedMessage<EPNGHeaderNotPresent>([&] { empty.Header(); }); }},
      {"The new size provided for image resizing is invalid.",
       [&] { return RaisedMessage<EPNGInvalidNewSize>([&] { rgba.Resize(0, 2); }); }},
      {"The " + pictures + " could not be created because invalid image type parameters have being provided.",
       [&] { return RaisedMessage<EPNGInvalidSpec>([&] { TPNGObject(COLOR_RGB, 4, 1, 1); }); }},
      {"This " + pictures + " could not be loaded because it uses a color table which is missing.",
       [&] {
         return RaisedMessage<EPNGMissingPalette>(
             [&] { LoadPng(file(TChunkStream().Header(1, 1, 8, 3).Chunk("IDAT", Deflate({0, 0})).End())); });
       }},
      {"The png file could not be loaded because it does not exists.",
       [] { return std::string(pnglang::EPNGNotExistsText); }},
  };
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].Raise(), rows[i].Text) << i;
}

TEST(PngMessages, EveryZlibCodeHasItsName) {
  const std::pair<int, const char*> rows[] = {
      {-6, "incompatible version (-6)"}, {-5, "buffer error (-5)"}, {-4, "insufficient memory (-4)"},
      {-3, "data error (-3)"},           {-2, "stream error (-2)"}, {-1, "file error (-1)"},
      {0, "(0)"},                        {1, "stream end (1)"},     {2, "need dictionary (2)"},
      {7, "(7)"},                        {-7, "(-7)"},
  };
  for (const auto& [code, name] : rows)
    EXPECT_EQ(RaisedMessage<EPNGZLIBError>([&] { pngcodec::RaiseZlibError(code); }),
              std::string("Could not decompress the image because it contains invalid compressed data.\r\n "
                          "Description: ") +
                  name);
}

// Each of the codec's chunk names, read from a file or asked for by name,
// makes a chunk of its class; any other name a plain chunk keeping it.
TEST(PngChunkRegistry, EachNameMakesItsClass) {
  const std::pair<const char*, const char*> rows[] = {
      {"IEND", "TChunkIEND"}, {"IHDR", "TChunkIHDR"}, {"IDAT", "TChunkIDAT"}, {"PLTE", "TChunkPLTE"},
      {"gAMA", "TChunkgAMA"}, {"tRNS", "TChunktRNS"}, {"pHYs", "TChunkpHYs"}, {"tIME", "TChunktIME"},
      {"tEXt", "TChunktEXt"}, {"zTXt", "TChunkzTXt"}, {"iEND", "TChunk"},     {"cHRm", "TChunk"},
  };
  TPNGObject owner;
  for (const auto& [name, className] : rows) {
    std::unique_ptr<TChunk> chunk = CreateChunkByName(owner, name);
    EXPECT_STREQ(chunk->ClassName(), className) << name;
    EXPECT_EQ(chunk->GetChunkName(), name);
    EXPECT_EQ(chunk->ChunkClass().GetName(), std::string(className).substr(6));
  }
  EXPECT_EQ(TChunk::GetName(), "");
  EXPECT_EQ(TChunkIHDR::GetName(), "IHDR");
  // In a file.
  std::unique_ptr<TPNGObject> png = LoadPng(TChunkStream()
                                                .Header(1, 1, 8, 3)
                                                .Chunk("gAMA", {0, 0, 0xB1, 0x8F})
                                                .Chunk("pHYs", std::vector<uint8_t>(9, 0))
                                                .Chunk("PLTE", {1, 2, 3})
                                                .Chunk("tRNS", {0})
                                                .Chunk("IDAT", Deflate({0, 0}))
                                                .Chunk("tIME", std::vector<uint8_t>(7, 1))
                                                .Chunk("tEXt", {'a', 0, 'b'})
                                                .Chunk("zTXt", {'a', 0, 0, 0x78, 0x9C, 3, 0, 0, 0, 0, 1})
                                                .Chunk("vpAg", {1})
                                                .End()
                                                .Bytes);
  std::string classes;
  for (int i = 0; i < png->ChunkList().Count(); ++i) classes += png->ChunkList().Item(i)->ClassName() + std::string(" ");
  EXPECT_EQ(classes,
            "TChunkIHDR TChunkgAMA TChunkpHYs TChunkPLTE TChunktRNS TChunkIDAT TChunktIME TChunktEXt TChunkzTXt "
            "TChunk TChunkIEND ");
}

// A chunk made by its own class's constructor is named after the class
// when the class name's part after "TChunk" has four characters, whatever
// the class it derives from is named; the plain TChunk has no name.
TEST(PngChunkClasses, EachClassNamesTheChunksItMakes) {
  const TClassRow rows[] = {
      ClassRow<TChunkIEND>("IEND"), ClassRow<TChunkIHDR>("IHDR"), ClassRow<TChunkIDAT>("IDAT"),
      ClassRow<TChunkPLTE>("PLTE"), ClassRow<TChunkgAMA>("gAMA"), ClassRow<TChunktRNS>("tRNS"),
      ClassRow<TChunkpHYs>("pHYs"), ClassRow<TChunktIME>("tIME"), ClassRow<TChunktEXt>("tEXt"),
      ClassRow<TChunkzTXt>("zTXt"), ClassRow<TChunk>(""),         ClassRow<TChunkruNt>("ruNt"),
      ClassRow<TChunkiTXtX>(""),
  };
  TPNGObject owner;
  for (const TClassRow& r : rows) {
    std::unique_ptr<TChunk> chunk = r.Make(owner);
    EXPECT_STREQ(chunk->ClassName(), r.ClassName);
    EXPECT_EQ(chunk->GetChunkName(), r.Name) << r.ClassName;
    EXPECT_EQ(chunk->Name(), TChunkName(r.Name)) << r.ClassName;
    EXPECT_EQ(&chunk->ChunkClass(), r.Class) << r.ClassName;
    // Made through the class reference, as the registry and Add make it.
    EXPECT_EQ(r.Class->Create(owner)->GetChunkName(), r.Name) << r.ClassName;
    // No data but the value 1 of a new gAMA chunk.
    EXPECT_EQ(chunk->DataSize(), std::string(r.Name) == "gAMA" ? 4u : 0u) << r.ClassName;
  }
}

// Adding a chunk of a class known only at run time places it by the list's
// rules, each class of the codec by its own, any other class right before
// IEND; a refused class leaves the list as it was.
TEST(PngChunkList, AddTakesAClassKnownAtRunTime) {
  const std::string refused =
      "The program tried to add a existent critical chunk to the current image which is not allowed.";
  struct Row {
    const TChunkClass& Class;
    std::string Once, Twice;  // the chunk names after one and two Adds
  };
  const std::string start = "IHDR PLTE IDAT tEXt IEND";
  const Row rows[] = {
      {ChunkClassOf<TChunkIEND>(), refused, refused},
      {ChunkClassOf<TChunkIHDR>(), refused, refused},
      {ChunkClassOf<TChunkIDAT>(), refused, refused},
      {ChunkClassOf<TChunkPLTE>(), refused, refused},
      {ChunkClassOf<TChunkgAMA>(), "IHDR gAMA PLTE IDAT tEXt IEND", refused},
      {ChunkClassOf<TChunktRNS>(), "IHDR PLTE tRNS IDAT tEXt IEND", refused},
      {ChunkClassOf<TChunkpHYs>(), "IHDR pHYs PLTE IDAT tEXt IEND", refused},
      {ChunkClassOf<TChunktIME>(), "IHDR PLTE IDAT tEXt tIME IEND", "IHDR PLTE IDAT tEXt tIME tIME IEND"},
      {ChunkClassOf<TChunktEXt>(), "IHDR PLTE IDAT tEXt tEXt IEND", "IHDR PLTE IDAT tEXt tEXt tEXt IEND"},
      {ChunkClassOf<TChunkzTXt>(), "IHDR PLTE IDAT tEXt zTXt IEND", "IHDR PLTE IDAT tEXt zTXt zTXt IEND"},
      {ChunkClassOf<TChunkruNt>(), "IHDR PLTE IDAT tEXt ruNt IEND", "IHDR PLTE IDAT tEXt ruNt ruNt IEND"},
  };
  for (const Row& row : rows) {
    TPNGObject png(COLOR_PALETTE, 8, 2, 2);
    png.AddtEXt("k", "v");
    ASSERT_EQ(Names(png), start);
    std::string expected = start;
    for (const std::string& after : {row.Once, row.Twice}) {
      TChunk* added = nullptr;
      std::string message = RaisedMessage<EPngError>([&] { added = png.ChunkList().Add(row.Class); });
      if (after == refused) {
        EXPECT_EQ(message, refused) << row.Class.ClassName();
      } else {
        expected = after;
        ASSERT_NE(added, nullptr) << row.Class.ClassName();
        EXPECT_STREQ(added->ClassName(), row.Class.ClassName());
        EXPECT_EQ(png.ChunkList().Item(added->GetIndex()), added) << row.Class.ClassName();
        EXPECT_EQ(&added->Owner(), &png) << row.Class.ClassName();
      }
      EXPECT_EQ(Names(png), expected) << row.Class.ClassName();
    }
  }
  // A plain chunk goes before IEND too, without a name.
  TPNGObject png(COLOR_RGB, 8, 2, 2);
  TChunk* plain = png.ChunkList().Add(ChunkClassOf<TChunk>());
  EXPECT_STREQ(plain->ClassName(), "TChunk");
  EXPECT_EQ(plain->GetIndex(), 2);
  EXPECT_EQ(plain->GetChunkName(), "");
}

// Adding a chunk: IHDR, IDAT, PLTE and IEND only while the sized
// constructor builds the picture (which adds IEND, IHDR, PLTE, IDAT in this
// order); gAMA, tRNS and pHYs once; gAMA, pHYs and PLTE right after the
// header, tRNS after the palette or before the image data or after the
// header, IHDR first, IEND last, others right before IEND.
TEST(PngChunkList, AddPlacesEachClassByItsRule) {
  TPNGObject palette(COLOR_PALETTE, 8, 2, 2), rgb(COLOR_RGB, 8, 2, 2), bare(COLOR_RGB, 8, 2, 2);
  EXPECT_EQ(Names(palette), "IHDR PLTE IDAT IEND");
  EXPECT_EQ(Names(rgb), "IHDR IDAT IEND");
  TPNGList& list = rgb.ChunkList();
  list.Add<TChunktEXt>();
  list.Add<TChunkgAMA>();
  list.Add<TChunkpHYs>();
  list.Add<TChunktRNS>();
  list.Add<TChunktIME>();
  list.Add<TChunkzTXt>();
  list.Add<TChunktEXt>();
  EXPECT_EQ(Names(rgb), "IHDR pHYs gAMA tRNS IDAT tEXt tIME zTXt tEXt IEND");
  palette.ChunkList().Add<TChunktRNS>();
  EXPECT_EQ(Names(palette), "IHDR PLTE tRNS IDAT IEND");
  bare.ChunkList().RemoveChunk(bare.ChunkList().FindChunk<TChunkIDAT>());
  bare.ChunkList().Add<TChunktRNS>();
  EXPECT_EQ(Names(bare), "IHDR tRNS IEND");

  const std::string refused =
      "The program tried to add a existent critical chunk to the current image which is not allowed.";
  auto added = [](auto add) { return RaisedMessage<EPngError>(add); };
  EXPECT_EQ(added([&] { list.Add<TChunkIHDR>(); }), refused);
  EXPECT_EQ(added([&] { list.Add<TChunkIDAT>(); }), refused);
  EXPECT_EQ(added([&] { list.Add<TChunkPLTE>(); }), refused);
  EXPECT_EQ(added([&] { list.Add<TChunkIEND>(); }), refused);
  EXPECT_EQ(added([&] { list.Add<TChunkgAMA>(); }), refused);
  EXPECT_EQ(added([&] { list.Add<TChunktRNS>(); }), refused);
  EXPECT_EQ(added([&] { list.Add<TChunkpHYs>(); }), refused);
  EXPECT_EQ(Names(rgb), "IHDR pHYs gAMA tRNS IDAT tEXt tIME zTXt tEXt IEND");

  // A list without IHDR or IEND takes nothing.
  const std::string invalid = "It's not allowed to add a new chunk because the current image is invalid.";
  TPNGObject empty;
  EXPECT_EQ(added([&] { empty.ChunkList().Add<TChunktEXt>(); }), invalid);
  bare.ChunkList().RemoveChunk(bare.ChunkList().FindChunk<TChunkIEND>());
  EXPECT_EQ(added([&] { bare.ChunkList().Add<TChunktIME>(); }), invalid);
  EXPECT_EQ(Names(bare), "IHDR tRNS");
}
