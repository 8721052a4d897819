// Every option a format dialog sets reaches the file a run writes: each
// option is set alone through the dialog's controls and taken with OK, then
// a picture is written through the target writer with the job's values, and
// the written file shows the option (in its bytes or in its pixels).
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <cstring>

#include "controls/xibutton.h"
#include "controls/xitrackbar.h"
#include "controls/xpcheckbox.h"
#include "controls/xpradiobutton.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/jpgoptions.h"
#include "dialogs/pngoptions.h"
#include "dialogs/radiogroup.h"
#include "png/pngimage.h"
#include "platform/windows/dialogs.h"
#include "tests/dialogs/formatdialogtest.h"

namespace {

using TBytes = std::vector<uint8_t>;

// Smooth colour ramps, as a photograph has them.
std::unique_ptr<TBitmap> Ramps(int width, int height) {
  auto picture = MakeFlatBitmap(width, height, clBlack);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = uint8_t(255 * (x + y) / (width + height));  // blue
      row[3 * x + 1] = uint8_t(255 * y / height);             // green
      row[3 * x + 2] = uint8_t(255 * x / width);              // red
    }
  }
  return picture;
}

// Columns cycling through five colours: every row repeats a short pattern
// (which LZW packs well) without two equal neighbours (no runs).
std::unique_ptr<TBitmap> Stripes(int width, int height) {
  const TColor colors[] = {clRed, clLime, clBlue, clYellow, clFuchsia};
  auto picture = MakeFlatBitmap(width, height, clBlack);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture->Canvas()->SetPixel(x, y, colors[x % 5]);
  return picture;
}

// A navy and a red band over white: the bottom-left pixel is white.
std::unique_ptr<TBitmap> Bands(int width, int height) {
  auto picture = MakeFlatBitmap(width, height, clWhite);
  for (int y = 0; y < height / 2; ++y)
    for (int x = 0; x < width; ++x) picture->Canvas()->SetPixel(x, y, y < height / 4 ? clNavy : clRed);
  return picture;
}

struct TOutputJob : TDialogJob {
  TOutputJob() { UsePicture(*Ramps(40, 30), "preview.bmp"); }

  // Opens the dialog, changes its controls as a user would and presses OK.
  template <class TDialog>
  void SetAndAccept(const std::function<void(TDialog&)>& change) {
    TDialog dialog(nullptr, Job);
    WhenShown([&dialog, &change](QWidget*) {
      change(dialog);
      dialog.XiButton1->Click();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
  }

  // The file the target writer makes of the picture with the job's values.
  TBytes Write(const TBitmap& picture, const std::string& extension) {
    TBitmap work;
    work.Assign(&picture);
    Job.TargetExtension = extension;
    const std::string name = Job.SaveBitmapToTarget(work, Folder.Path(), "written");
    if (name == "Error") return {};
    TBytes bytes = ReadFile(Folder.File(name));
    DeleteFile(Folder.File(name));
    return bytes;
  }

  // The pixels of written bytes as a reader shows them, 24-bit.
  std::unique_ptr<TBitmap> Read(const TBytes& bytes, const std::string& extension) {
    const std::string path = Folder.File("read" + extension);
    WriteFile(path, bytes);
    auto picture = std::make_unique<TBitmap>();
    if (!TJobRecord::LoadPictureToBitmap(path, *picture)) return nullptr;
    picture->SetPixelFormat(pf24bit);
    DeleteFile(path);
    return picture;
  }
};

// --- What the files hold ------------------------------------------------------

// The first three entries (in the file's zig-zag order) of the JPEG's
// quantisation table 0, the luminance table.
std::vector<int> JpegLuminanceTable(const TBytes& jpeg) {
  for (size_t p = 2; p + 4 < jpeg.size();) {
    if (jpeg[p] != 0xFF) return {};
    const uint8_t marker = jpeg[p + 1];
    const size_t length = size_t(jpeg[p + 2]) << 8 | jpeg[p + 3];
    if (marker == 0xDB) {
      for (size_t t = p + 4; t + 65 <= p + 2 + length && t + 65 <= jpeg.size(); t += 65)
        if (jpeg[t] == 0) return {jpeg[t + 1], jpeg[t + 2], jpeg[t + 3]};
    }
    if (marker == 0xDA) return {};
    p += 2 + length;
  }
  return {};
}

// libjpeg's table entry for a base value at a quality, limited to baseline.
int ScaledQuantity(int base, int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  return std::clamp((base * scale + 50) / 100, 1, 255);
}

struct TPngChunk {
  std::string Type;
  TBytes Data;
};

std::vector<TPngChunk> PngChunks(const TBytes& png) {
  std::vector<TPngChunk> chunks;
  for (size_t p = 8; p + 12 <= png.size();) {
    const size_t length = size_t(png[p]) << 24 | size_t(png[p + 1]) << 16 | size_t(png[p + 2]) << 8 | png[p + 3];
    if (p + 12 + length > png.size()) break;
    chunks.push_back({std::string(reinterpret_cast<const char*>(&png[p + 4]), 4),
                      TBytes(png.begin() + long(p + 8), png.begin() + long(p + 8 + length))});
    p += 12 + length;
  }
  return chunks;
}

const TPngChunk* FindChunk(const std::vector<TPngChunk>& chunks, const std::string& type) {
  for (const TPngChunk& chunk : chunks)
    if (chunk.Type == type) return &chunk;
  return nullptr;
}

// The compressed image data: the IDAT chunks joined.
TBytes ImageData(const std::vector<TPngChunk>& chunks) {
  TBytes data;
  for (const TPngChunk& chunk : chunks)
    if (chunk.Type == "IDAT") data.insert(data.end(), chunk.Data.begin(), chunk.Data.end());
  return data;
}

// The compressed image data the PNG codec makes of the picture at a level.
TBytes PngImageDataAt(const TBitmap& picture, int level) {
  TPNGObject png;
  png.CompressionLevel = level;
  png.Assign(&picture);
  TMemoryStream stream;
  png.SaveToStream(stream);
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  return ImageData(PngChunks(TBytes(bytes, bytes + stream.Size())));
}

// The blocks of a GIF file up to its first image.
struct TGifFile {
  bool Valid = false;
  int GlobalColors = 0;  // entries of the global colour map
  bool Transparent = false;
  int TransparentIndex = -1;
  size_t ImageData = 0;  // bytes of the first image's compressed data
};

TGifFile ParseGif(const TBytes& gif) {
  TGifFile file;
  if (gif.size() < 13 || std::memcmp(gif.data(), "GIF", 3) != 0) return file;
  size_t p = 13;
  if (gif[10] & 0x80) {
    file.GlobalColors = 2 << (gif[10] & 7);
    p += 3 * size_t(file.GlobalColors);
  }
  auto subBlocks = [&gif, &p] {
    size_t total = 0;
    while (p < gif.size() && gif[p] != 0) {
      total += gif[p];
      p += gif[p] + 1;
    }
    ++p;
    return total;
  };
  while (p + 2 < gif.size()) {
    const uint8_t kind = gif[p++];
    if (kind == 0x21) {
      const uint8_t label = gif[p++];
      if (label == 0xF9 && p + 5 < gif.size()) {
        file.Transparent = gif[p + 1] & 1;
        file.TransparentIndex = gif[p + 4];
      }
      subBlocks();
    } else if (kind == 0x2C && p + 10 < gif.size()) {
      const uint8_t packed = gif[p + 8];
      p += 9;
      if (packed & 0x80) p += 3 * size_t(2 << (packed & 7));
      ++p;  // the LZW code size
      file.ImageData = subBlocks();
      file.Valid = p <= gif.size();
      return file;
    } else {
      return file;
    }
  }
  return file;
}

// What the GIF writer makes of the picture with these options alone (every
// other option at the job's start value), as a reader shows it.
std::unique_ptr<TBitmap> GifOf(const TBitmap& picture, TColorReduction reduction, TDitherMode dither, int bits) {
  TGifConversion options;
  options.Reduction = reduction;
  options.Dither = dither;
  options.ColorBits = bits;
  return GifAfterPicture(picture, options);
}

// Picks each item of a GIF list in turn, the job holding the next item's
// value before: the file written from the ramps then shows the picture the
// picked item makes (expected, by item), not the one of the value before.
void EachGifItemReachesTheFile(const std::vector<std::unique_ptr<TBitmap>>& expected,
                               const std::function<void(TJobRecord&, int item)>& store,
                               const std::function<void(TFormGif&, int item)>& pick) {
  const int count = int(expected.size());
  auto picture = Ramps(48, 36);
  for (int item = 0; item < count; ++item) {
    TOutputJob job;
    const int previous = (item + 1) % count;
    store(job.Job, previous);
    job.SetAndAccept<TFormGif>([&pick, item](TFormGif& d) { pick(d, item); });
    auto written = job.Read(job.Write(*picture, ".gif"), ".gif");
    QVERIFY(written);
    QVERIFY2(SameColors(*written, *expected[size_t(item)]), qPrintable(QString("item %1").arg(item)));
    QVERIFY2(!SameColors(*written, *expected[size_t(previous)]), qPrintable(QString("item %1").arg(item)));
  }
}

int BmpBitCount(const TBytes& bmp) {
  if (bmp.size() < 30 || bmp[0] != 'B' || bmp[1] != 'M') return -1;
  return bmp[28] | bmp[29] << 8;
}

bool AllGrey(TBitmap& picture) {
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const TColor c = PixelAt(picture, x, y);
      if (GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c)) return false;
    }
  return true;
}

bool AllWebSafe(TBitmap& picture) {
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const TColor c = PixelAt(picture, x, y);
      if (GetRValue(c) % 0x33 || GetGValue(c) % 0x33 || GetBValue(c) % 0x33) return false;
    }
  return true;
}

void Type(QSpinBox* field, const QString& text) {
  field->setFocus();
  field->findChild<QLineEdit*>()->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

}  // namespace

class TestFormatOutput : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { CommonDialogHooks() = {}; }

  void jpegQualityReachesTheFile() {
    auto picture = Ramps(64, 48);
    for (int quality : {1, 10, 37, 50, 75, 99, 100}) {
      TOutputJob job;
      job.Job.JpegQuality = quality == 100 ? 50 : 100;
      job.SetAndAccept<TJPGForm>([quality](TJPGForm& d) { d.XiTrackBar1->SetPosition(quality); });
      const TBytes written = job.Write(*picture, ".jpg");
      QVERIFY(!written.empty());
      // The luminance table's first entries are 16, 11, 12 scaled by the
      // quality.
      QCOMPARE(JpegLuminanceTable(written),
               (std::vector<int>{ScaledQuantity(16, quality), ScaledQuantity(11, quality), ScaledQuantity(12, quality)}));
    }
  }

  void pngInterlaceReachesTheFile() {
    for (bool interlace : {true, false}) {
      TOutputJob job;
      job.Job.PngInterlace = !interlace;
      job.SetAndAccept<TPNGForm>([](TPNGForm& d) { QTest::mouseClick(d.CheckBox1, Qt::LeftButton); });
      const std::vector<TPngChunk> chunks = PngChunks(job.Write(*Ramps(40, 30), ".png"));
      const TPngChunk* header = FindChunk(chunks, "IHDR");
      QVERIFY(header && header->Data.size() == 13);
      QCOMPARE(int(header->Data[12]), interlace ? 1 : 0);
    }
  }

  // Each level writes the image data as the codec packs it at that level:
  // level 0 stores it, 9 packs it smallest.
  void pngCompressionLevelReachesTheFile() {
    auto picture = Ramps(96, 64);
    for (int y = 0; y < 64; y += 3)
      for (int x = y % 7; x < 96; x += 7) picture->Canvas()->SetPixel(x, y, clWhite);
    std::vector<TBytes> expected;
    for (int level = 0; level <= 9; ++level) expected.push_back(PngImageDataAt(*picture, level));
    const size_t raw = size_t(96 * 3 + 1) * 64;
    QVERIFY(expected[0].size() > raw && expected[9].size() < expected[1].size() && expected[1].size() < raw);
    for (int level = 0; level <= 9; ++level) {
      TOutputJob job;
      const int previous = (level + 5) % 10;
      job.Job.PngCompressionLevel = previous;
      job.SetAndAccept<TPNGForm>([level](TPNGForm& d) { Type(d.CSpinEdit1, QString::number(level)); });
      const TBytes written = ImageData(PngChunks(job.Write(*picture, ".png")));
      QVERIFY2(written == expected[size_t(level)], qPrintable(QString("level %1").arg(level)));
      QVERIFY2(written != expected[size_t(previous)], qPrintable(QString("level %1").arg(level)));
    }
  }

  void pngTransparentColourReachesTheFile() {
    auto picture = Ramps(40, 30);
    const TColor chosen = RGB(0x40, 0x80, 0xC0);
    for (TColor before : {clNone, TColor(clRed)}) {
      TOutputJob job;
      job.Job.PngTransparentColor = before;
      CommonDialogHooks().Color = [chosen](QWidget*, TColor& color) {
        color = chosen;
        return true;
      };
      job.SetAndAccept<TPNGForm>([](TPNGForm& d) { d.XiButton3->Click(); });
      const TPngChunk* transparency = FindChunk(PngChunks(job.Write(*picture, ".png")), "tRNS");
      QVERIFY(transparency);
      QCOMPARE(transparency->Data, (TBytes{0, 0x40, 0, 0x80, 0, 0xC0}));
    }
    // Without a colour the file has none.
    TOutputJob job;
    QVERIFY(!FindChunk(PngChunks(job.Write(*picture, ".png")), "tRNS"));
  }

  // "by default": no interlace, level 9, white transparent.
  void pngDefaultsReachTheFile() {
    TOutputJob job;
    job.Job.PngInterlace = true;
    job.Job.PngCompressionLevel = 0;
    job.Job.PngTransparentColor = clRed;
    job.SetAndAccept<TPNGForm>([](TPNGForm& d) { d.XiButton4->Click(); });
    const std::vector<TPngChunk> chunks = PngChunks(job.Write(*Ramps(40, 30), ".png"));
    QVERIFY(FindChunk(chunks, "IHDR") && FindChunk(chunks, "tRNS"));
    QCOMPARE(int(FindChunk(chunks, "IHDR")->Data[12]), 0);
    QVERIFY(ImageData(chunks) == PngImageDataAt(*Ramps(40, 30), 9));
    QCOMPARE(FindChunk(chunks, "tRNS")->Data, (TBytes{0, 0xFF, 0, 0xFF, 0, 0xFF}));
  }

  // Each reduction method picked from the list writes the picture as that
  // method makes it, which differs from what the method before made.
  void gifColorReductionReachesTheFile() {
    const TColorReduction methods[] = {rmNetscape,  rmMonochrome, rmGrayScale, rmWindowsGray,
                                       rmWindows20, rmWindows256, rmQuantize,  rmQuantizeWindows};
    std::vector<std::unique_ptr<TBitmap>> expected;
    for (TColorReduction method : methods) expected.push_back(GifOf(*Ramps(48, 36), method, dmNearest, 8));
    EachGifItemReachesTheFile(
        expected, [&methods](TJobRecord& job, int item) { job.GifColorReduction = methods[item]; },
        [](TFormGif& d, int item) { d.ComboReduction->setCurrentIndex(item); });
    QCOMPARE(ColorCount(*expected[1]), 2);  // "Monochrome"
    QVERIFY(AllGrey(*expected[1]) && AllGrey(*expected[2]) && AllGrey(*expected[3]));
    QVERIFY(AllWebSafe(*expected[0]));  // "Netscape"
  }

  // Each dither mode (with the 20 Windows colours, so that it shows).
  void gifDitherModeReachesTheFile() {
    const TDitherMode modes[] = {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes, dmNearest};
    constexpr int kWindows20Item = 4;
    std::vector<std::unique_ptr<TBitmap>> expected;
    for (TDitherMode mode : modes) expected.push_back(GifOf(*Ramps(48, 36), rmWindows20, mode, 8));
    EachGifItemReachesTheFile(
        expected, [&modes](TJobRecord& job, int item) { job.GifDitherMode = modes[item]; },
        [](TFormGif& d, int item) {
          d.ComboReduction->setCurrentIndex(kWindows20Item);
          d.ComboDither->setCurrentIndex(item);
        });
  }

  // Each colour count: the file holds at most that many colours, as the
  // quantizer picks them.
  void gifColorCountReachesTheFile() {
    auto picture = Ramps(48, 36);
    for (int item = 0; item < 6; ++item) {
      const int bits = item + 3;
      TOutputJob job;
      job.Job.GifColorBits = bits == 8 ? 3 : 8;
      job.SetAndAccept<TFormGif>([item](TFormGif& d) { d.ComboColor->setCurrentIndex(item); });
      const TBytes bytes = job.Write(*picture, ".gif");
      const TGifFile file = ParseGif(bytes);
      QVERIFY(file.Valid);
      QVERIFY2(file.GlobalColors <= 1 << bits, qPrintable(QString("%1 bits").arg(bits)));
      auto written = job.Read(bytes, ".gif");
      QVERIFY(written);
      QVERIFY2(ColorCount(*written) <= 1 << bits && ColorCount(*written) > 1 << (bits - 1),
               qPrintable(QString("%1 bits: %2 colours").arg(bits).arg(ColorCount(*written))));
      QVERIFY(SameColors(*written, *GifOf(*picture, rmQuantize, dmNearest, bits)));
    }
  }

  // RLE writes the same pixels as LZW in more bytes: runs are all it packs.
  void gifCompressionReachesTheFile() {
    auto picture = Stripes(60, 40);
    size_t sizes[2] = {};
    std::unique_ptr<TBitmap> pixels[2];
    for (int item : {0, 1}) {
      TOutputJob job;
      job.Job.GifCompression = item == 0 ? gcRLE : gcLZW;
      job.SetAndAccept<TFormGif>([item](TFormGif& d) {
        QTest::mouseClick(d.CompressGroup->Button(item), Qt::LeftButton, {}, QPoint(6, 6));
      });
      const TBytes bytes = job.Write(*picture, ".gif");
      const TGifFile file = ParseGif(bytes);
      QVERIFY(file.Valid);
      sizes[item] = file.ImageData;
      pixels[item] = job.Read(bytes, ".gif");
      QVERIFY(pixels[item]);
    }
    QVERIFY(SameColors(*pixels[0], *pixels[1]));
    QVERIFY(SameColors(*pixels[0], *picture));
    QVERIFY2(sizes[1] > 2 * sizes[0], qPrintable(QString("LZW %1, RLE %2 bytes").arg(sizes[0]).arg(sizes[1])));
  }

  // "transparent": the written GIF leaves out exactly the pixels of the
  // bottom-left pixel's colour; unchecked, none.
  void gifTransparencyReachesTheFile() {
    auto picture = Bands(40, 32);
    for (bool transparent : {true, false}) {
      TOutputJob job;
      job.Job.GifTransparent = !transparent;
      job.SetAndAccept<TFormGif>([](TFormGif& d) { QTest::mouseClick(d.CheckBox1, Qt::LeftButton); });
      const TBytes bytes = job.Write(*picture, ".gif");
      const TGifFile file = ParseGif(bytes);
      QVERIFY(file.Valid);
      QCOMPARE(file.Transparent, transparent);
      if (!transparent) continue;
      TMemoryStream stream;
      stream.WriteBuffer(bytes.data(), bytes.size());
      stream.SetPosition(0);
      TGIFImage gif;
      gif.LoadFromStream(stream);
      TGIFSubImage* frame = gif.Frames().SubImages(0);
      int hidden = 0;
      for (int y = 0; y < picture->Height(); ++y)
        for (int x = 0; x < picture->Width(); ++x) {
          const bool left = frame->Pixels(x, y) == file.TransparentIndex;
          QCOMPARE(left, PixelAt(*picture, x, y) == clWhite);
          hidden += left;
        }
      QCOMPARE(hidden, 40 * 16);
    }
  }

  // A photograph reduced to 256 colours fills the whole colour map: one
  // colour gives up its entry, and the file is transparent as asked.
  void gifTransparencyOfAPictureFillingEveryColour() {
    TOutputJob job;
    job.SetAndAccept<TFormGif>([](TFormGif& d) { QTest::mouseClick(d.CheckBox1, Qt::LeftButton); });
    QVERIFY(job.Job.GifTransparent && job.Job.GifColorBits == 8);
    const TGifFile file = ParseGif(job.Write(*Ramps(200, 150), ".gif"));
    QVERIFY(file.Valid);
    QVERIFY(file.Transparent);
  }

  void bmpPixelFormatReachesTheFile() {
    const int bitCounts[] = {1, 4, 8, 16, 24, 32};
    auto picture = Ramps(40, 30);
    for (int item = 0; item < 6; ++item) {
      TOutputJob job;
      job.Job.BmpPixelFormat = item == 4 ? pf8bit : pf24bit;
      job.SetAndAccept<TBMPForm>([item](TBMPForm& d) {
        QTest::mouseClick(d.RadioGroup1->Button(item), Qt::LeftButton, {}, QPoint(6, 6));
      });
      const TBytes bytes = job.Write(*picture, ".bmp");
      QCOMPARE(BmpBitCount(bytes), bitCounts[item]);
      auto written = job.Read(bytes, ".bmp");
      QVERIFY(written);
      if (bitCounts[item] <= 8) QVERIFY(ColorCount(*written) <= 1 << bitCounts[item]);
      if (bitCounts[item] >= 24) QVERIFY(SameColors(*written, *picture));
    }
  }
};

WINDOW_TEST_MAIN(TestFormatOutput)
#include "tst_formatoutput.moc"
