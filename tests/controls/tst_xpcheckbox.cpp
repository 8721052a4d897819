// The flat check box's state as the program reads and sets it.
#include <QSignalSpy>
#include <QtTest>

#include "controls/xpcheckbox.h"

class TestXPCheckBox : public QObject {
  Q_OBJECT

 private slots:
  void onlyCheckedReadsChecked() {
    TXPCheckBox box("auto save the log");
    QSignalSpy clicks(&box, &QCheckBox::clicked);
    QCOMPARE(box.State(), cbUnchecked);
    QVERIFY(!box.GetChecked());
    box.SetChecked(true);
    QVERIFY(box.GetChecked());
    box.SetState(cbGrayed);
    QCOMPARE(box.State(), cbGrayed);
    QVERIFY(!box.GetChecked());
    box.SetChecked(false);
    QCOMPARE(box.State(), cbUnchecked);
    QCOMPARE(clicks.count(), 0);  // setting the state in code raises no click
    // Clicks toggle; a grayed box becomes checked.
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    QVERIFY(box.GetChecked());
    box.SetState(cbGrayed);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    QCOMPARE(box.State(), cbChecked);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    QCOMPARE(box.State(), cbUnchecked);
    QCOMPARE(clicks.count(), 3);
  }
};

QTEST_MAIN(TestXPCheckBox)
#include "tst_xpcheckbox.moc"
