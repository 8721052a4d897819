// The shared picture painter on the gallery's photographs.
#include "platform/windows/bitmapview.h"
#include "shots.h"
#include "engine/jobrecord.h"

SHOTS(bitmapview) {
  TBitmap photo;
  TJobRecord::LoadPictureToBitmap(ShotPicture("photo.jpg"), photo);
  TBitmapView view;
  view.SetBitmap(&photo);
  view.FitToBitmap();
  SaveShot(&view, "support_bitmapview_photo_jpg");
  TBitmap gif;
  TJobRecord::LoadPictureToBitmap(ShotPicture("photo.gif"), gif);
  view.SetBitmap(&gif);
  SaveShot(&view, "support_bitmapview_photo_gif");
}
