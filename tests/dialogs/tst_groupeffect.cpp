// The slider-and-type dialog: limits from the preview picture, a type click,
// and no picture at all (every kind's group, slider and members:
// tst_effecttables.cpp).
#include "controls/xitrackbar.h"
#include "dialogs/effectsgroupbox.h"
#include "effects/function.h"
#include "engine/jobrecord.h"
#include "platform/windows/messages.h"
#include "tests/support/windowtest.h"

static bool Ticks(const TXiTrackBar* bar) { return bar->TickStyle() == TXiTrackBar::tsAuto; }

static void ClickItem(TFormGroupEffect& dialog, int index) {
  QTest::mouseClick(dialog.RadioGroup1->Button(index), Qt::LeftButton, {}, QPoint(6, 6));
}

class TestGroupEffect : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SetMessageHandler([](const std::string& text) { QFAIL(("unexpected message: " + text).c_str()); });
  }
  void cleanup() { SetMessageHandler(nullptr); }

  void previewIsTheKindsEffectWithTheChosenVariant() {
    TPictureJob f({QSize(60, 40)});
    f.Job.GroupEffectKind = 6;  // Sharpness
    f.Job.SharpnessLevel = 30;
    f.Job.SharpnessType = 2;
    TFormGroupEffect dialog(nullptr, f.Job);
    dialog.show();
    auto expected = [&](int level, int type) {
      return PreviewIs(dialog, [=](TBitmap& picture) { ApplySharpness(picture, level, type); });
    };
    QVERIFY(expected(30, 2));
    // A type click recomputes with the same value and leaves the number.
    dialog.Label1->setText("untouched");
    int runs = dialog.PreviewRuns();
    ClickItem(dialog, 3);
    QCOMPARE(dialog.PreviewRuns(), runs + 1);
    QVERIFY(expected(30, 3));
    QCOMPARE(dialog.Label1->text(), QString("untouched"));
  }

  void texturingAndFigureFollowThePreviewWidth() {
    // A stored level above half the width is lowered, and OK stores it; on
    // a picture 3 pixels wide half the width (1) is below Texturing's
    // minimum 2: the range stays 2..2 and the value with it.
    for (auto [width, lowered] : {std::pair{400, 200}, std::pair{3, 2}}) {
      TPictureJob f({QSize(width, 40)});
      f.Job.GroupEffectKind = 0;
      f.Job.TexturingLevel = 300;
      TFormGroupEffect dialog(nullptr, f.Job);
      QCOMPARE(dialog.TrackBar1->Max(), lowered);
      dialog.XiButton1->click();
      QCOMPARE(f.Job.TexturingLevel, lowered);
    }
    // Figure: ticks come with a short range and stay.
    TPictureJob f({QSize(120, 50), QSize(90, 50)});
    f.Job.GroupEffectKind = 5;
    TFormGroupEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.TrackBar1->Max(), 60);
    QVERIFY(!Ticks(dialog.TrackBar1));
    dialog.SelectRow(1);
    QCOMPARE(dialog.Label4->text(), QString("45"));
    QVERIFY(Ticks(dialog.TrackBar1));
    dialog.SelectRow(0);
    QCOMPARE(dialog.TrackBar1->Max(), 60);
    QVERIFY(Ticks(dialog.TrackBar1));
  }

  void withoutAPictureNothingMoves() {
    TPictureJob f({QSize()});
    f.Job.GroupEffectKind = 5;  // Figure
    f.Job.FigureValue = 7;
    TFormGroupEffect dialog(nullptr, f.Job);
    dialog.show();
    QCOMPARE(dialog.Label4->text(), QString());
    dialog.TrackBar1->SetPosition(3);
    ClickItem(dialog, 4);
    QCOMPARE(dialog.Label1->text(), QString());
    QCOMPARE(dialog.PreviewRuns(), 0);
    dialog.XiButton1->click();
    QCOMPARE(QList<int>({f.Job.FigureValue, f.Job.FigureType}), QList<int>({7, 4}));
  }

  void rotateShowsTheWholeTurnedPicture() {
    TPictureJob f({QSize(80, 20)});
    f.Job.GroupEffectKind = 11;
    f.Job.RotateAngle = 0;
    TFormGroupEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.PaintEffect->size(), QSize(80, 20));
    dialog.TrackBar1->SetPosition(90);
    QVERIFY(dialog.Result()->Height() > 20);
    QCOMPARE(dialog.PaintEffect->size(), QSize(dialog.Result()->Width(), dialog.Result()->Height()));
  }
};

WINDOW_TEST_MAIN(TestGroupEffect)
#include "tst_groupeffect.moc"
