// The flat edit box: change notification, limits and case, entering, its frame.
#include <QSignalSpy>
#include <QtTest>

#include "controls/xpedit.h"
#include "platform/windows/colors.h"
#include "tests/support/windowtest.h"

static QColor PixelOf(QWidget& widget, int x, int y) { return widget.grab().toImage().pixelColor(x, y); }

class TestXPEdit : public QObject {
  Q_OBJECT

 private slots:
  void everyTextChangeIsReported() {
    TXPEdit edit;
    QSignalSpy changes(&edit, &TXPEdit::OnChange);
    edit.SetText("12345");
    QCOMPARE(changes.count(), 1);
    edit.SetText("12345");  // the same text is no change
    edit.SetMaxLength(4);
    QCOMPARE(edit.Text(), QString("1234"));
    QCOMPARE(changes.count(), 2);
    edit.SetMaxLength(0);  // no limit
    QTest::keyClicks(&edit, "56");
    QVERIFY(edit.Modified());
    edit.SetText("new");  // code clears the modified flag
    QVERIFY(!edit.Modified());
  }

  void clearSelectionDeletesOnlyTheSelection() {
    TXPEdit edit;
    edit.SetText("abcdef");
    edit.SetSelStart(2);
    edit.ClearSelection();  // nothing selected: nothing goes
    QCOMPARE(edit.Text(), QString("abcdef"));
    edit.SetSelLength(2);
    edit.ClearSelection();
    QCOMPARE(edit.Text(), QString("abef"));
    edit.SelectAll();
    edit.SetReadOnly(true);
    edit.ClearSelection();
    QCOMPARE(edit.Text(), QString("abef"));
  }

  void caseAndDigitsFilterInput() {
    TXPEdit edit;
    edit.SetText("Photo");
    edit.SetModified(true);
    QSignalSpy changes(&edit, &TXPEdit::OnChange);
    edit.SetCharCase(ecUpperCase);
    QCOMPARE(edit.Text(), QString("PHOTO"));  // the text already there too
    QVERIFY(edit.Modified());
    QCOMPARE(changes.count(), 1);
    QTest::keyClicks(&edit, "abc");
    QCOMPARE(edit.Text(), QString("PHOTOABC"));
    edit.SetNumbersOnly(true);
    edit.SetText("12");
    QTest::keyClicks(&edit, "a3-");
    QCOMPARE(edit.Text(), QString("123"));
  }

  void tabSelectsAllAClickDoesNot() {
    QWidget window;
    auto* first = new TXPEdit(&window);
    auto* edit = new TXPEdit(&window);
    edit->move(0, 40);
    edit->SetText("C:/pictures");
    QVERIFY(ShowActive(window));
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Tab);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->SelText(), QString("C:/pictures"));
    first->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(30, edit->height() / 2));
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->SelLength(), 0);
    // Coming back to the window keeps what was selected.
    edit->SetSelStart(2);
    first->setFocus();
    edit->setFocus(Qt::ActiveWindowFocusReason);
    QCOMPARE(edit->SelLength(), 0);
  }

  void flatFrame() {
    TXPEdit edit;
    edit.resize(121, 25);
    const int y = edit.height() / 2;
    // Border widths are kept to 1..3; inside the border a ring in the
    // box's colour.
    edit.SetEnabledBorderWidth(7);
    QCOMPARE(PixelOf(edit, 2, y), ToQColor(0xBF9F7F));
    QCOMPARE(PixelOf(edit, 3, y), ToQColor(clWhite));
    edit.SetEnabledBorderWidth(0);
    edit.SetDisabledBorderWidth(2);
    edit.SetColor(clSilver);
    edit.setEnabled(false);
    QCOMPARE(PixelOf(edit, 2, y), ToQColor(clSilver));
    edit.setEnabled(true);
    QCOMPARE(PixelOf(edit, 1, y), ToQColor(clSilver));
  }
};

WINDOW_TEST_MAIN(TestXPEdit)
#include "tst_xpedit.moc"
