// The slider-and-type, watermark and resize dialogs, each opened on the
// gallery's photographs.
#include "controls/xitrackbar.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/pattern.h"
#include "dialogs/resize.h"
#include "engine/jobrecord.h"
#include "platform/windows/dialogs.h"
#include "shots.h"

namespace {

void FillSources(TJobRecord& job) {
  for (const char* name : {"photo.jpg", "photo.png", "photo.bmp", "photo.gif", "wide.jpg", "tall.jpg"})
    job.SourceFiles.Add(ShotPicture(name));
  job.FileCount = job.SourceFiles.Count();
  job.PreviewIndex = 0;
  job.PreviewFile = job.SourceFiles[0];
}

}  // namespace

SHOTS(effectdialogs2) {
  TJobRecord job(ShotPictureFolder());
  FillSources(job);

  struct TGroupShot {
    int Kind;
    const char* Caption;
    const char* Name;
  };
  for (TGroupShot shot : {TGroupShot{1, "Softened...", "group_softened"}, TGroupShot{2, "Noise...", "group_noise"},
                          TGroupShot{5, "Figure...", "group_figure"}, TGroupShot{11, "Rotate...", "group_rotate"}}) {
    job.GroupEffectKind = shot.Kind;
    job.EffectName = shot.Caption;
    TFormGroupEffect dialog(nullptr, job);
    SaveShot(&dialog, std::string("effectdialogs2_") + shot.Name);
  }

  job.EffectName = "Watermark...";
  {
    TFormPattern dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs2_watermark");
  }
  {
    // A picture pattern larger than its view.
    CommonDialogHooks().OpenPicture = [](QWidget*, const std::string&, const std::string&, const std::string&) {
      return ShotPicture("tall.jpg");
    };
    TFormPattern dialog(nullptr, job);
    dialog.XiButton3Click();
    dialog.TrackBar1->SetPosition(160);
    SaveShot(&dialog, "effectdialogs2_watermark_picture");
    CommonDialogHooks() = {};
  }

  job.EffectName = "Resize...";
  {
    TFormResize dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs2_resize");
  }
  job.ResizePreserveAspect = true;
  job.ResizeScaleType = 2;
  job.ResizePercent = 40;
  {
    TFormResize dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs2_resize_scale");
  }
  job.ResizePreserveAspect = false;
  job.ResizeWidth = 300;
  job.ResizeHeight = 120;
  {
    TFormResize dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs2_resize_free");
  }
}
