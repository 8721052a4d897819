// The about box: the product's title and version over a picture, the logo,
// and two links, one writing a mail to the maker and one opening the maker's
// web site with the program's version tag.
#pragma once

#include <QFrame>
#include <QLabel>
#include <string>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "dialogs/centreddialog.h"
#include "engine/jobrecord.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/bitmapview.h"

class TFormAbout : public TCentredDialog {
  Q_OBJECT

 public:
  TFormAbout(QWidget* parent, TJobRecord& job);
  ~TFormAbout() override;

  // The links' targets: "mailto:" and the contact address; the web site's
  // address with the path "/" and the query "?about" followed by the job's
  // VersionTag as it is now.
  std::string MailTarget() const;
  std::string WebTarget() const;

  // Opens the mail link / the web link with the desktop's programs; a link
  // that nothing opens fails silently and the box stays open.
  void Label4Click();
  void Label3Click();

  TXiButton* XiButton1 = nullptr;  // "OK"
  QLabel* Label6 = nullptr;        // the notice at the bottom left
  QFrame* Panel1 = nullptr;        // the picture area
  TBitmapView* Image1 = nullptr;   // the background picture
  TXiPanel* XiPanel2 = nullptr;    // the band with the links
  QLabel* Label4 = nullptr;        // mail link
  QLabel* Label3 = nullptr;        // web link
  QLabel* Label2 = nullptr;        // "v1.4.1"
  QLabel* Label5 = nullptr;        // the title's grey shadow
  QLabel* Label1 = nullptr;        // the title
  QFrame* Panel2 = nullptr;        // the logo's frame
  TBitmapView* Image2 = nullptr;   // the logo

  // The pictures as shown (the background already fitted to its area).
  const TBitmap& Background() const { return FBackground; }
  const TBitmap& Logo() const { return FLogo; }

 private:
  TJobRecord& FJob;
  TBitmap FBackground;
  TBitmap FLogo;
};
