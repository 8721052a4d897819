// The effect settings dialogs, each opened on the gallery's photographs.
#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/pattern.h"
#include "dialogs/resize.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "engine/jobrecord.h"
#include "platform/windows/dialogs.h"
#include "shots.h"

namespace {

// Moves the dialog's first slider.
template <class D>
std::function<void(D&)> Slide(int position) {
  return [position](D& dialog) { dialog.TrackBar1->SetPosition(position); };
}

}  // namespace

SHOTS(effectdialogs) {
  TJobRecord job(ShotPictureFolder());
  UseShotPictures(job);

  job.EffectName = "Gauss blur...";
  job.OneTrackKind = 6;
  SaveDialogShot<TFormEffect>(job, "effectdialogs_one_gauss");
  job.EffectName = "Tile...";
  job.OneTrackKind = 18;
  PreviewShotPicture(job, 4);  // the wide picture
  SaveDialogShot<TFormEffect>(job, "effectdialogs_one_tile_wide", Slide<TFormEffect>(3));
  PreviewShotPicture(job, 0);

  job.EffectName = "Puzzle...";
  job.TwoTrackKind = 4;
  SaveDialogShot<TFormTwoTrack>(job, "effectdialogs_two_puzzle");
  job.EffectName = "3D grid...";
  job.TwoTrackKind = 0;
  SaveDialogShot<TFormTwoTrack>(job, "effectdialogs_two_grid");

  job.EffectName = "Color tone...";
  job.RgbKind = 2;
  SaveDialogShot<TFormRGB>(job, "effectdialogs_three_colortone", Slide<TFormRGB>(220));
  job.EffectName = "HLS...";
  job.RgbKind = 1;
  SaveDialogShot<TFormRGB>(job, "effectdialogs_three_hls", Slide<TFormRGB>(10));

  job.EffectName = "Fish eye...";
  job.FishEyeRadius = 150;
  SaveDialogShot<TFormFishEye>(job, "effectdialogs_fisheye");
  job.FishEyeInversion = true;
  SaveDialogShot<TFormFishEye>(job, "effectdialogs_fisheye_reverse");

  job.EffectName = "Greyscale";
  job.SimpleEffectKind = 5;
  PreviewShotPicture(job, 5);  // the tall picture
  SaveDialogShot<TFormSimpleEffect>(job, "effectdialogs_simple_greyscale_tall");
  job.EffectName = "Inverse";
  job.SimpleEffectKind = 7;
  PreviewShotPicture(job, 3);  // the GIF
  SaveDialogShot<TFormSimpleEffect>(job, "effectdialogs_simple_inverse_gif");
}

// The slider-and-type, watermark and resize dialogs.
SHOTS(effectdialogs2) {
  TJobRecord job(ShotPictureFolder());
  UseShotPictures(job);

  const std::tuple<int, const char*, const char*> groups[] = {
      {1, "Softened...", "group_softened"},
      {2, "Noise...", "group_noise"},
      {5, "Figure...", "group_figure"},
      {11, "Rotate...", "group_rotate"}};
  for (auto [kind, caption, name] : groups) {
    job.GroupEffectKind = kind;
    job.EffectName = caption;
    SaveDialogShot<TFormGroupEffect>(job, std::string("effectdialogs2_") + name);
  }

  job.EffectName = "Watermark...";
  SaveDialogShot<TFormPattern>(job, "effectdialogs2_watermark");
  // A picture pattern larger than its view.
  CommonDialogHooks().OpenPicture = [](QWidget*, const std::string&, const std::string&, const std::string&) {
    return ShotPicture("tall.jpg");
  };
  SaveDialogShot<TFormPattern>(job, "effectdialogs2_watermark_picture", [](TFormPattern& dialog) {
    dialog.XiButton3Click();
    dialog.TrackBar1->SetPosition(160);
  });
  CommonDialogHooks() = {};

  job.EffectName = "Resize...";
  SaveDialogShot<TFormResize>(job, "effectdialogs2_resize");
  job.ResizePreserveAspect = true;
  job.ResizeScaleType = 2;
  job.ResizePercent = 40;
  SaveDialogShot<TFormResize>(job, "effectdialogs2_resize_scale");
  job.ResizePreserveAspect = false;
  job.ResizeWidth = 300;
  job.ResizeHeight = 120;
  SaveDialogShot<TFormResize>(job, "effectdialogs2_resize_free");
}
