#include "dialogs/radiogroup.h"

#include <QResizeEvent>
#include <algorithm>

TRadioGroup::TRadioGroup(const QString& caption, QWidget* parent) : TXPGroupBox(caption, parent) {}

void TRadioGroup::SetItems(const QStringList& items) {
  for (TXPRadioButton* button : FButtons) delete button;
  FButtons.clear();
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new TXPRadioButton(items[i], this);
    button->setObjectName(QString("%1_%2").arg(objectName()).arg(i));
    button->SetColor(Color());
    connect(button, &TXPRadioButton::clicked, this, [this] { emit Click(); });
    button->show();
    FButtons.push_back(button);
  }
  ArrangeButtons();
}

QStringList TRadioGroup::Items() const {
  QStringList items;
  for (TXPRadioButton* button : FButtons) items << button->Caption();
  return items;
}

TXPRadioButton* TRadioGroup::Button(int index) const {
  return index >= 0 && index < Count() ? FButtons[index] : nullptr;
}

void TRadioGroup::SetColumns(int value) {
  FColumns = std::max(value, 1);
  ArrangeButtons();
}

int TRadioGroup::ItemIndex() const {
  for (int i = 0; i < Count(); ++i)
    if (FButtons[i]->Checked()) return i;
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  if (TXPRadioButton* button = Button(index)) {
    button->SetChecked(true);  // unchecks the others
    return;
  }
  for (TXPRadioButton* other : FButtons) other->SetChecked(false);
}

void TRadioGroup::SetGroupColor(TColor color) {
  SetColor(color);
  for (TXPRadioButton* button : FButtons) button->SetColor(color);
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  TXPGroupBox::resizeEvent(event);
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (FButtons.empty()) return;
  int perColumn = (Count() + FColumns - 1) / FColumns;
  int top = fontMetrics().height() + 2;  // below the caption
  int columnWidth = std::max((width() - 10) / FColumns, 1);
  int rowHeight = std::max((height() - top - 5) / perColumn, 1);
  int buttonHeight = std::min(rowHeight, std::max(fontMetrics().height() + 2, 17));
  for (int i = 0; i < Count(); ++i) {
    int column = i / perColumn, row = i % perColumn;
    FButtons[i]->setGeometry(8 + column * columnWidth, top + row * rowHeight + (rowHeight - buttonHeight) / 2,
                             std::max(columnWidth - 4, 1), buttonHeight);
  }
}
