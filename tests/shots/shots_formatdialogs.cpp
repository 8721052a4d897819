// The four format option dialogs opened on a photograph, with their
// defaults and with a few options changed.
#include <QComboBox>
#include <QSpinBox>

#include "controls/xitrackbar.h"
#include "controls/xpcheckbox.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/jpgoptions.h"
#include "dialogs/pngoptions.h"
#include "dialogs/radiogroup.h"
#include "shots.h"

SHOTS(formatdialogs) {
  TJobRecord job(ShotPictureFolder());
  job.PreviewFile = ShotPicture("photo.jpg");
  job.SourceFiles.Add(job.PreviewFile);
  job.FileCount = 1;
  {
    TJPGForm jpeg(nullptr, job);
    SaveShot(&jpeg, "formatdialogs_jpeg_default");
    jpeg.XiTrackBar1->SetPosition(8);
    SaveShot(&jpeg, "formatdialogs_jpeg_quality8");
  }
  {
    TFormGif gif(nullptr, job);
    SaveShot(&gif, "formatdialogs_gif_default");
    gif.ComboColor->setCurrentIndex(0);  // "8"
    gif.ComboDither->setCurrentIndex(0);  // "FloydSteinberg"
    SaveShot(&gif, "formatdialogs_gif_8colors_dithered");
    gif.ComboReduction->setCurrentIndex(1);  // "Monochrome"
    gif.CheckBox1->SetChecked(true);
    gif.CheckBox1Click();
    SaveShot(&gif, "formatdialogs_gif_monochrome_transparent");
  }
  {
    TBMPForm bmp(nullptr, job);
    SaveShot(&bmp, "formatdialogs_bmp_default");
    bmp.RadioGroup1->SetItemIndex(1);  // "4 bit"
    bmp.RadioGroup1Click();
    SaveShot(&bmp, "formatdialogs_bmp_4bit");
  }
  {
    job.PreviewFile = ShotPicture("tall.jpg");
    TBMPForm bmp(nullptr, job);
    bmp.RadioGroup1->SetItemIndex(0);  // "1 bit"
    bmp.RadioGroup1Click();
    SaveShot(&bmp, "formatdialogs_bmp_tall_1bit");
    job.PreviewFile = ShotPicture("photo.jpg");
  }
  {
    TPNGForm png(nullptr, job);
    SaveShot(&png, "formatdialogs_png_default");
    png.XiButton4Click();
    SaveShot(&png, "formatdialogs_png_by_default");
  }
}
