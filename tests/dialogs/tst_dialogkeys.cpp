// The option dialogs from the keyboard: the arrow keys step through a list
// or a radio group and the focus stays there; a pick with the mouse moves to OK.
#include <QComboBox>
#include <QtTest>

#include "controls/xibutton.h"
#include "controls/xpradiobutton.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/radiogroup.h"
#include "gif/gifimage.h"
#include "tests/dialogs/formatdialogtest.h"

static QWidget* Focus() { return QApplication::focusWidget(); }

class TestDialogKeys : public QObject {
  Q_OBJECT

 private slots:
  void gifListsStepWithTheArrowKeys() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(80, 60, 2), "noise.bmp");
    TFormGif dialog(nullptr, job.Job);
    QVERIFY(ShowActive(dialog));
    dialog.ComboColor->setFocus();

    QTest::keyClick(dialog.ComboColor, Qt::Key_Up);
    QTest::keyClick(dialog.ComboColor, Qt::Key_Up);
    QCOMPARE(dialog.ComboColor->currentText(), QString("64"));
    QCOMPARE(GIFImageDefaultColorReductionBits, 6);
    QVERIFY(ColorCount(*dialog.AfterBitmap) <= 64);
    QCOMPARE(Focus(), static_cast<QWidget*>(dialog.ComboColor));
    dialog.ComboReduction->setFocus();
    QTest::keyClick(dialog.ComboReduction, Qt::Key_Home);
    QCOMPARE(GIFImageDefaultColorReduction, rmNetscape);
    QCOMPARE(Focus(), static_cast<QWidget*>(dialog.ComboReduction));
    // A pick from the open list (here made in code) moves on to OK.
    dialog.ComboDither->setCurrentIndex(0);
    QCOMPARE(GIFImageDefaultDitherMode, dmFloydSteinberg);
    QCOMPARE(Focus(), static_cast<QWidget*>(dialog.XiButton1));

    // The compression: the arrow key moves to RLE and stays there.
    TXPRadioButton* lzw = dialog.CompressGroup->Button(0);
    lzw->setFocus();
    QTest::keyClick(lzw, Qt::Key_Right);
    QCOMPARE(dialog.CompressGroup->ItemIndex(), 1);
    QCOMPARE(GIFImageDefaultCompression, gcRLE);
    QCOMPARE(Focus(), static_cast<QWidget*>(dialog.CompressGroup->Button(1)));
  }

  void bmpPixelFormatsStepWithTheArrowKeys() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(80, 60, 3), "noise.bmp");
    TBMPForm dialog(nullptr, job.Job);
    QVERIFY(ShowActive(dialog));
    TXPRadioButton* bits24 = dialog.RadioGroup1->Button(4);
    bits24->setFocus();
    QTest::keyClick(bits24, Qt::Key_Up);
    QTest::keyClick(Focus(), Qt::Key_Up);
    QCOMPARE(dialog.RadioGroup1->ItemIndex(), 2);  // 8 bit
    QCOMPARE(Focus(), static_cast<QWidget*>(dialog.RadioGroup1->Button(2)));
    QVERIFY(ColorCount(*dialog.AfterBitmap) <= 256);
    // A click moves on to OK.
    QTest::mouseClick(dialog.RadioGroup1->Button(0), Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(dialog.RadioGroup1->ItemIndex(), 0);
    QCOMPARE(Focus(), static_cast<QWidget*>(dialog.XiButton1));
  }
};

WINDOW_TEST_MAIN(TestDialogKeys)
#include "tst_dialogkeys.moc"
