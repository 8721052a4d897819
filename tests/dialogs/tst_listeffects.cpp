// The effect-list chooser: rows in list order from the job's flags, OK
// writing flags and offered captions, Cancel writing nothing.
#include <QtTest>

#include "dialogs/listeffects.h"
#include "engine/effectcatalogue.h"
#include "engine/effectvisibility.h"
#include "tests/support/windowtest.h"

class TestListEffects : public QObject {
  Q_OBJECT

 private:
  TempDir Dir;
  std::unique_ptr<TJobRecord> Job;

  // Shows the dialog modally and lets act do what the user does in it.
  int Run(const std::function<void(TFormListEffects&)>& act) {
    TFormListEffects dialog(nullptr, *Job);
    WhenShown([&](QWidget*) { act(dialog); });
    return dialog.exec();
  }

 private slots:
  void init() {
    Job = std::make_unique<TJobRecord>(Dir.Path());
    ApplyVisibilityMasks(*Job, AllFilters, AllFilters2);
  }

  void rowsFollowTheListAndTheFlags() {
    // "Wind..." hidden, "Watermark..." offered; the job's list of all names
    // is still empty, as before the main window's start-up fills it.
    SetEffectOffered(*Job, 58, false);
    RebuildVisibleEffectNames(*Job);
    TFormListEffects dialog(nullptr, *Job);
    QCOMPARE(dialog.CheckListBox1->item(58)->text(), QString("Wind..."));
    QVERIFY(dialog.Checked(57) && !dialog.Checked(58));
    // OK without changes keeps every flag and the same captions.
    auto flags = Job->EffectVisible;
    auto names = Strings(Job->VisibleEffectNames);
    QCOMPARE(Run([](TFormListEffects& d) { d.XiButton1->click(); }), int(QDialog::Accepted));
    QVERIFY(Job->EffectVisible == flags && Strings(Job->VisibleEffectNames) == names);
  }

  void okWritesTheChoiceCancelNothing() {
    // Unselect All, then Cancel (Esc): nothing changes; then OK: nothing
    // offered.
    for (bool ok : {false, true}) {
      QCOMPARE(Run([ok](TFormListEffects& d) {
                 d.ItemUnselectAl->trigger();
                 if (ok) d.XiButton1->click();
                 else QTest::keyClick(&d, Qt::Key_Escape);
               }),
               ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
      QCOMPARE(Job->VisibleEffectNames.Count(), ok ? 0 : EffectCount);
    }
    QVERIFY(std::none_of(Job->EffectVisible.begin(), Job->EffectVisible.end(), [](bool f) { return f; }));
    // Two rows ticked by hand, then Enter: just those, in list order.
    QCOMPARE(Run([](TFormListEffects& d) {
               d.CheckListBox1->item(36)->setCheckState(Qt::Checked);  // "Resize..."
               d.CheckListBox1->item(0)->setCheckState(Qt::Checked);   // "3D grid..."
               QTest::keyClick(&d, Qt::Key_Return);
             }),
             int(QDialog::Accepted));
    QVERIFY((Strings(Job->VisibleEffectNames) == std::vector<std::string>{"3D grid...", "Resize..."}));
    QVERIFY(Job->EffectVisible[38] && Job->EffectVisible[58]);
    // Select All, then OK: every caption, "Convert to selected format" too.
    QCOMPARE(Run([](TFormListEffects& d) {
               d.ItemSelectAll->trigger();
               d.XiButton1->click();
             }),
             int(QDialog::Accepted));
    QVERIFY(Strings(Job->VisibleEffectNames) == AllEffectCaptions());
  }
};

WINDOW_TEST_MAIN(TestListEffects)
#include "tst_listeffects.moc"
