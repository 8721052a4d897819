// The flat edit box: change notification, limits and case, entering, its frame.
#include <QClipboard>
#include <QSignalSpy>
#include <QtTest>

#include "controls/xpedit.h"
#include "platform/windows/colors.h"
#include "tests/controls/controllooks.h"
#include "tests/support/windowtest.h"

static QColor PixelOf(QWidget& widget, int x, int y) { return widget.grab().toImage().pixelColor(x, y); }

// Types the text key by key, also characters no key of the test's keyboard
// has.
static void TypeText(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
  }
}

// A 121 x 25 box's flat frame: `width` rings in the border colour from the
// edge inwards, on all four sides and at the corners, then one ring and the
// ground in the box's colour.
static void CheckFrame(TPixelCheck& check, int width, TColor border, TColor box) {
  const int r = 120, b = 24;
  for (int k = 0; k < width; ++k)
    for (QPoint p : {QPoint(k, 12), QPoint(r - k, 12), QPoint(60, k), QPoint(60, b - k), QPoint(k, k),
                     QPoint(r - k, k), QPoint(k, b - k), QPoint(r - k, b - k)})
      check.At(p, border, "border");
  const int k = width;
  for (QPoint p : {QPoint(k, 12), QPoint(r - k, 12), QPoint(60, k), QPoint(60, b - k), QPoint(k, k),
                   QPoint(r - k, b - k), QPoint(100, 12)})
    check.At(p, box, "the box's colour");
}

// Tells whether the box held back the middle press that brought the focus.
class TMiddleProbe : public TXPEdit {
 public:
  using TXPEdit::TXPEdit;
  bool PressHeld = false;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    TXPEdit::mousePressEvent(event);
    if (event->button() == Qt::MiddleButton) PressHeld = FMiddleEntered;
  }
};

class TestXPEdit : public QObject {
  Q_OBJECT

 private slots:
  void defaults() {
    TXPEdit edit;
    QCOMPARE(edit.width(), 121);
    QCOMPARE(QList<TColor>({edit.Color(), edit.EnabledBorderColor(), edit.DisabledBorderColor()}),
             QList<TColor>({0xFFFFFF, 0xBF9F7F, 0xB8D8D7}));
    QCOMPARE(QList<int>({edit.EnabledBorderWidth(), edit.DisabledBorderWidth(), edit.CharCase(), edit.MaxLength()}),
             QList<int>({1, 1, ecNormal, 0}));
    QVERIFY(edit.PasswordChar().isNull() && !edit.ReadOnly() && edit.AutoSize() && !edit.NumbersOnly());
    QVERIFY(edit.Text().isEmpty() && !edit.Modified() && !edit.CanUndo());
    QCOMPARE(edit.focusPolicy(), Qt::StrongFocus);
  }

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

  // Only '0'-'9' enter a digits-only box: the digits of other scripts
  // (Arabic-Indic, full-width) are no number to its readers.
  void digitsOnlyMeansZeroToNine() {
    TXPEdit edit;
    edit.SetNumbersOnly(true);
    TypeText(&edit, QString::fromUtf8("4\u0663\uFF135"));
    QCOMPARE(edit.Text(), QString("45"));
    for (const char* pasted : {"\u0667", "\uFF10\uFF10", "7\u06F08"}) {
      QApplication::clipboard()->setText(QString::fromUtf8(pasted));
      edit.PasteFromClipboard();
      edit.SetSelTextBuf(pasted, 16);
      QCOMPARE(edit.Text(), QString("45"));
    }
    QApplication::clipboard()->setText("06");
    edit.PasteFromClipboard();
    QCOMPARE(edit.Text(), QString("4506"));
  }

  // The selection's text copied into a buffer never runs past its size
  // nor cuts a character; text taken from a buffer is read no further.
  void selectionThroughBuffers() {
    TXPEdit edit;
    edit.SetText(QString::fromUtf8("ab\u00E9cd"));  // "é" is two bytes
    edit.SelectAll();
    char buffer[10];
    // The count copied, then the whole buffer.
    auto copied = [&](int size) {
      std::fill(std::begin(buffer), std::end(buffer), '#');
      int count = edit.GetSelTextBuf(buffer, size);
      return std::to_string(count) + ":" + std::string(buffer, sizeof buffer);
    };
    auto expected = [](int count, const char (&bytes)[11]) { return std::to_string(count) + ":" + std::string(bytes, 10); };
    QCOMPARE(copied(7), expected(6, "ab\xC3\xA9" "cd\0###"));  // the exact size
    QCOMPARE(copied(6), expected(5, "ab\xC3\xA9" "c\0####"));  // one less
    QCOMPARE(copied(4), expected(2, "ab\0#######"));  // "é" does not fit whole
    QCOMPARE(copied(1), expected(0, "\0#########"));
    QCOMPARE(copied(0), expected(0, "##########"));
    QCOMPARE(edit.GetSelTextBuf(nullptr, 5), 0);

    edit.SetSelStart(1);
    edit.SetSelLength(1);
    const char unended[] = {'X', 'Y', 'Z'};
    edit.SetSelTextBuf(unended, 3);  // the exact size, no zero byte
    QCOMPARE(edit.Text(), QString::fromUtf8("aXYZ\u00E9cd"));
    edit.SetSelTextBuf("12\0" "3", 2);  // one less than the text
    QCOMPARE(edit.Text(), QString::fromUtf8("aXYZ12\u00E9cd"));
    edit.SetSelTextBuf("never read", 0);
    edit.SetSelTextBuf("\xC3\xA9!", 1);  // a cut character is left out
    QCOMPARE(edit.Text(), QString::fromUtf8("aXYZ12\u00E9cd"));
  }

  void tabSelectsAllAClickDoesNot() {
    QWidget window;
    auto* first = new TXPEdit(&window);
    auto* edit = new TMiddleProbe(&window);
    edit->move(0, 40);
    edit->SetText("C:/pictures");
    auto* empty = new TMiddleProbe(&window);
    empty->move(0, 80);
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
    // A right or a middle press selects everything, as Tab does, and the
    // rest of its click leaves the selection alone.
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
      edit->SetSelStart(2);
      first->setFocus();
      QTest::mouseClick(edit, button, {}, QPoint(30, edit->height() / 2));
      QVERIFY(edit->hasFocus());
      QCOMPARE(edit->SelText(), QString("C:/pictures"));
      QCOMPARE(edit->PressHeld, button == Qt::MiddleButton);  // no paste over it
    }
    // An empty box has nothing a paste could replace: the first middle
    // click into it is the box's own, and pastes where the desktop keeps a
    // selection.
    QClipboard* clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection()) clipboard->setText("/home/pictures", QClipboard::Selection);
    first->setFocus();
    QTest::mouseClick(empty, Qt::MiddleButton, {}, QPoint(30, empty->height() / 2));
    QVERIFY(empty->hasFocus());
    QVERIFY(!empty->PressHeld);
    if (clipboard->supportsSelection()) QCOMPARE(empty->Text(), QString("/home/pictures"));
  }

  // The enabled border in every look but the disabled one, which has its
  // own colour and width; at each width, with the default colours and with
  // colours of our own.
  void everyLookPaintsItsFrame() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const struct {
      TColor Enabled, Disabled, Box;
    } colours[] = {{0xBF9F7F, 0xB8D8D7, 0xFFFFFF}, {0x800000, 0x008000, 0xE0F0FF}};
    for (const auto& c : colours)
      for (int width = 1; width <= 3; ++width)
        for (TLook look : kAllLooks) {
          auto* edit = new TXPEdit(window.Window());
          edit->SetText("1024");
          edit->setGeometry(10, 10, 121, 25);
          if (c.Box != 0xFFFFFF) {
            edit->SetEnabledBorderColor(c.Enabled);
            edit->SetDisabledBorderColor(c.Disabled);
            edit->SetColor(c.Box);
          }
          edit->SetEnabledBorderWidth(width);
          edit->SetDisabledBorderWidth(4 - width);
          TPixelCheck check(window.Shot(edit, look, QPoint(100, 12)),
                            QString("border %1 on %2, %3").arg(width).arg(c.Box, 6, 16).arg(LookName(look)));
          if (look == lkDisabled)
            CheckFrame(check, 4 - width, c.Disabled, c.Box);
          else
            CheckFrame(check, width, c.Enabled, c.Box);
          VERIFY_PIXELS(check);
        }
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
