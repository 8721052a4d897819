// The preview frame of the JPEG, GIF and BMP dialogs: loading, fitting and
// centring the preview picture, and the way out when it cannot be loaded.
#include "controls/xipanel.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/formatdialogs.h"
#include "dialogs/jpgoptions.h"
#include "platform/metafile/helperhost.h"
#include "platform/windows/bitmapview.h"
#include "tests/support/picturefiles.h"
#include "tests/dialogs/formatdialogtest.h"

class TestFormatPreview : public QObject {
  Q_OBJECT

 private slots:
  void fitsAndCentresThePicture_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("placed");
    QTest::addColumn<QString>("status");
    QTest::newRow("small") << QSize(100, 50) << QRect(75, 100, 100, 50) << "normal";
    QTest::newRow("wide") << QSize(1000, 500) << QRect(2, 63, 246, 123) << "resizing";
    QTest::newRow("truncated") << QSize(300, 200) << QRect(2, 43, 245, 163) << "resizing";
    QTest::newRow("square fits") << QSize(246, 246) << QRect(2, 2, 246, 246) << "normal";
    QTest::newRow("one row") << QSize(2000, 1) << QRect(2, 124, 246, 1) << "resizing";
    QTest::newRow("one column") << QSize(1, 2000) << QRect(124, 2, 1, 246) << "resizing";
  }
  void fitsAndCentresThePicture() {
    QFETCH(QSize, picture);
    QFETCH(QRect, placed);
    QFETCH(QString, status);
    TDialogJob job;
    job.UsePicture(*MakeTestBitmap(picture.width(), picture.height()), "picture.bmp");
    // The BMP and GIF dialogs measure their "after" panel, the JPEG dialog
    // its "before" panel; all place the two boxes alike.
    TBMPForm bmp(nullptr, job.Job);
    TJPGForm jpeg(nullptr, job.Job);
    TFormGif gif(nullptr, job.Job);
    QVERIFY(job.Messages.empty());
    for (TFormatPreviewDialog* dialog : std::initializer_list<TFormatPreviewDialog*>{&bmp, &jpeg, &gif}) {
      QCOMPARE(dialog->Panel4->Caption(), status);
      // The fitted picture, and its own 24-bit copy at the "before" box's
      // size that the box shows and the conversions start from.
      QVERIFY(dialog->SourceBitmap && dialog->BeforeBitmap);
      TBitmap& source = *dialog->SourceBitmap;
      TBitmap& before = *dialog->BeforeBitmap;
      QCOMPARE(QSize(source.Width(), source.Height()), placed.size());
      QCOMPARE(source.PixelFormat(), pf24bit);
      QVERIFY(&before != &source);
      QCOMPARE(before.PixelFormat(), pf24bit);
      QCOMPARE(QSize(before.Width(), before.Height()), placed.size());
      QVERIFY(SameColors(before, source));
      QCOMPARE(dialog->AfterBitmap->Width(), placed.width());
      if (status == "normal") QVERIFY(SameColors(source, *MakeTestBitmap(picture.width(), picture.height())));
    }
    QCOMPARE(bmp.ImageBMP->geometry(), placed);
    QCOMPARE(gif.ImageSrc->geometry(), placed);
    QCOMPARE(jpeg.ImageSrc->geometry(), placed);
  }

  // GIF and palette BMP files load with 8 bits or fewer; the fit must see
  // their true colours.
  void palettePicturesKeepTheirColours_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("gif") << "halves.gif";
    QTest::newRow("8-bit bmp") << "halves.bmp";
  }
  void palettePicturesKeepTheirColours() {
    QFETCH(QString, name);
    TDialogJob job;
    auto picture = MakeFlatBitmap(600, 100, clRed);
    for (int y = 0; y < 100; ++y)
      for (int x = 300; x < 600; ++x) picture->Canvas()->SetPixel(x, y, clBlue);
    picture->SetPixelFormat(pf8bit);
    job.UsePicture(*picture, name.toStdString());
    TBMPForm dialog(nullptr, job.Job);
    QVERIFY(job.Messages.empty());
    TBitmap& before = *dialog.BeforeBitmap;
    QCOMPARE(dialog.Panel4->Caption(), QString("resizing"));
    const int middle = before.Height() / 2;
    QCOMPARE(PixelAt(before, 10, middle), clRed);
    QCOMPARE(PixelAt(before, before.Width() - 10, middle), clBlue);
    QCOMPARE(PixelAt(*dialog.AfterBitmap, before.Width() - 10, middle), clBlue);
  }

  void aPictureThatCannotBeLoadedEndsTheDialogWithCancel() {
    TDialogJob job;
    const std::string missing = job.Folder.File("gone.jpg");
    const std::string corrupt = job.Folder.File("broken.png");
    WriteTextFile(corrupt, "\x89PNG\r\n\x1a\n this is no picture");
    const std::string unknown = job.Folder.File("notes.txt");
    WriteTextFile(unknown, "text");
    TBitmap nothing;  // a picture without pixels
    nothing.SetPixelFormat(pf24bit);
    const std::string empty = job.UsePicture(nothing, "nothing.bmp");
    struct Case {
      std::string path, message;
    };
    const std::vector<Case> cases = {
        {missing, "The file: " + missing + " wasn't found"},
        {job.Folder.Path(), "The file: " + job.Folder.Path() + " wasn't found"},
        {corrupt, "This program cannot read the file: " + corrupt},
        {unknown, "This program cannot read the file: " + unknown},
        {empty, "This program cannot read the file: " + empty},
    };
    job.Job.JpegQuality = 55;
    job.Job.BmpPixelFormat = pf8bit;
    job.Job.GifColorBits = 4;
    for (const Case& c : cases) {
      for (int format = 0; format < 3; ++format) {
        job.Job.PreviewFile = c.path;
        job.Messages.clear();
        std::unique_ptr<QDialog> dialog = MakeFormatDialog(format, nullptr, job.Job);
        QCOMPARE(job.Messages, std::vector<std::string>{c.message});
        // Ends at once, never shown.
        QCOMPARE(dialog->exec(), int(QDialog::Rejected));
        QVERIFY(!dialog->isVisible());
      }
    }
    QCOMPARE(job.Job.JpegQuality, 55);
    QCOMPARE(job.Job.BmpPixelFormat, pf8bit);
    QCOMPARE(job.Job.GifColorBits, 4);
  }

  // A metafile is drawn for the preview in the helper; a drawing that fails
  // there is a file the program cannot read.
  void metafilesAreDrawnAndAFailedDrawingCannotBeRead() {
    TDialogJob job;
    job.Job.PreviewFile = job.Folder.File("square.emf");
    WriteFile(job.Job.PreviewFile, MakeEmfFile(2540, 2540, clRed, 0, 0, 96, 96));
    {
      TBMPForm dialog(nullptr, job.Job);
      QVERIFY(job.Messages.empty());
      QCOMPARE(PixelAt(*dialog.BeforeBitmap, 10, 10), clRed);
    }
    mfhost::SetTestSettings({.Fault = mfjob::TFault::Crash});
    std::unique_ptr<QDialog> dialog = MakeFormatDialog(0, nullptr, job.Job);
    mfhost::SetTestSettings({});
    QCOMPARE(job.Messages, std::vector<std::string>{"This program cannot read the file: " + job.Job.PreviewFile});
  }

  // The GIF "after" box leaves the transparent pixels out, so the silver
  // panel shows through.
  void transparentPixelsShowThePanel() {
    TDialogJob job;
    auto picture = MakeFlatBitmap(40, 40, clWhite);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x) picture->Canvas()->SetPixel(x, y, clNavy);
    job.UsePicture(*picture, "flag.bmp");
    job.Job.GifTransparent = true;
    TFormGif dialog(nullptr, job.Job);
    dialog.show();
    QImage shown = dialog.ImageGif->grab().toImage();
    QCOMPARE(shown.size(), QSize(40, 40));
    QCOMPARE(shown.pixelColor(5, 5), QColor(0, 0, 0x80));
    QCOMPARE(shown.pixelColor(5, 35), QColor(0xC0, 0xC0, 0xC0));
  }
};

WINDOW_TEST_MAIN(TestFormatPreview)
#include "tst_formatpreview.moc"
