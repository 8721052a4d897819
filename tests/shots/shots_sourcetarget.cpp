// The main window's source and target steps after a scan, with each target
// format, and the about box.
#include "dialogs/about.h"
#include "shots.h"

SHOTS(sourcetarget) {
  TJobRecord job(ShotPictureFolder());
  TFormAbout about(nullptr, job);
  SaveShot(&about, "sourcetarget_about");
}
