// JPEG pictures: colour, grey and CMYK files, scaling, damaged files, the
// size and scan limits, encoding and the stored fuzz findings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <jpeglib.h>

#include "platform/graphics/jpeg.h"
#include "tests/support/craftedfiles.h"
#include "tests/support/testsupport.h"

namespace {

// Samples in the file's colour order (RGB, grey or CMYK), rows top first.
struct TSamples {
  int Width, Height, Components;
  std::vector<uint8_t> Bytes;
};

// Four flat quadrants, one colour (of Components samples) each.
TSamples Quadrants(int size, const std::vector<std::vector<uint8_t>>& colours) {
  int n = static_cast<int>(colours[0].size());
  TSamples s{size, size, n, {}};
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const auto& c = colours[(y >= size / 2) * 2 + (x >= size / 2)];
      s.Bytes.insert(s.Bytes.end(), c.begin(), c.end());
    }
  return s;
}

// Writes a JPEG with libjpeg directly, independent of TJPEGImage.
std::vector<uint8_t> WriteJpeg(const TSamples& s, J_COLOR_SPACE space, int quality, bool adobeMarker = false,
                               const std::vector<jpeg_scan_info>& scans = {}, bool arithmetic = false) {
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = s.Width;
  info.image_height = s.Height;
  info.input_components = s.Components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.write_Adobe_marker = adobeMarker;
  info.arith_code = arithmetic;
  if (!scans.empty()) {
    info.scan_info = scans.data();
    info.num_scans = static_cast<int>(scans.size());
  }
  jpeg_start_compress(&info, TRUE);
  for (int y = 0; y < s.Height; ++y) {
    JSAMPROW row = const_cast<uint8_t*>(&s.Bytes[size_t(y) * s.Width * s.Components]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

// Offset of the first marker 0xFF code, or npos.
size_t FindMarker(const std::vector<uint8_t>& data, uint8_t code) {
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == 0xFF && data[i + 1] == code) return i;
  return std::string::npos;
}

// Rewrites the size in the frame header.
void SetFrameSize(std::vector<uint8_t>& data, int width, int height) {
  size_t sof = std::min(FindMarker(data, 0xC0), FindMarker(data, 0xC2));
  data.at(sof + 5) = uint8_t(height >> 8), data[sof + 6] = uint8_t(height);
  data[sof + 7] = uint8_t(width >> 8), data[sof + 8] = uint8_t(width);
}

void ExpectNear(TColor actual, TColor expected, int tolerance) {
  for (int shift : {0, 8, 16})
    EXPECT_NEAR((actual >> shift) & 0xFF, (expected >> shift) & 0xFF, tolerance)
        << std::hex << actual << " " << expected;
}

TColor Grey(int v) { return RGB(v, v, v); }

// Decodes data and checks the colour in the middle of each quadrant.
void ExpectQuadrants(const std::vector<uint8_t>& data, std::vector<TColor> expected, bool grey = false) {
  TJPEGImage jpeg;
  jpeg.Grayscale = grey;
  jpeg.LoadFromMemory(data.data(), data.size());
  TBitmap& b = jpeg.Bitmap();
  ASSERT_EQ(b.PixelFormat(), pf24bit);
  for (int q = 0; q < 4; ++q) ExpectNear(PixelAt(b, 16 + 32 * (q % 2), 16 + 32 * (q / 2)), expected[q], 3);
}

// A progressive grey file of count scans: a DC scan, then the full AC band
// from bit al with its refinements down to bit 0, over and over (legal: each
// pass again starts at bit 0).
std::vector<uint8_t> ManyScans(int count, int size, bool arithmetic = false, int al = 0) {
  TSamples grey{size, size, 1, std::vector<uint8_t>(size_t(size) * size, 128)};
  std::vector<jpeg_scan_info> scans = {{1, {0}, 0, 0, 0, 0}, {1, {0}, 1, 63, 0, al}};
  for (int bit = al; bit > 0; --bit) scans.push_back({1, {0}, 1, 63, bit, bit - 1});
  auto data = WriteJpeg(grey, JCS_GRAYSCALE, 90, false, scans, arithmetic);
  size_t band = FindMarker(data, 0xDA) + 2;
  while (data[band] != 0xFF || data[band + 1] != 0xDA) ++band;
  std::vector<uint8_t> scan(data.begin() + long(band), data.end() - 2);
  for (int i = 2 * al + 3; i <= count; i += al + 1) data.insert(data.end() - 2, scan.begin(), scan.end());
  return data;
}

// A blank A4 page at 300 dpi with one line, in grey, arithmetic-coded in a
// progression that begins the AC bands a bit lower than libjpeg's own and
// refines them three times, as cjpeg's -scans makes it: 1.5 KB.
std::vector<uint8_t> DeepProgressionPage() {
  TSamples page{2480, 3508, 1, std::vector<uint8_t>(size_t(2480) * 3508, 255)};
  for (int y = 1750; y < 1753; ++y) std::fill_n(page.Bytes.begin() + y * 2480 + 200, 2080, 0);
  return WriteJpeg(page, JCS_GRAYSCALE, 50, false, {{1, {0}, 0, 0, 0, 1}, {1, {0}, 1, 5, 0, 3}, {1, {0}, 6, 63, 0, 3},
      {1, {0}, 1, 63, 3, 2}, {1, {0}, 1, 63, 2, 1}, {1, {0}, 0, 0, 1, 0}, {1, {0}, 1, 63, 1, 0}}, true);
}

}  // namespace

TEST(JpegDecoding, ColourGreyAndCmykFiles) {
  auto rgb = Quadrants(64, {{200, 30, 40}, {20, 180, 60}, {10, 20, 230}, {128, 128, 128}});
  std::vector<TColor> colours = {RGB(200, 30, 40), RGB(20, 180, 60), RGB(10, 20, 230), clGray};
  auto rgbFile = WriteJpeg(rgb, JCS_RGB, 95);
  ExpectQuadrants(rgbFile, colours);
  // One sequential scan per component: a multi-scan file that is not progressive.
  ExpectQuadrants(WriteJpeg(rgb, JCS_RGB, 95, false, {{1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0},
                                                      {1, {2}, 0, 63, 0, 0}}), colours);
  // Grayscale asks for grey output: libjpeg's luma of each colour.
  ExpectQuadrants(rgbFile, {Grey(82), Grey(118), Grey(41), clGray}, true);

  auto grey = Quadrants(64, {{0}, {70}, {190}, {255}});
  ExpectQuadrants(WriteJpeg(grey, JCS_GRAYSCALE, 95), {clBlack, Grey(70), Grey(190), clWhite});

  // The same samples mean different colours with and without the Adobe
  // marker: stored inverted with it, plain CMYK without.
  auto cmyk = Quadrants(64, {{200, 100, 50, 220}, {255, 0, 0, 255}, {0, 0, 0, 0}, {30, 60, 90, 128}});
  auto adobe = WriteJpeg(cmyk, JCS_CMYK, 100, true);
  ExpectQuadrants(adobe, {RGB(173, 86, 43), clRed, clBlack, RGB(15, 30, 45)});
  auto plain = WriteJpeg(cmyk, JCS_CMYK, 100, false);
  ExpectQuadrants(plain, {RGB(8, 21, 28), clBlack, clWhite, RGB(112, 97, 82)});
  ExpectQuadrants(adobe, {Grey(107), Grey(76), clBlack, Grey(27)}, true);
}

TEST(JpegDecoding, SizesScalesAndSettings) {
  auto data = WriteJpeg(Quadrants(64, {{90}, {90}, {90}, {90}}), JCS_GRAYSCALE, 90);
  SetFrameSize(data, 61, 35);  // the frame is padded to whole blocks: any smaller size decodes
  TJPEGImage jpeg;
  jpeg.LoadFromMemory(data.data(), data.size());
  EXPECT_EQ(Rect(0, 0, jpeg.Width(), jpeg.Height()), Rect(0, 0, 61, 35));
  jpeg.Scale = jsEighth;
  EXPECT_EQ(Rect(0, 0, jpeg.Width(), jpeg.Height()), Rect(0, 0, 8, 5));
  EXPECT_EQ(jpeg.Bitmap().Width(), 8);
  jpeg.Scale = jsHalf;  // a new setting decodes again
  jpeg.Performance = jpBestSpeed;
  EXPECT_EQ(Rect(0, 0, jpeg.Bitmap().Width(), jpeg.Bitmap().Height()), Rect(0, 0, 31, 18));
  ExpectNear(PixelAt(jpeg.Bitmap(), 30, 17), Grey(90), 2);

  auto direct = MakeTestBitmap(3, 3);  // decoding straight into a bitmap gives the same
  direct->SetPixelFormat(pf8bit);
  jpeg.DecodeInto(*direct);
  EXPECT_EQ(direct->PixelFormat(), pf24bit);
  EXPECT_TRUE(SameColors(*direct, jpeg.Bitmap()));

  TJPEGImage empty;
  EXPECT_THROW(empty.DIBNeeded(), EInvalidGraphic);
  EXPECT_THROW(empty.DecodeInto(*direct), EInvalidGraphic);
}

TEST(JpegDecoding, DamagedFilesRaiseEJPEG) {
  auto rgb = Quadrants(64, {{10, 200, 30}, {90, 20, 240}, {5, 5, 5}, {250, 240, 230}});
  auto data = WriteJpeg(rgb, JCS_RGB, 90);
  // Any cut fails with EJPEG, at load or at decoding, or (right before the
  // end marker) gives the whole picture.
  TJPEGImage jpeg;
  for (size_t size = 0; size < data.size(); ++size) {
    try {
      jpeg.LoadFromMemory(data.data(), size);
      jpeg.DIBNeeded();
      EXPECT_GE(size, data.size() - 2);
    } catch (const EJPEG&) {
    }
  }

  const char* garbage = "GIF89a: not a JPEG at all";
  EXPECT_THROW(jpeg.LoadFromMemory(reinterpret_cast<const uint8_t*>(garbage), 25), EJPEG);
  EXPECT_EQ(jpeg.Width(), 64);  // a failed load keeps the picture it had

  // Stray bytes before a marker only earn a warning: the picture is fine.
  auto stray = data;
  stray.insert(stray.begin() + static_cast<long>(FindMarker(stray, 0xDB)), {0x00, 0x42});
  jpeg.LoadFromMemory(stray.data(), stray.size());
  ExpectNear(PixelAt(jpeg.Bitmap(), 50, 50), RGB(250, 240, 230), 4);
}

TEST(JpegDecoding, RefusesHugeAndEndlessFiles) {
  auto baseline = WriteJpeg(Quadrants(16, {{1}, {2}, {3}, {4}}), JCS_GRAYSCALE, 90);
  SetFrameSize(baseline, 60000, 60000);
  // A progressive file keeps all coefficients: 2 bytes a pixel, too many
  // even when the pixels are few.
  auto progressive = ManyScans(2, 16);
  SetFrameSize(progressive, 60000, 60000);
  TJPEGImage jpeg;
  jpeg.LoadFromMemory(baseline.data(), baseline.size());
  EXPECT_EQ(jpeg.Width(), 60000);
  EXPECT_THROW(jpeg.DIBNeeded(), EOutOfMemory);
  jpeg.LoadFromMemory(progressive.data(), progressive.size());
  jpeg.Scale = jsEighth;
  EXPECT_THROW(jpeg.DIBNeeded(), EOutOfMemory);
  // At an eighth a single scan fits; the missing data ends the decoding.
  jpeg.LoadFromMemory(baseline.data(), baseline.size());
  EXPECT_THROW(jpeg.DIBNeeded(), EJPEG);

  TJPEGImage scans;
  auto data = ManyScans(1000, 8);
  scans.LoadFromMemory(data.data(), data.size());
  ExpectNear(PixelAt(scans.Bitmap(), 7, 7), clGray, 1);
  data = ManyScans(1001, 8);
  scans.LoadFromMemory(data.data(), data.size());
  EXPECT_THROW(scans.DIBNeeded(), EJPEG);
  // Fewer scans over a large picture cost as much.
  data = ManyScans(200, 8192);
  scans.LoadFromMemory(data.data(), data.size());
  EXPECT_THROW(scans.DIBNeeded(), EJPEG);
}

// Files whose scans may cost more than a few passes over their blocks and
// what their data pays for are refused; libjpeg's own progressions are not.
// What each kind of scan is charged a block before it is decoded: an
// arithmetic block a few steps (and the DC difference's bits on a first DC
// scan, a look for the last nonzero coefficient on an AC refinement; its AC
// band is charged as decoded), a Huffman AC refinement a quarter of its
// band, any other Huffman scan two steps.
TEST(JpegDecoding, EachKindOfScanIsChargedWhatItsBlocksCanCost) {
  const struct {
    bool Arithmetic, Progressive;
    int Ss, Se, Ah;
    int64_t Steps;
  } kinds[] = {
      {true, false, 0, 63, 0, 4 + 1 + 32},   {true, true, 0, 0, 0, 4 + 1 + 32}, {true, true, 0, 0, 1, 4 + 1},
      {true, true, 1, 63, 0, 4},             {true, true, 1, 5, 2, 4 + 5 / 4},  {true, true, 6, 63, 1, 4 + 63 / 4},
      {false, false, 0, 63, 0, 2},           {false, true, 0, 0, 0, 2},         {false, true, 0, 0, 1, 2},
      {false, true, 1, 63, 0, 2},            {false, true, 1, 63, 1, 2 + 63 / 4}, {false, true, 6, 13, 3, 2 + 8 / 4},
  };
  for (const auto& k : kinds)
    EXPECT_EQ(JpegBlockSteps(k.Arithmetic, k.Progressive, k.Ss, k.Se, k.Ah), k.Steps)
        << k.Arithmetic << k.Progressive << " " << k.Ss << "-" << k.Se << " " << k.Ah;
}

// What an arithmetic-coded block's AC band is charged from its coefficients
// (natural index, value): a decision a position up to its last nonzero
// coefficient and one for its end, two more for each nonzero coefficient
// and, in a first scan, two for each bit of a magnitude less 1 (one for 1).
TEST(JpegDecoding, ArithmeticBandIsChargedByItsCoefficients) {
  const struct {
    std::vector<std::pair<int, int16_t>> Coefficients;
    int Ss, Se, Ah, Al, Steps;
  } rows[] = {
      {{}, 1, 63, 0, 0, 1},  {{{1, 1}}, 6, 63, 0, 0, 1},  {{{1, -4}}, 1, 63, 0, 2, 5},  {{{63, 2}}, 6, 63, 1, 1, 61},
      {{{1, -3}, {16, 5}}, 1, 63, 0, 0, 3 + 4 + 4 + 6 + 1},  {{{63, 16384}}, 0, 63, 0, 0, 63 + 2 + 28 + 1},
  };
  for (const auto& r : rows) {
    int16_t block[64] = {};
    for (auto [i, v] : r.Coefficients) block[i] = v;
    EXPECT_EQ(JpegBandSteps(block, r.Ss, r.Se, r.Ah, r.Al), r.Steps) << r.Ss << "-" << r.Se << " " << r.Ah;
  }
}

// Files whose decoding would cost more than their allowance end within a
// tenth past it: refused as their scans are read or, arithmetic-coded, as
// their blocks decode, charged what they decoded. Data of a few trained
// blocks whose zero bits then decode into blocks of two thousand decisions
// each (whether the data ends or zero bytes follow) is refused; libjpeg's
// own progressions, and a deep one of a blank page, are not.
TEST(JpegDecoding, ScanWorkBound) {
  const std::pair<std::vector<uint8_t>, bool> rows[] = {
      {ManyScans(991, 512, true, 9), true},  // the AC band begun again after each refinement
      {ManyScans(991, 512, false, 9), true},
      {ManyScans(34, 2048, true, 10), true},  // thirty refinements of a large picture in a few hundred bytes
      {CraftedTrainedJpeg(1024, 1024, TJpegCraft::Baseline, 2048, 32), true},
      {CraftedTrainedJpeg(1024, 1024, TJpegCraft::Baseline, 2048, 32, 4096), true},
      {CraftedTrainedJpeg(1024, 1024, TJpegCraft::Cmyk, 16384, 32), true},
      {CraftedTrainedJpeg(1024, 1024, TJpegCraft::ScanPerComponent, 16384, 32), true},
      {CraftedTrainedJpeg(1024, 1024, TJpegCraft::ProgressiveGrey, 16384, 32), true},
      {CraftedJpeg(640, 480, TJpegCraft::Progressive), false},
      {CraftedJpeg(640, 480, TJpegCraft::Progressive444), false},
      {CraftedJpeg(640, 480, TJpegCraft::ProgressiveGrey), false},
      {CraftedJpeg(640, 480, TJpegCraft::Progressive, true), false},
      {CraftedJpeg(1024, 1024, TJpegCraft::ProgressiveGrey, true), false},  // 92 steps a block
      {DeepProgressionPage(), false},  // 113 steps a block of 160
  };
  for (const auto& [data, refused] : rows) {
    TJPEGImage jpeg;
    jpeg.LoadFromMemory(data.data(), data.size());
    try {
      jpeg.DIBNeeded();
      EXPECT_FALSE(refused) << data.size();
    } catch (const EJPEG& e) {
      EXPECT_TRUE(refused && e.Message == "JPEG image takes too much work to decode") << e.Message;
    }
    const TJpegWork& work = jpeg.DecodingWork();
    if (refused)
      EXPECT_TRUE(work.Steps > work.Allowance && work.Steps - work.Allowance < work.Allowance / 10) << data.size();
    else
      EXPECT_LT(work.Steps * 2, work.Allowance) << data.size();
  }
}

TEST(JpegLoading, FromStreamPositionAndRegressions) {
  auto data = WriteJpeg(Quadrants(64, {{0}, {1}, {2}, {3}}), JCS_GRAYSCALE, 90);
  TMemoryStream stream;
  stream.WriteBuffer("prefix", 6);
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  stream.SetPosition(6);
  TJPEGImage jpeg;
  jpeg.LoadFromStream(stream);
  EXPECT_EQ(jpeg.Data(), data);

  // As the fuzzer: the last byte picks the decoding settings.
  ReplayRegressionInputs("fuzz_jpeg", [](const std::vector<uint8_t>& input) {
    TJPEGImage image;
    uint8_t settings = input.empty() ? 0 : input.back();
    image.Scale = TJPEGScale(settings & 3);
    image.Performance = TJPEGPerformance(settings >> 2 & 1);
    image.Grayscale = settings >> 3 & 1;
    image.LoadFromMemory(input.data(), input.size());
    image.DIBNeeded();
  });
}

TEST(JpegEncoding, QualityModesAndRoundTrip) {
  auto picture = MakeTestBitmap(40, 30);
  TJPEGImage jpeg;
  jpeg.Assign(picture.get());
  auto byDefault = SavedBytes(jpeg);  // SaveToStream encodes first
  jpeg.CompressionQuality = 100;
  jpeg.Compress();
  EXPECT_GT(jpeg.Data().size(), byDefault.size());

  jpeg.ProgressiveEncoding = true;
  jpeg.Compress();
  EXPECT_NE(FindMarker(jpeg.Data(), 0xC2), std::string::npos);
  jpeg.ProgressiveEncoding = false;
  jpeg.Grayscale = true;
  jpeg.Compress();
  size_t sof = FindMarker(jpeg.Data(), 0xC0);
  ASSERT_NE(sof, std::string::npos);
  EXPECT_EQ(jpeg.Data()[sof + 9], 1);  // one component

  // Straight from a bitmap of any format: the same bytes, no pixels kept.
  for (TPixelFormat format : {pf8bit, pf24bit}) {
    auto source = MakeTestBitmap(40, 30);
    source->SetPixelFormat(format);
    TJPEGImage copied, borrowed;
    copied.Assign(source.get());
    copied.Compress();
    borrowed.CompressFrom(*source);
    EXPECT_EQ(borrowed.Data(), copied.Data()) << format;
    EXPECT_EQ(borrowed.Width(), 40);
  }

  TBitmap empty;
  TJPEGImage nothing;
  EXPECT_THROW(nothing.CompressFrom(empty), EJPEG);
  nothing.Assign(&empty);
  EXPECT_THROW(nothing.Compress(), EJPEG);
  EXPECT_THROW(SavedBytes(nothing), EJPEG);

  // Bitmap -> JPEG -> bytes -> JPEG -> bitmap, from every pixel format.
  for (TPixelFormat format : {pf1bit, pf8bit, pf16bit, pf32bit}) {
    auto quadrants = MakeColorBitmap(2, {RGB(200, 30, 40), clWhite, RGB(10, 20, 230), RGB(0, 128, 0)});
    auto source = MakeFlatBitmap(64, 48, clWhite);
    source->Canvas()->StretchDraw(Rect(0, 0, 64, 48), quadrants.get());
    source->SetPixelFormat(format);
    TJPEGImage out;
    out.Assign(source.get());
    out.CompressionQuality = 100;
    TBitmap back;
    back.Assign(LoadGraphic<TJPEGImage>(SavedBytes(out)).get());
    ASSERT_EQ(back.Width() * 100 + back.Height(), 6448);
    for (int q = 0; q < 4; ++q) {
      TPoint p = Point(16 + 32 * (q % 2), 12 + 24 * (q / 2));
      ExpectNear(PixelAt(back, p.X, p.Y), PixelAt(*source, p.X, p.Y), 4);
    }
  }
}
