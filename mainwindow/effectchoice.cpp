// Step 3: the effect combo box, the effect summary and the effect-list
// chooser's refill.
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/stepcombobox.h"

void TFormMain::ComboBox1Change() {
  int index = ComboBox1->currentIndex();
  if (index < 0 || index >= VisibleEffectNames.Count()) return;
  EffectIndex = index;
  EffectName = VisibleEffectNames[index];
  ListBox1->clear();
  ShowEffectSettings(EffectName, true);
  // Stepping through the list with the keys or the wheel goes on from the
  // box; a pick from the open list moves on to the effect's settings.
  if (TStepComboBox::Stepping(ComboBox1)) ComboBox1->setFocus();
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
