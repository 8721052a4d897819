// The resize dialog: how the size fields derive each other, what OK stores,
// sizes no picture can have, no picture at all, and a preview that is exactly
// the picture the run writes.
#include <QTableView>

#include "dialogs/resize.h"
#include "engine/jobrecord.h"
#include "tests/support/windowtest.h"

namespace {

// Replaces the field's text by typing, as a user would.
void Type(TXPEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

void ClickMode(TFormResize& dialog, int index) {
  QTest::mouseClick(dialog.RadioGroup1->Button(index), Qt::LeftButton, {}, QPoint(6, 6));
}

void ClickAspect(TFormResize& dialog) {
  QTest::mouseClick(dialog.XPCheckBox1, Qt::LeftButton, {}, QPoint(dialog.XPCheckBox1->width() - 6, 8));
}

// Types characters no key of the test's keyboard has.
void TypeCharacters(TXPEdit* edit, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &press);
  }
}

QStringList Fields(const TFormResize& dialog) {
  return {dialog.XPEdit1->text(), dialog.XPEdit2->text(), dialog.XPEdit3->text()};
}

}  // namespace

class TestResize : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;

 private slots:
  void init() { Messages.clear(); }

  void firstUseTakesThePicturesSize() {
    TPictureJob f({QSize(640, 480)});
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Resize: (640 x 480)"));
    QCOMPARE(Fields(dialog), (QStringList{"640", "480", "100"}));
    dialog.XiButton1->click();
    QCOMPARE(QSize(f.Job.ResizeWidth, f.Job.ResizeHeight), QSize(640, 480));
    QVERIFY(Messages.empty());
  }

  void derivedSidesKeepTheResizeFunctionsPrecision() {
    TPictureJob f({QSize(1000, 750), QSize(128, 480)});
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    Type(dialog.XPEdit1, "333");
    QCOMPARE(dialog.XPEdit2->text(), QString("249"));
    // Each switch derives from the side the other mode fixed: 333 -> 249 ->
    // 331.
    ClickMode(dialog, 1);
    QCOMPARE(Fields(dialog).mid(0, 2), (QStringList{"333", "249"}));
    ClickMode(dialog, 0);
    QCOMPARE(dialog.XPEdit1->text(), QString("331"));
    QCOMPARE(dialog.Height(), 249);
    dialog.SelectRow(1);
    Type(dialog.XPEdit1, "76");
    QCOMPARE(dialog.XPEdit2->text(), QString("284"));
    // "Apply" shows the picture the fields promise.
    dialog.XiButton3->click();
    QCOMPARE(QSize(dialog.Result()->Width(), dialog.Result()->Height()), QSize(76, 284));
    QVERIFY(Messages.empty());
  }

  // Other scripts' digits never reach a size field, so a typed size is
  // never read as 0 and dropped.
  void sizeFieldsTakeOnlyZeroToNine() {
    TPictureJob f({QSize(400, 300)});
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    Type(dialog.XPEdit1, "1");
    TypeCharacters(dialog.XPEdit1, QString::fromUtf8("\u0662\uFF125"));
    QCOMPARE(Fields(dialog).mid(0, 2), (QStringList{"15", "11"}));
    QCOMPARE(dialog.Width(), 15);
    dialog.XiButton1->click();
    QCOMPARE(QSize(f.Job.ResizeWidth, f.Job.ResizeHeight), QSize(15, 11));
    QVERIFY(Messages.empty());
  }

  // A row that loses its selection forgets its file; the next one
  // selected is loaded.
  void deselectingARowForgetsItsFile() {
    TPictureJob f({QSize(40, 30), QSize(50, 20)});
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    QCOMPARE(dialog.PreviewedPath(), f.Job.SourceFiles[0]);
    QTableView* list = dialog.ListView1;
    const QRect first = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, first.center());
    QCOMPARE(dialog.SelectedRow(), -1);
    QCOMPARE(dialog.PreviewedPath(), std::string());
    dialog.SelectRow(1);
    QCOMPARE(dialog.PreviewedPath(), f.Job.SourceFiles[1]);
    list->selectionModel()->select(list->model()->index(1, 0),
                                   QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    QCOMPARE(dialog.PreviewedPath(), std::string());
    QCOMPARE(dialog.windowTitle(), QString("Resize: (50 x 20)"));  // the preview stays
    QVERIFY(Messages.empty());
  }

  void scaleWorksInWholePercents() {
    TPictureJob f({QSize(1001, 751)});
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    ClickMode(dialog, 2);
    Type(dialog.XPEdit3, "50");
    QCOMPARE(Fields(dialog), (QStringList{"500", "375", "50"}));
    // A percentage of 0 is used and stored as 100.
    Type(dialog.XPEdit3, "0");
    dialog.XiButton3->click();
    QCOMPARE(dialog.XPEdit3->text(), QString("100"));
    QCOMPARE(dialog.Result()->Width(), 1001);
    dialog.XiButton1->click();
    QCOMPARE(QList<int>({f.Job.ResizeScaleType, f.Job.ResizePercent}), QList<int>({2, 100}));
  }

  void uncheckingTheAspectFreesBothSides() {
    TPictureJob f({QSize(300, 200)});
    f.Job.ResizeScaleType = 1;
    f.Job.ResizePercent = 40;
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    ClickAspect(dialog);
    QVERIFY(!dialog.XPEdit1->isReadOnly() && !dialog.XPEdit2->isReadOnly() && !dialog.RadioGroup1->isEnabled());
    // Typing one side no longer moves the other.
    Type(dialog.XPEdit1, "90");
    Type(dialog.XPEdit2, "35");
    QCOMPARE(Fields(dialog).mid(0, 2), (QStringList{"90", "35"}));
    f.Job.ResizeScaleType = 7;  // OK stores no mode and no percent now
    dialog.XiButton1->click();
    QCOMPARE(QList<int>({f.Job.ResizePreserveAspect, f.Job.ResizeWidth, f.Job.ResizeHeight, f.Job.ResizeScaleType,
                         f.Job.ResizePercent}),
             QList<int>({false, 90, 35, 7, 40}));
  }

  // Without a readable picture the stored members open the dialog, the
  // user is told once, and Apply and the modes change no number.
  void withoutAPictureTheStoredMembersStay() {
    TPictureJob f({QSize()});
    f.Job.ResizePreserveAspect = false;
    f.Job.ResizeWidth = 800;
    f.Job.ResizeHeight = 600;
    f.Job.ResizePercent = 25;
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    QCOMPARE(Messages,
             std::vector<std::string>{"This program cannot read the file: " + f.Job.SourceFiles[0] +
                                      " Try select another one."});
    QVERIFY(!dialog.XPEdit1->isReadOnly() && !dialog.XPEdit2->isReadOnly());
    Messages.clear();
    ClickAspect(dialog);
    dialog.XiButton3->click();
    ClickMode(dialog, 2);
    Type(dialog.XPEdit3, "50");
    ClickMode(dialog, 1);
    QVERIFY(!dialog.Result());
    // A percentage of no picture is 0 x 0.
    QCOMPARE(Fields(dialog), (QStringList{"0", "0", "50"}));
    QVERIFY(Messages.empty());
    dialog.XiButton1->click();
    QCOMPARE(QSize(f.Job.ResizeWidth, f.Job.ResizeHeight), QSize(800, 600));
  }

  // After a file that cannot be read a percentage gives 0 x 0, and OK
  // keeps the job's sizes rather than those of the picture before.
  void aPercentageAfterAFailedLoadStoresNoSize() {
    TPictureJob f({QSize(640, 480), QSize()});
    f.Job.ResizeScaleType = 2;
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    QCOMPARE(Fields(dialog), (QStringList{"640", "480", "100"}));
    dialog.SelectRow(1);
    QCOMPARE(Messages.size(), size_t(1));
    Messages.clear();
    Type(dialog.XPEdit3, "50");
    QCOMPARE(Fields(dialog), (QStringList{"0", "0", "50"}));
    dialog.XiButton1->click();
    QCOMPARE(QList<int>({f.Job.ResizeWidth, f.Job.ResizeHeight, f.Job.ResizeScaleType, f.Job.ResizePercent}),
             QList<int>({0, 0, 2, 50}));
  }

  // Scaled with no percentage is scaled by 100: each row is previewed
  // whole and the percentage field then shows 100.
  void noPercentageScalesByAHundred() {
    TPictureJob f({QSize(90, 60), QSize(70, 50)});
    f.Job.ResizeScaleType = 2;
    f.Job.ResizePercent = 0;
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    QCOMPARE(Fields(dialog), (QStringList{"90", "60", "100"}));
    Type(dialog.XPEdit3, "0");
    QCOMPARE(Fields(dialog), (QStringList{"90", "60", "0"}));
    dialog.SelectRow(1);
    QCOMPARE(Fields(dialog), (QStringList{"70", "50", "100"}));
    QCOMPARE(QSize(dialog.Result()->Width(), dialog.Result()->Height()), QSize(70, 50));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.ResizePercent, 100);
    QVERIFY(Messages.empty());
  }

  void aZeroWidthIsNeitherPreviewedNorStored() {
    TPictureJob f({QSize(60, 40), QSize(30, 30)});
    f.Job.ResizeWidth = 50;
    f.Job.ResizeHeight = 20;
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    Type(dialog.XPEdit1, "0");
    const TBitmap* preview = dialog.Result();
    dialog.SelectRow(1);
    dialog.XiButton3->click();
    QCOMPARE(dialog.Result(), preview);
    dialog.XiButton1->click();
    QCOMPARE(f.Job.ResizeWidth, 50);
    QVERIFY(Messages.empty());
  }

  void sizesNoPictureCanHaveAreRefused() {
    TPictureJob f({QSize(64, 48), QSize(1000, 2)});
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    ClickAspect(dialog);
    Type(dialog.XPEdit1, "99999");
    Type(dialog.XPEdit2, "99999");
    const TBitmap* preview = dialog.Result();
    dialog.XiButton3->click();
    QCOMPARE(Messages, std::vector<std::string>{"The new size is too large: 99999 x 99999."});
    QCOMPARE(dialog.Result(), preview);
    // OK says the same and keeps the dialog open, the job untouched.
    dialog.XiButton1->click();
    QCOMPARE(Messages.size(), size_t(2));
    QVERIFY(dialog.isVisible() && f.Job.ResizeWidth == 0 && f.Job.ResizePreserveAspect);
    ClickAspect(dialog);
    // Kept in proportion, the size depends on the picture: a side that
    // truncates to nothing is reported, and nothing aborts.
    Type(dialog.XPEdit1, "10");
    dialog.SelectRow(1);
    QCOMPARE(Messages.back(), std::string("The new size is too small: 10 x 0."));
    dialog.XiButton1->click();
    QVERIFY(dialog.result() == QDialog::Accepted && f.Job.ResizeWidth == 10);
  }

  void derivedSidesLongerThanAFieldTakesAreShownWhole() {
    TPictureJob f({QSize(2000, 100)});
    f.Job.ResizeScaleType = 2;
    TFormResize dialog(nullptr, f.Job);
    dialog.show();
    Type(dialog.XPEdit3, "9999");
    QCOMPARE(Fields(dialog), (QStringList{"199980", "9999", "9999"}));
    QCOMPARE(dialog.Width(), 199980);
    dialog.XiButton3->click();
    QCOMPARE(Messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(Messages[0]).startsWith("The new size is too large: 1999"));
    // Once the user has cut it short, the field takes five digits again.
    ClickMode(dialog, 0);
    dialog.XPEdit1->setFocus();
    dialog.XPEdit1->end(false);
    QTest::keyClick(dialog.XPEdit1, Qt::Key_Backspace);
    QCOMPARE(dialog.XPEdit1->text(), QString("19998"));
    QTest::keyClicks(dialog.XPEdit1, "7");
    QCOMPARE(dialog.XPEdit1->text(), QString("19998"));
  }

  void previewIsThePictureTheRunWrites() {
    struct TCase {
      bool Aspect;
      int Mode;
      const char* Field;
      TXPEdit* TFormResize::*Edit;
    };
    const TCase cases[] = {{true, 0, "47", &TFormResize::XPEdit1},
                           {true, 2, "140", &TFormResize::XPEdit3},
                           {false, 0, "33", &TFormResize::XPEdit2}};
    for (const TCase& c : cases) {
      TPictureJob f({QSize(71, 53)});
      f.Job.ResizePreserveAspect = c.Aspect;
      f.Job.ResizeScaleType = c.Mode;
      TFormResize dialog(nullptr, f.Job);
      dialog.show();
      Type(dialog.*c.Edit, c.Field);
      dialog.XiButton3->click();
      dialog.XiButton1->click();
      QCOMPARE(dialog.result(), int(QDialog::Accepted));

      f.Job.EffectName = "Resize...";
      std::unique_ptr<TBitmap> output = RunOnPicture(f.Job, *dialog.Source());
      QVERIFY(output);
      TBitmap preview;
      preview.Assign(dialog.Result());
      QVERIFY2(SameColors(*output, preview), c.Field);
    }
    QVERIFY(Messages.empty());
  }
};

WINDOW_TEST_MAIN(TestResize)
#include "tst_resize.moc"
