// "Effect...": the settings dialog of the chosen effect on a preview of the
// source list, and afterwards the effect's summary lines from what its OK
// wrote.
#include <QListWidget>
#include <memory>

#include "dialogs/effects.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/pattern.h"
#include "dialogs/resize.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/sysutils.h"
#include "platform/windows/messages.h"

std::unique_ptr<QDialog> MakeEffectDialog(TEffectDialog dialog, QWidget* parent, TJobRecord& job) {
  switch (dialog) {
    case TEffectDialog::TFormEffect: return std::make_unique<TFormEffect>(parent, job);
    case TEffectDialog::TFormTwoTrack: return std::make_unique<TFormTwoTrack>(parent, job);
    case TEffectDialog::TFormRGB: return std::make_unique<TFormRGB>(parent, job);
    case TEffectDialog::TFormFishEye: return std::make_unique<TFormFishEye>(parent, job);
    case TEffectDialog::TFormGroupEffect: return std::make_unique<TFormGroupEffect>(parent, job);
    case TEffectDialog::TFormPattern: return std::make_unique<TFormPattern>(parent, job);
    case TEffectDialog::TFormResize: return std::make_unique<TFormResize>(parent, job);
    case TEffectDialog::TFormSimpleEffect: return std::make_unique<TFormSimpleEffect>(parent, job);
    default: return nullptr;
  }
}

void TFormMain::ActionEffectExecute() {
  if (!CheckPreviewFile()) return;
  const TEffectEntry* entry = FindEffectEntry(EffectName);
  if (!entry || entry->IsConvert()) return;
  if (entry->SelectorMember) this->*entry->SelectorMember = entry->Selector;
  std::unique_ptr<QDialog> dialog = MakeEffectDialog(entry->Dialog, this, *this);
  if (!dialog || dialog->exec() != QDialog::Accepted) return;

  if (entry->Dialog != TEffectDialog::TFormSimpleEffect) {
    std::vector<std::string> lines = entry->SummaryLines(*this, TSummaryWording::AfterDialog);
    if (ListBox1->count() != int(lines.size())) {
      // The summary is not the one of this entry: write it whole.
      ListBox1->clear();
      for (const std::string& line : lines) ListBox1->addItem(QString::fromStdString(line));
    } else {
      // Each line in place, so the list keeps its selection.
      for (size_t i = 0; i < lines.size(); ++i) ListBox1->item(int(i))->setText(QString::fromStdString(lines[i]));
    }
  }
  if (XiButStart->isEnabled()) XiButStart->setFocus();
}
