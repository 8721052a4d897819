// What a dialog shows when it opens: where the resize dialog puts the focus
// for each field layout, and that every caption of the effect-list chooser
// can be read in its narrow list.
#include <QListWidget>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include "dialogs/listeffects.h"
#include "dialogs/resize.h"
#include "engine/effectcatalogue.h"
#include "tests/support/windowtest.h"

class TestDialogLayout : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;

 private slots:
  void init() { Messages.clear(); }
  void cleanup() { QVERIFY(Messages.empty()); }

  void resizeFocusFollowsTheFieldLayout() {
    TPictureJob f({QSize(64, 48)});
    const struct {
      bool Aspect;
      int Mode;
      const char* Focus;
    } layouts[] = {{true, 0, "XPEdit1"}, {true, 1, "XPEdit2"}, {true, 2, "XPEdit3"}, {false, 0, "XiButton1"},
                   {true, 7, "XiButton1"}};
    for (const auto& layout : layouts) {
      f.Job.ResizePreserveAspect = layout.Aspect;
      f.Job.ResizeScaleType = layout.Mode;
      TFormResize dialog(nullptr, f.Job);
      QWidget* focus = nullptr;
      WhenShown([&](QWidget* shown) {
        focus = shown->focusWidget();
        QTest::keyClick(shown, Qt::Key_Escape);
      });
      dialog.exec();
      QVERIFY(focus != nullptr);
      QCOMPARE(focus->objectName(), QString(layout.Focus));
      // The list was filled after the layout: the picture is there.
      QCOMPARE(dialog.windowTitle(), QString("Resize: (64 x 48)"));
    }
  }

  // Each row of the resize dialog's field layouts: which pen icons show,
  // which size fields are typed in (white) or read-only (grey), and
  // whether the percentage field shows.
  void resizeFieldsFollowTheLayoutTable() {
    TPictureJob f({QSize(64, 48)});
    const struct {
      bool Aspect;
      int Mode;
      bool Pen1, Edit1, Pen2, Edit2, Percent;
    } layouts[] = {{true, 0, true, true, false, false, false},
                   {true, 1, false, false, true, true, false},
                   {true, 2, false, false, false, false, true},
                   {false, 2, true, true, true, true, false}};
    for (const auto& layout : layouts) {
      f.Job.ResizePreserveAspect = layout.Aspect;
      f.Job.ResizeScaleType = layout.Mode;
      TFormResize dialog(nullptr, f.Job);
      dialog.show();
      auto field = [](const TXPEdit* edit) {
        QVERIFY(edit->Color() == (edit->ReadOnly() ? TColor(0xE0E0E0) : TColor(0xFFFFFF)));
      };
      field(dialog.XPEdit1);
      field(dialog.XPEdit2);
      QCOMPARE((QList<bool>{!dialog.Image1->isHidden(), !dialog.XPEdit1->ReadOnly(), !dialog.Image2->isHidden(),
                            !dialog.XPEdit2->ReadOnly(), !dialog.XPEdit3->isHidden(), !dialog.Image3->isHidden(),
                            !dialog.Label3->isHidden()}),
               (QList<bool>{layout.Pen1, layout.Edit1, layout.Pen2, layout.Edit2, layout.Percent, layout.Percent,
                            layout.Percent}));
    }
  }

  void chooserCaptionsCanBeRead() {
    TPictureJob f;
    TFormListEffects chooser(nullptr, f.Job);
    chooser.show();
    QListWidget* list = chooser.CheckListBox1;
    QCOMPARE(list->count(), EffectCount);
    QCOMPARE(list->width(), 157);
    const QFontMetrics metrics(list->font());
    QScrollBar* sideways = list->horizontalScrollBar();
    const int reach = list->viewport()->width() + sideways->maximum();  // what scrolling can bring into view
    for (int row = 0; row < list->count(); ++row) {
      QListWidgetItem* item = list->item(row);
      // The caption's room as the style lays out check box and text.
      QStyleOptionViewItem option;
      option.initFrom(list->viewport());
      option.widget = list;
      option.font = list->font();
      option.fontMetrics = metrics;
      option.rect = list->visualItemRect(item);
      option.text = item->text();
      option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
      option.checkState = item->checkState();
      option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
      const QRect text = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, list);
      QVERIFY2(text.width() >= metrics.horizontalAdvance(item->text()), qPrintable(item->text()));
      QVERIFY2(option.rect.right() + sideways->value() < reach, qPrintable(item->text()));
      QCOMPARE(option.rect.height(), 16);
    }
    // The longest caption is wider than the list: it scrolls sideways.
    QVERIFY(sideways->maximum() > 0);
  }
};

WINDOW_TEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
