#include <gtest/gtest.h>

#include <functional>

#include "platform/icon.h"
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

std::unique_ptr<TIcon> LoadIcon(const std::vector<uint8_t>& file) {
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromMemory(file.data(), file.size());
  return icon;
}

// The way the program turns an icon into a bitmap: drawn over a fresh one.
std::unique_ptr<TBitmap> Render(TIcon& icon) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetWidth(icon.Width());
  bitmap->SetHeight(icon.Height());
  bitmap->Canvas()->Draw(0, 0, &icon);
  return bitmap;
}

void ExpectInvalidIcon(const std::vector<uint8_t>& file) {
  try {
    LoadIcon(file);
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Icon image is not valid");
  }
}

// A stand-in for the PNG codec: the PNG signature and IHDR chunk header with
// one-byte width and height, then the picture's one colour (red, green, blue).
class TFakePng : public TGraphic {
 public:
  int Width() const override { return FData[19]; }
  int Height() const override { return FData[23]; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return false; }
  void LoadFromStream(TStream& stream) override {
    if (stream.Read(FData, sizeof FData) != sizeof FData) throw EInvalidGraphic("PNG image is not valid");
  }
  void SaveToStream(TStream&) override {}
  void Draw(TCanvas&, const TRect&) override {}

 protected:
  void AssignTo(TPersistent* dest) const override {
    auto& bitmap = dynamic_cast<TBitmap&>(*dest);
    bitmap.SetSize(Width(), Height());
    bitmap.Canvas()->Brush.Color = RGB(FData[26], FData[27], FData[28]);
    bitmap.Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }

 private:
  uint8_t FData[29] = {};
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
class TPngRegistration {
 public:
  explicit TPngRegistration(TGraphicFactory factory) : FPrevious(TPicture::FindFileFormat("png")) {
    Set(std::move(factory));
  }
  ~TPngRegistration() { Set(FPrevious); }

 private:
  static void Set(TGraphicFactory factory) {
    if (factory) TPicture::RegisterFileFormat("png", "Portable network graphics", std::move(factory));
    else TPicture::UnregisterFileFormat("png");
  }
  TGraphicFactory FPrevious;
};

// What the icon fuzzer does with its input.
void LoadAndDraw(const uint8_t* data, size_t size) {
  TIcon icon;
  icon.LoadFromMemory(data, size);
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(icon.Width(), icon.Height());
  bitmap.Canvas()->Draw(0, 0, &icon);
}

}  // namespace

TEST(IconLoad, ChoosesNearestTo32ThenMostColours) {
  auto icon = LoadIcon(MakeIcon({{SolidDib(16, 8, clRed), 16, 16, 8},
                                 {SolidDib(32, 4, clLime), 32, 32, 4},
                                 {SolidDib(32, 8, clBlue), 32, 32, 8},
                                 {SolidDib(48, 32, clYellow), 48, 48, 32},
                                 {SolidDib(32, 8, clAqua), 32, 32, 8}}));
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->Height(), 32);
  EXPECT_EQ(PixelAt(*Render(*icon), 5, 5), clBlue);
  // Sizes and depths come from the images when the directory says otherwise.
  icon = LoadIcon(MakeIcon({{SolidDib(16, 8, clRed), 32, 32, 8}, {SolidDib(24, 8, clLime), 16, 16, 8}}));
  EXPECT_EQ(icon->Width(), 24);
  icon = LoadIcon(MakeIcon({{SolidDib(32, 4, clRed), 32, 32, 32}, {SolidDib(32, 8, clLime), 32, 32, 1}}));
  EXPECT_EQ(PixelAt(*Render(*icon), 0, 0), clLime);
  // A cursor file is read the same way (its directory holds hot spots).
  icon = LoadIcon(MakeIcon({{SolidDib(16, 24, clNavy), 16, 16, 7}}, 2));
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
    auto icon = LoadIcon(MakeIcon({{IconDib(3, 2, bits, bits <= 8 ? table : std::vector<TColor>{}, pixel,
                                            [](int x, int) { return x == 2; }),
                                    3, 2, static_cast<uint16_t>(bits)}}));
    const char* row = bits == 1 ? "0,0,255 0,0,255 255,255,255" : "0,0,255 255,0,0 255,255,255";
    EXPECT_EQ(PixelTable(*Render(*icon)), std::string(row) + "\n" + row) << bits;
  }
  // Where the mask is set, a colour other than black inverts the target.
  auto all = [](int, int) { return true; };
  auto red = [](int, int) { return uint32_t(clRed); };
  auto icon = LoadIcon(MakeIcon({{IconDib(1, 1, 24, {}, red, all), 1, 1, 24}}));
  EXPECT_EQ(PixelAt(*Render(*icon), 0, 0), clAqua);
  // Alpha: half-transparent red, transparent green, opaque blue; the mask is ignored.
  const uint32_t colors[3] = {0x7F0000FF, 0x0000FF00, 0xFFFF0000};
  icon = LoadIcon(MakeIcon({{IconDib(3, 1, 32, {}, [&](int x, int) { return colors[x]; }, all), 3, 1, 32}}));
  EXPECT_EQ(PixelTable(*Render(*icon)), "128,128,255 255,255,255 255,0,0");
}

TEST(IconDraw, StretchesClipsMirrorsAndWritesAnyTargetFormat) {
  // 2 x 2: red, lime / blue, masked.
  auto icon = LoadIcon(MakeIcon({{IconDib(2, 2, 8, {clBlack, clRed, clLime, clBlue},
                                          [](int x, int y) { return uint32_t(1 + x + 2 * y); },
                                          [](int x, int y) { return x == 1 && y == 1; }),
                                  2, 2, 8}}));
  TBitmap target;
  target.SetPixelFormat(pf8bit);
  target.SetSize(4, 3);
  target.Canvas()->StretchDraw(Rect(1, 1, 5, 5), icon.get());
  EXPECT_EQ(target.PixelFormat(), pf8bit);
  EXPECT_EQ(PixelTable(target, 2),
            "255,255 255,255 255,255 255,255\n255,255 0,0 0,0 0,255\n255,255 0,0 0,0 0,255");
  TBitmap small;
  small.SetPixelFormat(pf24bit);
  small.SetSize(2, 2);
  small.Canvas()->Draw(-1, -1, icon.get());  // only the masked corner lands
  small.Canvas()->StretchDraw(Rect(1, 1, -1, 2), icon.get());  // mirrored
  EXPECT_EQ(PixelTable(small), "255,255,255 255,255,255\n0,255,0 0,0,255");
}

TEST(IconLoad, PngEntriesGoThroughTheRegisteredClass) {
  const std::vector<uint8_t> file =
      MakeIcon({{SolidDib(16, 8, clRed), 16, 16, 8}, {FakePngData(32, clTeal), 0, 0, 32}});
  {
    TPngRegistration none(nullptr);
    ExpectInvalidIcon(file);
  }
  TPngRegistration fake([] { return std::unique_ptr<TGraphic>(new TFakePng); });
  auto icon = LoadIcon(file);
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
  EXPECT_THROW(LoadIcon(huge.Data), EOutOfMemory);
  // A missing mask leaves every pixel opaque.
  EXPECT_EQ(PixelTable(*Render(*LoadIcon(patched(14, colorEnd - 22, colorEnd))), 1),
            "0 0 0 0\n0 0 0 0\n0 0 0 0\n0 0 0 0");
}

TEST(IconStream, LoadSaveAndAssign) {
  TempDir dir;
  const std::vector<uint8_t> file = MakeIcon({{SolidDib(8, 4, clMaroon), 8, 8, 4}});
  WriteFile(dir.File("a.ico"), file);
  TIcon icon;
  icon.LoadFromFile(dir.File("a.ico"));
  TMemoryStream saved;
  icon.SaveToStream(saved);
  EXPECT_EQ(std::vector<uint8_t>(saved.Memory(), saved.Memory() + saved.Size()), file);
  TIcon copy;
  copy.Assign(&icon);
  EXPECT_EQ(PixelAt(*Render(copy), 7, 0), clMaroon);
  TBitmap bitmap;
  EXPECT_THROW(copy.Assign(&bitmap), EConvertError);
  // A failed load leaves the icon as it was.
  EXPECT_THROW(copy.LoadFromMemory(file.data(), 10), EInvalidGraphic);
  EXPECT_EQ(copy.Width(), 8);
}

TEST(IconRegressions, ReplayFuzzFindings) {
  for (const std::string& path : RegressionInputs("fuzz_ico")) {
    std::vector<uint8_t> data = ReadFile(path);
    try {
      LoadAndDraw(data.data(), data.size());
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message, "Icon image is not valid") << path;
    } catch (const EOutOfMemory&) {
    }
  }
}
