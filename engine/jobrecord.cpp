#include "engine/jobrecord.h"

TJobRecord::TJobRecord(const std::string& programFolder) : ProgramFolder(programFolder) {
  HelpCommandLine = " " + ProgramFolder + "help.chm";
  VersionTag = VersionText + "(Brmil)";
  WatermarkFile = ProgramFolder + "back.bmp";
  BuildWatermarkPattern();
}

TJobRecord::~TJobRecord() = default;

void TJobRecord::BuildWatermarkPattern() {
  WatermarkBitmap = std::make_unique<TBitmap>();
  if (WatermarkFromFile && FileExists(WatermarkFile)) {
    TBitmap picture;
    picture.SetPixelFormat(pf24bit);
    // A picture without pixels cannot be tiled; it counts as not loaded.
    if (LoadPictureToBitmap(WatermarkFile, picture) && picture.Width() > 0 && picture.Height() > 0) {
      WatermarkBitmap->Assign(&picture);
      WatermarkBitmap->SetPixelFormat(pf24bit);
      return;
    }
  }
  WatermarkFromFile = false;
  WatermarkBitmap->SetPixelFormat(pf24bit);
  WatermarkBitmap->SetSize(60, 60);
  WatermarkBitmap->Canvas()->Brush.Color = WatermarkColor;
  WatermarkBitmap->Canvas()->FillRect(Rect(0, 0, 60, 60));
}
