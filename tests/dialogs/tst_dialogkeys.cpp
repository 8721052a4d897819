// The option dialogs driven from the keyboard: the arrow keys step through
// a list and the focus stays in it; a pick from the open list moves on to
// OK.
#include <QComboBox>
#include <QtTest>

#include "controls/xibutton.h"
#include "dialogs/avitogif.h"
#include "gif/gifimage.h"
#include "tests/dialogs/formatdialogtest.h"

class TestDialogKeys : public QObject {
  Q_OBJECT

 private slots:
  void gifListsStepWithTheArrowKeys() {
    TDialogJob job;
    job.UsePicture(*MakeNoiseBitmap(80, 60, 2), "noise.bmp");
    TFormGif dialog(nullptr, job.Job);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.ComboColor->setFocus();

    QTest::keyClick(dialog.ComboColor, Qt::Key_Up);
    QCOMPARE(dialog.ComboColor->currentText(), QString("128"));
    QCOMPARE(GIFImageDefaultColorReductionBits, 7);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.ComboColor));
    QTest::keyClick(dialog.ComboColor, Qt::Key_Up);
    QCOMPARE(dialog.ComboColor->currentText(), QString("64"));
    QVERIFY(ColorCount(*dialog.AfterBitmap) <= 64);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.ComboColor));

    dialog.ComboReduction->setFocus();
    QTest::keyClick(dialog.ComboReduction, Qt::Key_Home);
    QCOMPARE(dialog.ComboReduction->currentText(), QString("Netscape"));
    QCOMPARE(GIFImageDefaultColorReduction, rmNetscape);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.ComboReduction));

    // A pick from the open list (here made in code) moves on to OK.
    dialog.ComboDither->setCurrentIndex(0);
    QCOMPARE(GIFImageDefaultDitherMode, dmFloydSteinberg);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.XiButton1));
  }
};

WINDOW_TEST_MAIN(TestDialogKeys)

#include "tst_dialogkeys.moc"
