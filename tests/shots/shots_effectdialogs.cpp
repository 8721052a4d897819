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
#include <type_traits>

SHOTS(effectdialogs) {
  TJobRecord job(ShotPictureFolder());
  UseShotPictures(job);
  // Each dialog: its entry and kind, the picture previewed and where its
  // first slider goes (-1: left as it is).
  const auto shot = [&](auto* kind, const char* effect, int* member, int value, int preview, int slide,
                        const std::string& name) {
    using D = std::remove_pointer_t<decltype(kind)>;
    job.EffectName = effect;
    if (member) *member = value;
    PreviewShotPicture(job, preview);
    SaveDialogShot<D>(job, "effectdialogs_" + name, [slide](D& dialog) {
      if constexpr (requires { dialog.TrackBar1; })
        if (slide >= 0) dialog.TrackBar1->SetPosition(slide);
    });
  };
  shot((TFormEffect*)nullptr, "Gauss blur...", &job.OneTrackKind, 6, 0, -1, "one_gauss");
  shot((TFormEffect*)nullptr, "Tile...", &job.OneTrackKind, 18, 4, 3, "one_tile_wide");  // the wide picture
  shot((TFormTwoTrack*)nullptr, "Puzzle...", &job.TwoTrackKind, 4, 0, -1, "two_puzzle");
  shot((TFormTwoTrack*)nullptr, "3D grid...", &job.TwoTrackKind, 0, 0, -1, "two_grid");
  shot((TFormRGB*)nullptr, "Color tone...", &job.RgbKind, 2, 0, 220, "three_colortone");
  shot((TFormRGB*)nullptr, "HLS...", &job.RgbKind, 1, 0, 10, "three_hls");
  shot((TFormFishEye*)nullptr, "Fish eye...", &job.FishEyeRadius, 150, 0, -1, "fisheye");
  job.FishEyeInversion = true;
  shot((TFormFishEye*)nullptr, "Fish eye...", nullptr, 0, 0, -1, "fisheye_reverse");
  shot((TFormSimpleEffect*)nullptr, "Greyscale", &job.SimpleEffectKind, 5, 5, -1, "simple_greyscale_tall");
  shot((TFormSimpleEffect*)nullptr, "Inverse", &job.SimpleEffectKind, 7, 3, -1, "simple_inverse_gif");
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
