#include "dialogs/listeffects.h"

#include <QStyledItemDelegate>

#include "dialogs/dialogbuttons.h"
#include "engine/effectcatalogue.h"
#include "engine/effectvisibility.h"
#include "platform/windows/guard.h"

namespace {

// Rows 16 pixels high and as wide as the style draws check box and caption,
// so that the list scrolls sideways to any caption wider than itself.
class TRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), 16};
  }
};

}  // namespace

TFormListEffects::TFormListEffects(QWidget* parent, TJobRecord& job) : TCentredDialog(parent), Job(job) {
  setObjectName("FormListEffects");
  setWindowTitle("List");
  setFixedSize(157, 466);

  CheckListBox1 = new QListWidget(this);
  CheckListBox1->setObjectName("CheckListBox1");
  CheckListBox1->setGeometry(0, 0, 157, 417);
  CheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  CheckListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  // The small dialog font the list was laid out for, so that the captions
  // fit the narrow list; any that still do not can be scrolled to.
  QFont small = CheckListBox1->font();
  small.setPixelSize(11);
  CheckListBox1->setFont(small);
  CheckListBox1->setTextElideMode(Qt::ElideNone);
  CheckListBox1->setItemDelegate(new TRowDelegate(CheckListBox1));
  CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  ItemSelectAll = PopupMenu1->addAction("Select All");
  ItemSelectAll->setObjectName("ItemSelectAll");
  ItemUnselectAl = PopupMenu1->addAction("Unselect All");
  ItemUnselectAl->setObjectName("ItemUnselectAl");
  connect(ItemSelectAll, &QAction::triggered, this, [this] { ItemSelectAllClick(); });
  connect(ItemUnselectAl, &QAction::triggered, this, [this] { ItemUnselectAlClick(); });
  connect(CheckListBox1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(CheckListBox1->viewport()->mapToGlobal(at)); });

  XiButton1 = MakeOkButton(this, QRect(8, 432, 55, 25), TXiButton::csNeoGrass);
  connect(XiButton1, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton1Click(); }); });

  XiButton2 = MakeCancelButton(this, QRect(96, 432, 55, 25));

  // The rows are the fixed catalogue in list order, whatever list of names
  // the main window holds at the moment.
  const auto& catalogue = EffectCatalogue();
  RowCount = static_cast<int>(catalogue.size());
  for (const TEffectEntry& entry : catalogue) {
    auto* item = new QListWidgetItem(QString::fromUtf8(entry.Caption), CheckListBox1);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  }
  for (int row = 0; row < RowCount; ++row) SetChecked(row, EffectOffered(Job, row));
  XiButton1->setFocus();
}

bool TFormListEffects::Checked(int row) const {
  QListWidgetItem* item = CheckListBox1->item(row);
  return item && item->checkState() == Qt::Checked;
}

void TFormListEffects::SetChecked(int row, bool checked) {
  if (QListWidgetItem* item = CheckListBox1->item(row)) item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TFormListEffects::SetAllChecked(bool checked) {
  for (int row = 0; row < RowCount; ++row) SetChecked(row, checked);
}

void TFormListEffects::ItemSelectAllClick() { SetAllChecked(true); }

void TFormListEffects::ItemUnselectAlClick() { SetAllChecked(false); }

void TFormListEffects::XiButton1Click() {
  for (int row = 0; row < RowCount; ++row) SetEffectOffered(Job, row, Checked(row));
  RebuildVisibleEffectNames(Job);
}
