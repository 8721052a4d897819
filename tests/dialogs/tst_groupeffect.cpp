// The slider-and-type dialog: per kind the type group and the slider, limits
// from the preview picture, a type click, and what OK leaves in the job.
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

  void kindsSetUpTheirGroupAndSlider() {
    struct TKind {
      int Items, Min, Max;
      bool Ticks;
      int TJobRecord::*Member;
      int TJobRecord::*Variant;
    };
    using J = TJobRecord;
    // Representative kinds (a picture-bound maximum, three rows of items,
    // ticks, Rotate's flag), on a 400 x 300 preview.
    const std::pair<int, TKind> kinds[] = {
        {0, {2, 2, 200, false, &J::TexturingLevel, &J::TexturingType}},
        {1, {6, 1, 120, false, &J::SoftenedLevel, &J::SoftenedType}},
        {3, {2, 0, 50, true, &J::ShakeValue, &J::ShakeDirection}},
        {11, {2, 0, 360, false, &J::RotateAngle, nullptr}},
    };
    TPictureJob f({QSize(400, 300)});
    for (const auto& [kind, k] : kinds) {
      f.Job.GroupEffectKind = kind;
      // The last item stored, a value inside the range.
      if (k.Variant) f.Job.*k.Variant = k.Items - 1;
      else f.Job.RotateSmooth = true;
      f.Job.*k.Member = k.Min + 1;
      TFormGroupEffect dialog(nullptr, f.Job);
      QCOMPARE(QList<int>({int(dialog.RadioGroup1->Items().size()), dialog.RadioGroup1->ItemIndex(),
                           dialog.TrackBar1->Min(), dialog.TrackBar1->Max(), dialog.TrackBar1->Position(),
                           Ticks(dialog.TrackBar1)}),
               QList<int>({k.Items, k.Items - 1, k.Min, k.Max, k.Min + 1, k.Ticks}));
      QCOMPARE(dialog.Label4->text() + " " + dialog.Label1->text(), QString("%1 %2").arg(k.Max).arg(k.Min + 1));

      // OK writes the slider and the variant into the kind's own members.
      dialog.show();
      ClickItem(dialog, 0);
      dialog.TrackBar1->SetPosition(k.Min + 2);
      dialog.XiButton1->click();
      QCOMPARE(f.Job.*k.Member, k.Min + 2);
      QVERIFY(k.Variant ? f.Job.*k.Variant == 0 : !f.Job.RotateSmooth);
    }
  }

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
