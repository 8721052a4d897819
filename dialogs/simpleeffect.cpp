#include "dialogs/simpleeffect.h"

#include "effects/function.h"

TFormSimpleEffect::TFormSimpleEffect(QWidget* parent, TJobRecord& job)
    : TEffectFrame(parent, job), FKind(job.SimpleEffectKind) {
  BuildFrame(625, 519, 0, 428, 528, 482);
  SetFaceColor(TColor(0xB5FFFF));  // pale yellow
  Panel3->setText("normal");
  setWindowTitle(QString::fromStdString(job.EffectName));
  StartPreview();
}

void TFormSimpleEffect::ApplyEffect(TBitmap& result) {
  // The flips take their direction from the kind, not from FlipMode.
  switch (FKind) {
    case 0: ApplyAutoColor(result); break;
    case 1: ApplyContrastAuto(result); break;
    case 2: ApplyFlip(result, 0); break;
    case 3: ApplyFlip(result, 1); break;
    case 4: ApplyFlip(result, 2); break;
    case 5: ApplyGreyscale(result); break;
    case 6: ApplyHalftone(result); break;
    case 7: ApplyInverse(result); break;
    case 8: ApplyMonochrome(result); break;
    default: break;
  }
}
