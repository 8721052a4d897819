// The effect settings dialogs, each opened on the gallery's photographs.
#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "engine/jobrecord.h"
#include "shots.h"

namespace {

// A job over the gallery's pictures, previewing the first.
void FillSources(TJobRecord& job) {
  for (const char* name : {"photo.jpg", "photo.png", "photo.bmp", "photo.gif", "wide.jpg", "tall.jpg"})
    job.SourceFiles.Add(ShotPicture(name));
  job.FileCount = job.SourceFiles.Count();
  job.PreviewIndex = 0;
  job.PreviewFile = job.SourceFiles[0];
}

}  // namespace

SHOTS(effectdialogs) {
  TJobRecord job(ShotPictureFolder());
  FillSources(job);

  job.EffectName = "Gauss blur...";
  job.OneTrackKind = 6;
  {
    TFormEffect dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_one_gauss");
  }
  job.EffectName = "Tile...";
  job.OneTrackKind = 18;
  job.PreviewIndex = 4;  // the wide picture
  job.PreviewFile = job.SourceFiles[4];
  {
    TFormEffect dialog(nullptr, job);
    dialog.TrackBar1->SetPosition(3);
    SaveShot(&dialog, "effectdialogs_one_tile_wide");
  }
  job.PreviewIndex = 0;
  job.PreviewFile = job.SourceFiles[0];

  job.EffectName = "Puzzle...";
  job.TwoTrackKind = 4;
  {
    TFormTwoTrack dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_two_puzzle");
  }
  job.EffectName = "3D grid...";
  job.TwoTrackKind = 0;
  {
    TFormTwoTrack dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_two_grid");
  }

  job.EffectName = "Color tone...";
  job.RgbKind = 2;
  {
    TFormRGB dialog(nullptr, job);
    dialog.TrackBar1->SetPosition(220);
    SaveShot(&dialog, "effectdialogs_three_colortone");
  }
  job.EffectName = "HLS...";
  job.RgbKind = 1;
  {
    TFormRGB dialog(nullptr, job);
    dialog.TrackBar1->SetPosition(10);
    SaveShot(&dialog, "effectdialogs_three_hls");
  }

  job.EffectName = "Fish eye...";
  job.FishEyeRadius = 150;
  {
    TFormFishEye dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_fisheye");
  }
  job.FishEyeInversion = true;
  {
    TFormFishEye dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_fisheye_reverse");
  }

  job.EffectName = "Greyscale";
  job.SimpleEffectKind = 5;
  job.PreviewIndex = 5;  // the tall picture
  job.PreviewFile = job.SourceFiles[5];
  {
    TFormSimpleEffect dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_simple_greyscale_tall");
  }
  job.EffectName = "Inverse";
  job.SimpleEffectKind = 7;
  job.PreviewIndex = 3;  // the GIF
  job.PreviewFile = job.SourceFiles[3];
  {
    TFormSimpleEffect dialog(nullptr, job);
    SaveShot(&dialog, "effectdialogs_simple_inverse_gif");
  }
}
