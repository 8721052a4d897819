// What the dialogs share: every one opens centred on the screen, not over
// the window that opened it, and the effect dialogs' file list keeps each
// of its columns within its own limits.
#include <QHeaderView>
#include <QScreen>
#include <QTableView>

#include "tests/dialogs/formatdialogtest.h"

namespace {

// A job with two source pictures, the first of them the preview file.
struct TAnyDialogJob : TDialogJob {
  TAnyDialogJob() {
    AddPicture(64, 48, 1);
    AddPicture(30, 20, 2);
    Job.PreviewIndex = 0;
    Job.PreviewFile = Job.SourceFiles[0];
  }
};

}  // namespace

class TestEveryDialog : public QObject {
  Q_OBJECT

 private slots:
  void opensCentredOnTheScreen_data() {
    QTest::addColumn<int>("kind");
    for (size_t i = 0; i < EveryDialog().size(); ++i) QTest::newRow(EveryDialog()[i].Name) << int(i);
  }
  void opensCentredOnTheScreen() {
    QFETCH(int, kind);
    TAnyDialogJob job;
    // The window that opens it sits in the screen's corner.
    QWidget owner;
    owner.setGeometry(0, 0, 160, 120);
    owner.show();
    const QRect area = owner.screen()->availableGeometry();
    std::unique_ptr<QDialog> dialog = EveryDialog()[size_t(kind)].Make(&owner, job.Job);
    QVERIFY(dialog->width() < area.width() && dialog->height() < area.height());
    for (int opening = 0; opening < 2; ++opening) {
      QRect placed;
      WhenShown([&placed](QWidget* shown) {
        placed = shown->frameGeometry();
        static_cast<QDialog*>(shown)->reject();
      });
      dialog->exec();
      QVERIFY(!placed.isNull());
      QCOMPARE(placed.topLeft(), QPoint(area.x() + (area.width() - placed.width()) / 2,
                                        area.y() + (area.height() - placed.height()) / 2));
      // Moved away, it opens centred again.
      dialog->move(5, 5);
    }
    QVERIFY(job.Messages.empty());
  }

  // However a column is resized, by code or by dragging its divider, "№"
  // stays within 20..150 and "Name" within 50..300.
  void listColumnsKeepTheirOwnLimits_data() {
    QTest::addColumn<int>("kind");
    for (size_t i = 0; i < EveryDialog().size(); ++i)
      if (EveryDialog()[i].EffectFrame) QTest::newRow(EveryDialog()[i].Name) << int(i);
  }
  void listColumnsKeepTheirOwnLimits() {
    QFETCH(int, kind);
    TAnyDialogJob job;
    std::unique_ptr<QDialog> dialog = EveryDialog()[size_t(kind)].Make(nullptr, job.Job);
    dialog->show();
    QHeaderView* header = dialog->findChild<QTableView*>("ListView1")->horizontalHeader();
    QCOMPARE(header->sectionSize(0), 41);
    QCOMPARE(header->sectionSize(1), 100);
    const struct {
      int Section, Asked, Taken;
    } sizes[] = {{0, 400, 150}, {0, 5, 20},    {0, 150, 150}, {0, 20, 20},   {0, 77, 77},
                 {1, 10, 50},   {1, 999, 300}, {1, 50, 50},   {1, 300, 300}, {1, 123, 123}};
    for (const auto& size : sizes) {
      header->resizeSection(size.Section, size.Asked);
      QCOMPARE(header->sectionSize(size.Section), size.Taken);
    }
    // Dragging a column's right-hand divider to a place in the header: far
    // out, and in onto the column's own left edge.
    auto drag = [header](int section, int to) {
      const int divider = header->sectionViewportPosition(section) + header->sectionSize(section) - 1;
      const int y = header->height() / 2;
      QWidget* surface = header->viewport();
      SendMouse(surface, QEvent::MouseButtonPress, QPoint(divider, y), Qt::LeftButton);
      for (int step = 1; step <= 4; ++step)
        SendMouse(surface, QEvent::MouseMove, QPoint(divider + (to - divider) * step / 4, y), Qt::LeftButton);
      SendMouse(surface, QEvent::MouseButtonRelease, QPoint(to, y));
      return header->sectionSize(section);
    };
    header->resizeSection(0, 41);
    header->resizeSection(1, 100);
    QCOMPARE(drag(0, 600), 150);
    QCOMPARE(drag(0, 0), 20);
    QCOMPARE(drag(1, 20), 50);
    QCOMPARE(drag(1, 700), 300);
    QCOMPARE(drag(1, 219), 200);
  }
};

WINDOW_TEST_MAIN(TestEveryDialog)
#include "tst_everydialog.moc"
