// The effect-list chooser, with a few entries not offered and the context
// menu open.
#include "dialogs/listeffects.h"
#include "engine/effectvisibility.h"
#include "shots.h"
#include "tests/support/testsupport.h"

SHOTS(settings) {
  TempDir dir;
  TJobRecord job(dir.Path());
  ApplyVisibilityMasks(job, AllFilters & ~0b1001'0010u, AllFilters2 & ~(1u << 26));
  TFormListEffects dialog(nullptr, job);
  SaveShot(&dialog, "settings_chooser");
  dialog.CheckListBox1->scrollToBottom();
  dialog.CheckListBox1->setCurrentRow(57);
  SaveShot(&dialog, "settings_chooser_end");
}
