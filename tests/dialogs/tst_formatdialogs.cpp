// The options of the four target formats: what each dialog shows, its
// preview, and what OK, Cancel and "by default" leave in the job.
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "controls/xpcheckbox.h"
#include "controls/xpradiobutton.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/formatdialogs.h"
#include "dialogs/jpgoptions.h"
#include "dialogs/pngoptions.h"
#include "dialogs/radiogroup.h"
#include "engine/targetsummary.h"
#include "platform/windows/dialogs.h"
#include "tests/dialogs/formatdialogtest.h"

namespace {

// Mean absolute difference of two pictures of one size, per channel.
double MeanDifference(TBitmap& a, TBitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      TColor p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      sum += std::abs(GetRValue(p) - GetRValue(q)) + std::abs(GetGValue(p) - GetGValue(q)) +
             std::abs(GetBValue(p) - GetBValue(q));
    }
  return sum / (3.0 * a.Width() * a.Height());
}

// Writes the picture through the job's writer and reads the file back.
std::unique_ptr<TBitmap> WrittenPicture(TDialogJob& job, TBitmap& picture, const std::string& extension) {
  TBitmap work;
  work.Assign(&picture);
  job.Job.TargetExtension = extension;
  std::string name = job.Job.SaveBitmapToTarget(work, job.Folder.Path(), "written");
  if (name == "Error") return nullptr;
  auto read = std::make_unique<TBitmap>();
  if (!TJobRecord::LoadPictureToBitmap(job.Folder.File(name), *read)) return nullptr;
  read->SetPixelFormat(pf24bit);
  std::remove(job.Folder.File(name).c_str());
  return read;
}

void ClickOk(QWidget* dialog) { dialog->findChild<TXiButton*>("XiButton1")->Click(); }

using J = TJobRecord;

// Picks each item of one of the GIF dialog's lists in turn: its text, the
// codec's default it sets at once, and what OK stores with the text.
template <class T, size_t N, class M>
void PickEach(TFormGif& dialog, J& job, QComboBox* list, const std::pair<const char*, T> (&items)[N],
              const std::atomic<T>& codecDefault, T M::*member, std::string M::*text) {
  QCOMPARE(list->count(), int(N));
  for (int i = 0; i < int(N); ++i) {
    list->setCurrentIndex(i);
    QCOMPARE(list->currentText(), QString(items[i].first));
    QCOMPARE(codecDefault.load(), items[i].second);
    dialog.XiButton1Click();
    QCOMPARE(job.*member, items[i].second);
    QCOMPARE(job.*text, std::string(items[i].first));
  }
}

}  // namespace

class TestFormatDialogs : public QObject {
  Q_OBJECT

 private slots:
  void jpegShowsAndStoresTheQuality() {
    TDialogJob job;
    job.UsePicture(*MakeTestBitmap(120, 90), "gradient.bmp");
    TJPGForm dialog(nullptr, job.Job);
    double fine = MeanDifference(*dialog.BeforeBitmap, *dialog.AfterBitmap);
    dialog.XiTrackBar1->SetPosition(1);
    QCOMPARE(dialog.Panel1->Caption(), QString("1"));
    double coarse = MeanDifference(*dialog.BeforeBitmap, *dialog.AfterBitmap);
    QVERIFY2(coarse > 3 * fine, qPrintable(QString("%1 vs %2").arg(coarse).arg(fine)));
    // The after-picture is the decoded JPEG the writer writes.
    job.Job.JpegQuality = 1;
    auto written = WrittenPicture(job, *dialog.BeforeBitmap, ".jpg");
    QVERIFY(written && SameColors(*written, *dialog.AfterBitmap));
    // "by default" goes back to 100.
    dialog.XiButton3Click();
    QCOMPARE(dialog.Panel1->Caption(), QString("100"));
    QCOMPARE(MeanDifference(*dialog.BeforeBitmap, *dialog.AfterBitmap), fine);
    // OK takes the slider.
    dialog.XiTrackBar1->SetPosition(37);
    WhenShown([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Return); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(job.Job.JpegQuality, 37);
    QCOMPARE(TargetSummaryLines(job.Job, 1).back(), std::string("Compress: 37"));
    // A stored quality outside 1..100 is refused.
    for (int stored : {0, 101}) {
      job.Job.JpegQuality = stored;
      QCOMPARE(TJPGForm(nullptr, job.Job).XiTrackBar1->Position(), 100);
      QCOMPARE(job.Job.JpegQuality, 100);
    }
  }

  void gifShowsTheJobsOptions() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(80, 60, 2), "noise.bmp");
    job.Job.GifColorReduction = rmWindowsGray;
    job.Job.GifDitherMode = dmStucki;
    job.Job.GifColorBits = 5;
    job.Job.GifCompression = gcRLE;
    job.Job.GifTransparent = true;
    {
      TFormGif dialog(nullptr, job.Job);
      auto shown = [&] {
        return QStringList{dialog.ComboReduction->currentText(), dialog.ComboDither->currentText(),
                           dialog.ComboColor->currentText(), QString::number(dialog.CompressGroup->ItemIndex()),
                           dialog.CheckBox1->Checked() ? "transparent" : "opaque"};
      };
      QCOMPARE(shown(), (QStringList{"WindowsGray", "Stucki", "32", "1", "transparent"}));
      // "by default" brings every control back to the job's defaults.
      dialog.XiButton3Click();
      QCOMPARE(shown(), (QStringList{"Quantize", "Nearest", "256", "0", "opaque"}));
    }
    // A colour count the list lacks shows "256", and OK stores it.
    for (int bits : {0, 9}) {
      job.Job.GifColorBits = bits;
      TFormGif dialog(nullptr, job.Job);
      QCOMPARE(dialog.ComboColor->currentText(), QString("256"));
      dialog.XiButton1Click();
      QCOMPARE(job.Job.GifColorBits, 8);
      QCOMPARE(job.Job.GifColorsText, std::string("256"));
    }
  }

  // Every item of the three lists and of the compression group: what the
  // codec's defaults take at once, what OK stores with the item's text, and
  // the item a stored value opens with.
  void gifEveryListItem() {
    const std::pair<const char*, TColorReduction> reductions[] = {
        {"Netscape", rmNetscape},       {"Monochrome", rmMonochrome}, {"GrayScale", rmGrayScale},
        {"WindowsGray", rmWindowsGray}, {"Windows20", rmWindows20},   {"Windows256", rmWindows256},
        {"Quantize", rmQuantize},       {"QuantizeWindows", rmQuantizeWindows}};
    const std::pair<const char*, TDitherMode> dithers[] = {
        {"FloydSteinberg", dmFloydSteinberg}, {"Stucki", dmStucki}, {"Sierra", dmSierra}, {"JaJuNi", dmJaJuNI},
        {"SteveArche", dmSteveArche},         {"Burkes", dmBurkes}, {"Nearest", dmNearest}};
    const std::pair<const char*, int> colors[] = {{"8", 3}, {"16", 4}, {"32", 5}, {"64", 6}, {"128", 7}, {"256", 8}};
    const std::pair<const char*, TGIFCompression> compressions[] = {{"LZW", gcLZW}, {"RLE", gcRLE}};
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(16, 12, 6), "small.bmp");
    TFormGif dialog(nullptr, job.Job);
    QCOMPARE(dialog.CompressGroup->Items(), (QStringList{"LZW", "RLE"}));
    PickEach(dialog, job.Job, dialog.ComboReduction, reductions, GIFImageDefaultColorReduction,
             &J::GifColorReduction, &J::GifColorReductionText);
    PickEach(dialog, job.Job, dialog.ComboDither, dithers, GIFImageDefaultDitherMode, &J::GifDitherMode,
             &J::GifDitherText);
    PickEach(dialog, job.Job, dialog.ComboColor, colors, GIFImageDefaultColorReductionBits, &J::GifColorBits,
             &J::GifColorsText);
    if (QTest::currentTestFailed()) return;
    for (int i = 0; i < 2; ++i) {
      QTest::mouseClick(dialog.CompressGroup->Button(i), Qt::LeftButton, {}, QPoint(6, 6));
      QCOMPARE(GIFImageDefaultCompression.load(), compressions[i].second);
      dialog.XiButton1Click();
      QCOMPARE(job.Job.GifCompression, compressions[i].second);
    }
    // The other way: each stored value opens on its item.
    for (int i = 0; i < 8; ++i) {
      job.Job.GifColorReduction = reductions[i].second;
      job.Job.GifDitherMode = dithers[i % 7].second;
      job.Job.GifColorBits = colors[i % 6].second;
      job.Job.GifCompression = compressions[i % 2].second;
      TFormGif opened(nullptr, job.Job);
      QCOMPARE((QStringList{opened.ComboReduction->currentText(), opened.ComboDither->currentText(),
                            opened.ComboColor->currentText(), QString::number(opened.CompressGroup->ItemIndex())}),
               (QStringList{reductions[i].first, dithers[i % 7].first, colors[i % 6].first, QString::number(i % 2)}));
    }
  }

  void gifChoicesReachThePreviewAndOk() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(90, 70, 3), "noise.bmp");
    TFormGif dialog(nullptr, job.Job);
    dialog.ComboColor->setCurrentText("8");
    dialog.ComboReduction->setCurrentText("Monochrome");
    QVERIFY(ColorCount(*dialog.AfterBitmap) <= 2);
    dialog.ComboDither->setCurrentText("Burkes");
    dialog.CompressGroup->Button(1)->setFocus();
    QTest::keyClick(dialog.CompressGroup->Button(1), Qt::Key_Space);

    // A run saving a GIF under the open dialog sets the codec's defaults
    // from the job; the dialog keeps what its controls show.
    GIFImageDefaultColorReduction = rmNetscape;
    GIFImageDefaultColorReductionBits = 7;
    GIFImageDefaultDitherMode = dmSierra;
    GIFImageDefaultCompression = gcLZW;
    dialog.CheckBox1->SetChecked(true);
    dialog.CheckBox1Click();
    QVERIFY(ColorCount(*dialog.AfterBitmap) <= 3);  // two colours and the transparent one
    dialog.XiButton1Click();
    QCOMPARE(job.Job.GifColorBits, 3);
    QCOMPARE(TargetSummaryLines(job.Job, 2),
             (std::vector<std::string>{"Target: GIF files", "Colors: 8", "Reduction: Monochrome", "Dither: Burkes",
                                       "Compress: RLE", "Transparency: true"}));
  }

  // The after-picture is the GIF the writer writes, read back.
  void gifPreviewIsTheWrittenPicture() {
    TDialogJob job;
    // A white corner: with "transparent" those pixels are left out.
    auto picture = MakeNoiseBitmap(70, 50, 9);
    for (int y = 30; y < 50; ++y)
      for (int x = 0; x < 25; ++x) picture->Canvas()->SetPixel(x, y, clWhite);
    job.UsePicture(*picture, "corner.bmp");
    TFormGif dialog(nullptr, job.Job);
    dialog.ComboReduction->setCurrentText("Windows20");
    dialog.ComboDither->setCurrentText("FloydSteinberg");
    dialog.ComboColor->setCurrentText("64");
    dialog.CheckBox1->SetChecked(true);
    dialog.CheckBox1Click();
    dialog.XiButton1Click();
    auto written = WrittenPicture(job, *dialog.BeforeBitmap, ".gif");
    QVERIFY(written && dialog.AfterBitmap->Transparent());
    TBitmap& after = *dialog.AfterBitmap;
    int hidden = 0;
    for (int y = 0; y < after.Height(); ++y)
      for (int x = 0; x < after.Width(); ++x)
        if (PixelAt(after, x, y) != after.TransparentColor()) {
          QCOMPARE(PixelAt(after, x, y), PixelAt(*written, x, y));
        } else {
          QCOMPARE(PixelAt(*dialog.BeforeBitmap, x, y), clWhite);
          ++hidden;
        }
    QCOMPARE(hidden, 25 * 20);
  }

  void bmpPreviewIsWhatTheWriterWritesAndOkStoresIt() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(64, 48, 4), "noise.bmp");
    TBMPForm dialog(nullptr, job.Job);
    // Through every format and back, each preview fresh from the picture.
    for (int item : {0, 1, 2, 3, 4, 5, 2}) {
      dialog.RadioGroup1->Button(item)->setFocus();
      dialog.RadioGroup1->SetItemIndex(item);
      dialog.RadioGroup1Click();
      QCOMPARE(dialog.AfterBitmap->PixelFormat(), BmpFormatItems[size_t(item)].Format);
      job.Job.BmpPixelFormat = BmpFormatItems[size_t(item)].Format;
      auto written = WrittenPicture(job, *dialog.BeforeBitmap, ".bmp");
      QVERIFY2(written && SameColors(*dialog.AfterBitmap, *written), BmpFormatItems[size_t(item)].Caption);
    }
    // Space on "1 bit", then OK: the format and its text are stored.
    dialog.RadioGroup1->Button(0)->setFocus();
    QTest::keyClick(dialog.RadioGroup1->Button(0), Qt::Key_Space);
    QCOMPARE(ColorCount(*dialog.AfterBitmap), 2);
    WhenShown(ClickOk);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(TargetSummaryLines(job.Job, 0),
             (std::vector<std::string>{"Target: BMP files", "Pixel format: 1 bit"}));
    {
      TBMPForm other(nullptr, job.Job);
      other.XiButton3Click();  // "by default": 24 bit, the picture as it is
      QVERIFY(SameColors(*other.AfterBitmap, *other.BeforeBitmap));
    }
    job.Job.BmpPixelFormat = pf15bit;  // not offered: "24 bit"
    QCOMPARE(TBMPForm(nullptr, job.Job).RadioGroup1->ItemIndex(), 4);
  }

  // Every pixel format item: its caption, what OK stores, and the item a
  // stored format opens with (formats not offered open on "24 bit").
  void bmpEveryPixelFormatItem() {
    const struct {
      const char* Caption;
      TPixelFormat Format;
      const char* Text;
    } items[] = {{"1 bit", pf1bit, "Pixel format: 1 bit"},   {"4 bit", pf4bit, "Pixel format: 4 bit"},
                 {"8 bit", pf8bit, "Pixel format: 8 bit"},   {"16 bit", pf16bit, "Pixel format: 16 bit"},
                 {"24 bit", pf24bit, "Pixel format: 24 bit"}, {"32 bit", pf32bit, "Pixel format: 32 bit"}};
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(16, 12, 7), "small.bmp");
    QStringList captions;
    for (const auto& item : items) captions << item.Caption;
    for (int i = 0; i < 6; ++i) {
      job.Job.BmpPixelFormat = items[i].Format;
      TBMPForm dialog(nullptr, job.Job);
      QCOMPARE(dialog.RadioGroup1->Items(), captions);
      QCOMPARE(dialog.RadioGroup1->ItemIndex(), i);
      QCOMPARE(dialog.AfterBitmap->PixelFormat(), items[i].Format);
      const int other = (i + 3) % 6;
      QTest::mouseClick(dialog.RadioGroup1->Button(other), Qt::LeftButton, {}, QPoint(6, 6));
      dialog.XiButton1Click();
      QCOMPARE(job.Job.BmpPixelFormat, items[other].Format);
      QCOMPARE(job.Job.BmpPixelFormatText, std::string(items[other].Text));
    }
    for (TPixelFormat format : {pfDevice, pf15bit, pfCustom}) {
      job.Job.BmpPixelFormat = format;
      QCOMPARE(TBMPForm(nullptr, job.Job).RadioGroup1->ItemIndex(), 4);
    }
  }

  // The format command's dialog of each target format by its index.
  void eachFormatHasItsDialog() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(16, 12, 8), "small.bmp");
    QVERIFY(qobject_cast<TBMPForm*>(MakeFormatDialog(0, nullptr, job.Job).get()));
    QVERIFY(qobject_cast<TJPGForm*>(MakeFormatDialog(1, nullptr, job.Job).get()));
    QVERIFY(qobject_cast<TFormGif*>(MakeFormatDialog(2, nullptr, job.Job).get()));
    QVERIFY(qobject_cast<TPNGForm*>(MakeFormatDialog(3, nullptr, job.Job).get()));
    QVERIFY(!MakeFormatDialog(-1, nullptr, job.Job));
    QVERIFY(!MakeFormatDialog(4, nullptr, job.Job));
    QVERIFY(job.Messages.empty());
  }

  void pngShowsAndWritesItsThreeOptions() {
    TDialogJob job;
    job.Job.PreviewFile = "/pictures/a.png";
    QVERIFY(qobject_cast<TPNGForm*>(MakeFormatDialog(3, nullptr, job.Job).get()));
    {
      TPNGForm dialog(nullptr, job.Job);
      dialog.XiButton4Click();
      WhenShown(ClickOk);
      QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    }
    QCOMPARE(TargetSummaryLines(job.Job, 3),
             (std::vector<std::string>{"Target: PNG files", "Compress: 9", "Transp. color: clWhite", "Interlace: false"}));

    // The colour dialog: cancelled keeps the swatch, confirmed changes it.
    TColor offered = 0x123456;
    bool confirm = false;
    std::vector<TColor> opensOn;
    CommonDialogHooks().Color = [&](QWidget*, TColor& color) {
      opensOn.push_back(color);
      if (confirm) color = offered;
      return confirm;
    };
    {
      TPNGForm dialog(nullptr, job.Job);
      dialog.XiButton3Click();
      QCOMPARE(dialog.SwatchColor(), clWhite);
      confirm = true;
      dialog.XiButton3Click();
      QCOMPARE(dialog.SwatchColor(), offered);
      // ColorDialog1 opens on the swatch's colour each time.
      dialog.ColorDialog1.Color = 0x654321;
      dialog.XiButton3Click();
      QCOMPARE(opensOn, (std::vector<TColor>{clWhite, clWhite, offered}));
      QCOMPARE(dialog.ColorDialog1.Color, offered);
      QTest::mouseClick(dialog.CheckBox1, Qt::LeftButton);
      dialog.CSpinEdit1->setValue(2);
      WhenShown([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
      QCOMPARE(dialog.exec(), int(QDialog::Rejected));
      QCOMPARE(job.Job.PngCompressionLevel, 9);
      WhenShown(ClickOk);
      QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    }
    CommonDialogHooks().Color = nullptr;
    QCOMPARE(TargetSummaryLines(job.Job, 3),
             (std::vector<std::string>{"Target: PNG files", "Compress: 2", "Transp. color: $00123456",
                                       "Interlace: true"}));
  }

  void pngLevelFieldTakesDigitsAndKeepsZeroToNine() {
    // Typed digits only (the "x" is dropped), an empty field keeps the last
    // level, and Enter straight from the field is OK with the level kept in
    // range.
    TDialogJob job;
    {
      TPNGForm dialog(nullptr, job.Job);
      dialog.CSpinEdit1->setValue(4);
      dialog.CSpinEdit1->findChild<QLineEdit*>()->clear();
      dialog.XiButton1Click();
      QCOMPARE(job.Job.PngCompressionLevel, 4);
    }
    TPNGForm typed(nullptr, job.Job);
    WhenShown([&typed](QWidget*) {
      typed.CSpinEdit1->setFocus();
      typed.CSpinEdit1->findChild<QLineEdit*>()->selectAll();
      QTest::keyClicks(typed.CSpinEdit1, "x12");
      QTest::keyClick(typed.CSpinEdit1, Qt::Key_Return);
    });
    QCOMPARE(typed.exec(), int(QDialog::Accepted));
    QCOMPARE(job.Job.PngCompressionLevel, 9);
  }
};

WINDOW_TEST_MAIN(TestFormatDialogs)
#include "tst_formatdialogs.moc"
