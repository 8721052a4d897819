// Icon files: the entry choice, masks and alpha when drawn, PNG entries,
// malformed files and the stored fuzz findings.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/graphics/icon.h"
#include "tests/support/testsupport.h"

namespace {

// An icon entry's bitmap: 40-byte header with the height doubled, table,
// colour rows and AND mask rows, both bottom-up. pixel(x, y) gives an index
// for indexed depths and 0xAABBGGRR for 24 and 32 bits.
std::vector<uint8_t> IconDib(int w, int h, int bits, const std::vector<TColor>& table,
                             const std::function<uint32_t(int, int)>& pixel,
                             const std::function<bool(int, int)>& masked = [](int, int) { return false; }) {
  ByteWriter out;
  out.U32(40).I32(w).I32(2 * h).U16(1).U16(static_cast<uint16_t>(bits)).Zeros(16);
  out.U32(static_cast<uint32_t>(table.size())).U32(0);
  for (TColor c : table) out.U8(GetBValue(c)).U8(GetGValue(c)).U8(GetRValue(c)).U8(0);
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(BytesPerScanLine(w, bits)));
    for (int x = 0; x < w; ++x) {
      uint32_t v = pixel(x, y);
      uint8_t* p = &row[static_cast<size_t>(x * bits / 8)];
      if (bits <= 8) *p |= static_cast<uint8_t>(v << (8 - bits - x * bits % 8));
      else
        for (int i = 0; i < bits / 8; ++i) p[i] = static_cast<uint8_t>(v >> (i == 3 ? 24 : 16 - 8 * i));
    }
    out.Bytes(row);
  }
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(BytesPerScanLine(w, 1)));
    for (int x = 0; x < w; ++x) row[static_cast<size_t>(x / 8)] |= masked(x, y) ? 0x80 >> (x % 8) : 0;
    out.Bytes(row);
  }
  return out.Data;
}

std::vector<uint8_t> SolidDib(int size, int bits, TColor color) {
  if (bits <= 8) return IconDib(size, size, bits, {clBlack, color}, [](int, int) { return 1; });
  return IconDib(size, size, bits, {}, [&](int, int) { return static_cast<uint32_t>(color); });
}

struct TEntry {
  std::vector<uint8_t> Image;
  uint8_t Width, Height;
  uint16_t Bits;
};

std::vector<uint8_t> MakeIcon(const std::vector<TEntry>& entries, uint16_t type = 1) {
  ByteWriter w;
  w.U16(0).U16(type).U16(static_cast<uint16_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (const TEntry& e : entries) {
    w.U8(e.Width).U8(e.Height).U16(0).U16(1).U16(e.Bits);
    w.U32(static_cast<uint32_t>(e.Image.size())).U32(offset);
    offset += static_cast<uint32_t>(e.Image.size());
  }
  for (const TEntry& e : entries) w.Bytes(e.Image);
  return w.Data;
}

// The way the program (and the fuzzer) turns an icon into a bitmap: drawn
// over a fresh white one.
std::unique_ptr<TBitmap> Render(TIcon& icon) {
  auto bitmap = MakeFlatBitmap(icon.Width(), icon.Height(), clWhite);
  bitmap->Canvas()->Draw(0, 0, &icon);
  return bitmap;
}

void ExpectInvalidIcon(const std::vector<uint8_t>& file) {
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { LoadGraphic<TIcon>(file); }), "Icon image is not valid");
}

// A stand-in for the PNG codec: the PNG signature and IHDR chunk header with
// one-byte width and height, then the picture's one colour (red, green, blue).
class TFakePng : public TBitmap {
 public:
  void LoadFromStream(TStream& stream) override {
    uint8_t data[29];
    if (stream.Read(data, sizeof data) != sizeof data) throw EInvalidGraphic("PNG image is not valid");
    SetSize(data[19], data[23]);
    Canvas()->Brush.Color = RGB(data[26], data[27], data[28]);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }
};

std::vector<uint8_t> FakePngData(uint8_t size, TColor color) {
  ByteWriter b;
  b.Bytes(std::vector<uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}).U32(0x0D000000).Text("IHDR");
  b.U32(uint32_t(size) << 24).U32(uint32_t(size) << 24).U8(8).U8(6);
  b.U8(GetRValue(color)).U8(GetGValue(color)).U8(GetBValue(color));
  return b.Data;
}

// Puts a graphic class in place for "png" (none for an empty factory) and
// brings back the one registered before.
struct TPngRegistration {
  explicit TPngRegistration(TGraphicFactory factory) { Set(std::move(factory)); }
  ~TPngRegistration() { Set(Previous); }
  static void Set(TGraphicFactory factory) {
    if (factory) TPicture::RegisterFileFormat("png", "Portable network graphics", std::move(factory));
    else TPicture::UnregisterFileFormat("png");
  }
  TGraphicFactory Previous = TPicture::FindFileFormat("png");
};

}  // namespace

TEST(IconLoad, ChoosesNearestTo32ThenMostColours) {
  auto icon = LoadGraphic<TIcon>(MakeIcon({{SolidDib(16, 8, clRed), 16, 16, 8},
                                           {SolidDib(32, 4, clLime), 32, 32, 4},
                                           {SolidDib(32, 8, clBlue), 32, 32, 8},
                                           {SolidDib(48, 32, clYellow), 48, 48, 32},
                                           {SolidDib(32, 8, clAqua), 32, 32, 8}}));
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(PixelAt(*Render(*icon), 5, 5), clBlue);
  // Sizes and depths come from the images when the directory says otherwise.
  icon = LoadGraphic<TIcon>(
      MakeIcon({{SolidDib(16, 8, clRed), 32, 32, 8}, {SolidDib(24, 8, clLime), 16, 16, 8}}));
  EXPECT_EQ(icon->Width(), 24);
  icon = LoadGraphic<TIcon>(
      MakeIcon({{SolidDib(32, 4, clRed), 32, 32, 32}, {SolidDib(32, 8, clLime), 32, 32, 1}}));
  EXPECT_EQ(PixelAt(*Render(*icon), 0, 0), clLime);
  // A cursor file is read the same way (its directory holds hot spots).
  icon = LoadGraphic<TIcon>(MakeIcon({{SolidDib(16, 24, clNavy), 16, 16, 7}}, 2));
  EXPECT_EQ(PixelAt(*Render(*icon), 15, 15), clNavy);
}

TEST(IconDraw, MaskAndAlphaOverWhite) {
  // Column 0 red, column 1 blue (red at 1 bit), column 2 masked and black.
  const std::vector<TColor> table = {clBlack, clRed, clBlue};
  for (int bits : {1, 4, 8, 24, 32}) {
    auto pixel = [&](int x, int) {
      if (x == 2) return 0u;
      return static_cast<uint32_t>(bits == 1 ? 1 : bits <= 8 ? x + 1 : table[static_cast<size_t>(x + 1)]);
    };
    auto icon = LoadGraphic<TIcon>(MakeIcon({{IconDib(3, 2, bits, bits <= 8 ? table : std::vector<TColor>{},
                                                      pixel, [](int x, int) { return x == 2; }),
                                              3, 2, static_cast<uint16_t>(bits)}}));
    EXPECT_EQ(ColorLetters(*Render(*icon)), bits == 1 ? "RRW\nRRW" : "RBW\nRBW") << bits;
  }
  // Where the mask is set, a colour other than black inverts the target.
  auto all = [](int, int) { return true; };
  auto red = [](int, int) { return uint32_t(clRed); };
  auto icon = LoadGraphic<TIcon>(MakeIcon({{IconDib(1, 1, 24, {}, red, all), 1, 1, 24}}));
  EXPECT_EQ(PixelAt(*Render(*icon), 0, 0), clAqua);
  // Alpha: half-transparent red, transparent green, opaque blue; the mask is ignored.
  const uint32_t colors[3] = {0x7F0000FF, 0x0000FF00, 0xFFFF0000};
  icon = LoadGraphic<TIcon>(
      MakeIcon({{IconDib(3, 1, 32, {}, [&](int x, int) { return colors[x]; }, all), 3, 1, 32}}));
  EXPECT_EQ(PixelTable(*Render(*icon)), "128,128,255 255,255,255 255,0,0");
}

TEST(IconDraw, StretchesClipsMirrorsAndWritesAnyTargetFormat) {
  // 2 x 2: red, lime / blue, masked.
  auto icon = LoadGraphic<TIcon>(MakeIcon({{IconDib(2, 2, 8, {clBlack, clRed, clLime, clBlue},
                                                    [](int x, int y) { return uint32_t(1 + x + 2 * y); },
                                                    [](int x, int y) { return x == 1 && y == 1; }),
                                            2, 2, 8}}));
  auto target = MakeFlatBitmap(4, 3, clWhite, pf8bit);
  target->Canvas()->StretchDraw(Rect(1, 1, 5, 5), icon.get());
  EXPECT_EQ(target->PixelFormat(), pf8bit);
  EXPECT_EQ(ColorLetters(*target), "WWWW\nWRRG\nWRRG");
  auto small = MakeFlatBitmap(2, 2, clWhite);
  small->Canvas()->Draw(-1, -1, icon.get());                    // only the masked corner lands
  small->Canvas()->StretchDraw(Rect(1, 1, -1, 2), icon.get());  // mirrored
  EXPECT_EQ(ColorLetters(*small), "WW\nGR");
}

TEST(IconLoad, PngEntriesGoThroughTheRegisteredClass) {
  const std::vector<uint8_t> file =
      MakeIcon({{SolidDib(16, 8, clRed), 16, 16, 8}, {FakePngData(32, clTeal), 0, 0, 32}});
  {
    TPngRegistration none(nullptr);
    ExpectInvalidIcon(file);
  }
  TPngRegistration fake([] { return std::unique_ptr<TGraphic>(new TFakePng); });
  auto icon = LoadGraphic<TIcon>(file);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(PixelAt(*Render(*icon), 31, 31), clTeal);
  std::vector<uint8_t> broken = FakePngData(32, clTeal);
  broken.pop_back();
  ExpectInvalidIcon(MakeIcon({{broken, 32, 32, 32}}));
}

TEST(IconLoad, MalformedFilesRaise) {
  const std::vector<uint8_t> valid = MakeIcon({{SolidDib(4, 8, clRed), 4, 4, 8}});
  auto patched = [&](size_t at, uint32_t v, size_t size = 0) {
    ByteWriter w{valid};
    w.PatchU32(at, v);
    if (size) w.Data.resize(size);
    return w.Data;
  };
  const size_t colorEnd = 22 + 40 + 8 + 16;
  for (const std::vector<uint8_t>& file : {
           std::vector<uint8_t>{}, patched(0, 1), patched(0, 3 << 16),  // no directory, reserved, type
           patched(4, 0, 6), patched(0, 1 << 16, 16),                   // no entries, directory cut short
           patched(14, 0), patched(14, 100000), patched(18, 100000),    // entry empty, past the end
           patched(22, 7), patched(26, 0), patched(38, 1),              // header, zero width, RLE8
           patched(30, 80000), patched(14, colorEnd - 22 - 4, colorEnd - 4),  // colour rows cut short
       })
    ExpectInvalidIcon(file);
  // A huge entry is refused by the size limit.
  ByteWriter huge{patched(26, 40000)};
  huge.PatchU32(30, 80000);
  EXPECT_THROW(LoadGraphic<TIcon>(huge.Data), EOutOfMemory);
  // A missing mask leaves every pixel opaque.
  EXPECT_EQ(ColorLetters(*Render(*LoadGraphic<TIcon>(patched(14, colorEnd - 22, colorEnd)))),
            "RRRR\nRRRR\nRRRR\nRRRR");
}

TEST(IconStream, LoadSaveAndAssign) {
  TempDir dir;
  const std::vector<uint8_t> file = MakeIcon({{SolidDib(8, 4, clMaroon), 8, 8, 4}});
  WriteFile(dir.File("a.ico"), file);
  TIcon icon;
  icon.LoadFromFile(dir.File("a.ico"));
  EXPECT_EQ(SavedBytes(icon), file);
  TIcon copy;
  copy.Assign(&icon);
  EXPECT_EQ(PixelAt(*Render(copy), 7, 0), clMaroon);
  // A failed load leaves the icon as it was.
  EXPECT_THROW(copy.LoadFromMemory(file.data(), 10), EInvalidGraphic);
  EXPECT_EQ(copy.Width(), 8);
}

TEST(IconRegressions, ReplayFuzzFindings) {
  ReplayRegressionInputs(
      "fuzz_ico", [](const std::vector<uint8_t>& data) { Render(*LoadGraphic<TIcon>(data)); },
      "Icon image is not valid");
}

TEST(IconClaim, EveryEntryTheIconReadsIsClaimedAtItsSize) {
  // Entries of every header size the bitmap reader knows (and one it does
  // not), every bit count and every compression: wherever the icon reads
  // the entry, its claim is readable at the icon's size.
  std::set<uint32_t> claimedHeaders;
  for (uint32_t header : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u})
    for (uint16_t bits : {1, 4, 8, 16, 24, 32})
      for (uint32_t compression = 0; compression <= 6; ++compression) {
        if (header == 12 && compression > 0) continue;
        const int w = 5, h = 3;
        ByteWriter dib;
        if (header == 12) {
          dib.U32(12).U16(w).U16(2 * h).U16(1).U16(bits);
        } else {
          dib.U32(header).I32(w).I32(2 * h).U16(1).U16(bits).U32(compression).Zeros(20);
          // Colour masks, inside a longer header or behind a short one.
          const bool masked = compression == 3 || compression == 6;
          const size_t masks = header > 40 ? header - 40 : masked ? (compression == 6 ? 16 : 12) : 0;
          const uint32_t values[] = {0x7C00, 0x03E0, 0x001F, 0x8000};
          for (size_t i = 0; i < masks / 4; ++i) dib.U32(i < 4 ? values[i] : 0);
        }
        if (bits <= 8) dib.Zeros((header == 12 ? 3u : 4u) << bits);
        dib.Zeros(size_t(BytesPerScanLine(w, bits) + BytesPerScanLine(w, 1)) * h);
        const std::vector<uint8_t> icon = MakeIcon({{dib.Data, uint8_t(w), uint8_t(h), bits}});
        TIcon loaded;
        try {
          loaded.LoadFromMemory(icon.data(), icon.size());
        } catch (const Exception&) {
          continue;
        }
        TReadOnlyMemoryStream stream(icon.data(), icon.size());
        int64_t width = 0, height = 0, bytes = 0;
        const std::string row = std::to_string(header) + "/" + std::to_string(bits) + "/" + std::to_string(compression);
        ASSERT_TRUE(IconLoadClaim(stream, nullptr, width, height, bytes)) << row;
        EXPECT_EQ(width, loaded.Width()) << row;
        EXPECT_EQ(height, loaded.Height()) << row;
        claimedHeaders.insert(header);
      }
  EXPECT_EQ(claimedHeaders, (std::set<uint32_t>{12, 40, 52, 56, 64, 108, 124}));
}
