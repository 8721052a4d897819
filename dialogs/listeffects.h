// The effect-list chooser: one check row per entry of the effect list, in
// list order, checked when the entry is offered in the main window's effect
// combo box. OK writes the choice into the job's visibility flags and
// rebuilds the offered captions; Cancel changes nothing. The rows' context
// menu checks or clears them all.
#pragma once

#include <QListWidget>
#include <QMenu>

#include "controls/xibutton.h"
#include "dialogs/centreddialog.h"
#include "engine/jobrecord.h"

class TFormListEffects : public TCentredDialog {
  Q_OBJECT

 public:
  TFormListEffects(QWidget* parent, TJobRecord& job);

  QListWidget* CheckListBox1 = nullptr;
  TXiButton* XiButton1 = nullptr;  // "OK"
  TXiButton* XiButton2 = nullptr;  // "Cancel"
  QMenu* PopupMenu1 = nullptr;
  QAction* ItemSelectAll = nullptr;
  QAction* ItemUnselectAl = nullptr;

  void ItemSelectAllClick();
  void ItemUnselectAlClick();
  // OK: the flags from the rows, then the offered captions in list order.
  void XiButton1Click();

  bool Checked(int row) const;
  void SetChecked(int row, bool checked);

 private:
  void SetAllChecked(bool checked);

  TJobRecord& Job;
  int RowCount = 0;
};
