// The preview-only dialog of the nine effects without parameters; it edits
// nothing but lets the user look at source files with the effect applied.
// SimpleEffectKind (0..8) tells which effect it shows.
#pragma once

#include "dialogs/effectframe.h"

class TFormSimpleEffect : public TEffectFrame {
  Q_OBJECT

 public:
  TFormSimpleEffect(QWidget* parent, TJobRecord& job);

 protected:
  void ApplyEffect(TBitmap& result) override;
  void WriteValues() override {}

 private:
  int FKind;
};
