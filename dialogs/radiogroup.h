// A radio group of the dialogs: flat radio buttons in a flat group box, one
// per item, laid out in columns the way the dialogs' designs have them
// (items run down the first column, then the next). The item index is the
// number of the checked item, -1 when none.
#pragma once

#include <QStringList>
#include <vector>

#include "controls/xpgroupbox.h"
#include "controls/xpradiobutton.h"

class TRadioGroup : public TXPGroupBox {
  Q_OBJECT

 public:
  explicit TRadioGroup(const QString& caption = QString(), QWidget* parent = nullptr);

  // Replaces the items; none is checked afterwards.
  void SetItems(const QStringList& items);
  QStringList Items() const;
  int Count() const { return int(FButtons.size()); }
  TXPRadioButton* Button(int index) const;
  // At least 1.
  int Columns() const { return FColumns; }
  void SetColumns(int value);
  int ItemIndex() const;
  // Checks the item (an index outside the items checks none); raises no
  // Click, as a change made in code never does.
  void SetItemIndex(int index);
  // The background of the box and its buttons.
  void SetGroupColor(TColor color);

 signals:
  // The user checked an item.
  void Click();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ArrangeButtons();
  std::vector<TXPRadioButton*> FButtons;
  int FColumns = 1;
};
