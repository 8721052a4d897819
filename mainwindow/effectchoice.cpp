// Step 3: the effect combo box, the effect summary and the effect-list
// chooser's refill.
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"

void TFormMain::ComboBox1Change() {
  int index = ComboBox1->currentIndex();
  if (index < 0 || index >= VisibleEffectNames.Count()) return;
  EffectIndex = index;
  EffectName = VisibleEffectNames[index];
  ListBox1->clear();
  // Every change, by the open list, the keys or the wheel, moves on to the
  // effect's settings (or to Start for plain conversion).
  ShowEffectSettings(EffectName, true);
}

void TFormMain::ShowEffectSettings(const std::string& name, bool enableAction) {
  const TEffectEntry* entry = FindEffectEntry(name);
  if (!entry) return;
  for (const std::string& line : entry->SummaryLines(*this)) ListBox1->addItem(QString::fromStdString(line));
  QString hint = QString::fromStdString(entry->Hint());
  ActionEffect->setToolTip(hint);
  ActionEffect->setStatusTip(hint);  // the "..." button follows it
  if (entry->IsConvert()) {
    // No settings to reach: the next step is Start.
    ActionEffect->setEnabled(false);
    if (XiButStart->isEnabled()) XiButStart->setFocus();
    return;
  }
  if (entry->FlipMode >= 0) FlipMode = entry->FlipMode;
  if (enableAction) {
    // "Effect..." needs source files to preview.
    ActionEffect->setEnabled(FileCount > 0);
    XiButEffect->setFocus();
  }
}

void TFormMain::ItemListEffectClick() {
  if (!ExecuteEffectListChooser()) return;
  EffectName.clear();
  RefillEffectList(0);
  if (!EffectName.empty()) EffectIndex = 0;
  ListBox1->clear();
  ShowEffectSettings(EffectName, ActionStart->isEnabled());
}
