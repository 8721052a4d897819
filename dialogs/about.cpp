#include "dialogs/about.h"

#include <QMouseEvent>
#include <functional>

#include "dialogs/dialogbuttons.h"
#include "effects/resample.h"
#include "gif/gifimage.h"
#include "platform/system/resources.h"
#include "platform/windows/colors.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/guard.h"

// Where the maker is reached; set when the program is configured.
#ifndef BRIGHTMILL_CONTACT_MAIL
#define BRIGHTMILL_CONTACT_MAIL "brightmill@example.com"
#endif
#ifndef BRIGHTMILL_WEB_SITE
#define BRIGHTMILL_WEB_SITE "www.example.org"
#endif

namespace {

const char* const kTitle = "Brightmill";

// A label that runs a handler when it is clicked.
class TLinkLabel : public QLabel {
 public:
  TLinkLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
      : QLabel(text, parent), FOnClick(std::move(onClick)) {
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Guarded(FOnClick);
    QLabel::mouseReleaseEvent(event);
  }

 private:
  std::function<void()> FOnClick;
};

// Reads one of the pictures kept in the program as GIF data into a 24-bit
// bitmap; an unreadable one leaves the bitmap empty.
void LoadStoredGif(const char* resource, TBitmap& bitmap) {
  TGIFDrawOptions animate = DrawOption(goAnimate);
  TGIFDrawOptions saved = GIFImageDefaultDrawOptions;
  try {
    GIFImageDefaultDrawOptions &= TGIFDrawOptions(~animate);
    TGIFImage gif;
    TResourceStream stream(HInstance, resource, RT_RCDATA);
    gif.LoadFromStream(stream);
    bitmap.Assign(&gif);
    bitmap.SetPixelFormat(pf24bit);
  } catch (...) {
    bitmap.SetSize(0, 0);
  }
  GIFImageDefaultDrawOptions = saved;
}

QLabel* TransparentLabel(const QString& text, QWidget* parent, const QFont& font, TColor color) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->setAttribute(Qt::WA_TranslucentBackground);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ToQColor(color));
  label->setPalette(palette);
  label->adjustSize();
  return label;
}

QFont PixelFont(const QString& family, int pixels, QFont::StyleHint hint) {
  QFont font(family);
  font.setStyleHint(hint);
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent, TJobRecord& job) : TCentredDialog(parent), FJob(job) {
  setWindowTitle("About");
  setFixedSize(609, 393);
  setFont(PixelFont("MS Sans Serif", 11, QFont::SansSerif));
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(0, 0, 609, 353);

  XiPanel2 = new TXiPanel(Panel1);
  XiPanel2->setObjectName("XiPanel2");
  XiPanel2->setGeometry(0, Panel1->height() - 41, Panel1->width(), 41);
  XiPanel2->SetColorScheme(TXiPanel::csSilver);
  XiPanel2->SetFillDirection(TXiPanel::fdVertical);
  XiPanel2->SetBevelInner(TXiPanel::bvSpace);
  XiPanel2->SetBevelOuter(TXiPanel::bvNone);

  // The background fills the area above the band, stretched to it.
  Image1 = new TBitmapView(Panel1);
  Image1->setObjectName("Image1");
  Image1->setGeometry(0, 0, Panel1->width(), XiPanel2->y());
  TBitmap picture;
  LoadStoredGif("ABOUT_BACKGROUND", picture);
  if (!picture.Empty()) {
    FBackground.SetPixelFormat(pf24bit);
    FBackground.SetSize(Image1->width(), Image1->height());
    StretchBicubic(FBackground, picture);
  }
  Image1->SetBitmap(&FBackground);
  Image1->SetCentered(true);

  const QFont linkFont = PixelFont("MS Sans Serif", 13, QFont::SansSerif);
  Label4 = new TLinkLabel(BRIGHTMILL_CONTACT_MAIL, XiPanel2, [this] { Label4Click(); });
  Label3 = new TLinkLabel(QString(" ") + BRIGHTMILL_WEB_SITE, XiPanel2, [this] { Label3Click(); });
  for (QLabel* link : {Label4, Label3}) {
    link->setFont(linkFont);
    link->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, ToQColor(clBlue));
    link->setPalette(palette);
    link->adjustSize();
  }
  Label4->setObjectName("Label4");
  Label3->setObjectName("Label3");
  // The mail address keeps its right edge where a short address would end.
  Label4->move(std::min(411, XiPanel2->width() - 8 - Label4->width()), 12);
  Label3->move(8, 12);

  const QFont titleFont = PixelFont("Times New Roman", 48, QFont::Serif);
  Label2 = TransparentLabel("v1.4.1", Panel1, PixelFont("MS Sans Serif", 19, QFont::SansSerif), clLime);
  Label2->setObjectName("Label2");
  Label5 = TransparentLabel(kTitle, Panel1, titleFont, 0x939393);
  Label5->setObjectName("Label5");
  Label1 = TransparentLabel(kTitle, Panel1, titleFont, clBlue);
  Label1->setObjectName("Label1");
  Label2->move(0, 200);
  Label1->move(0, 136);
  Label5->move(0, 137);

  Panel2 = new QFrame(Panel1);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setLineWidth(2);
  Panel2->setGeometry(0, 0, 130, 130);
  Image2 = new TBitmapView(Panel2);
  Image2->setObjectName("Image2");
  Image2->setGeometry(2, 2, 126, 126);
  LoadStoredGif("ABOUT_LOGO", FLogo);
  Image2->SetBitmap(&FLogo);
  Image2->SetCentered(true);

  // Centred across the picture area; the shadow lies 3 pixels to the right
  // of the title (and, by its top, 1 below).
  Panel2->move((Panel1->width() - Panel2->width()) / 2, Panel2->y());
  Label1->move((Panel1->width() - Label1->width()) / 2, Label1->y());
  Label5->move((Panel1->width() - Label5->width()) / 2 + 3, Label5->y());
  Label2->move((Panel1->width() - Label2->width()) / 2, Label2->y());
  Label1->raise();

  XiButton1 = MakeOkButton(this, QRect(512, 360, 75, 25), TXiButton::csNeoSilver);

  Label6 = new QLabel("Brightmill converts whole folders of pictures.", this);
  Label6->setObjectName("Label6");
  Label6->setAutoFillBackground(true);
  Label6->setPalette(white);
  Label6->adjustSize();
  Label6->move(4, 376);
}

TFormAbout::~TFormAbout() = default;

std::string TFormAbout::MailTarget() const { return std::string("mailto:") + BRIGHTMILL_CONTACT_MAIL; }

std::string TFormAbout::WebTarget() const {
  std::string site = BRIGHTMILL_WEB_SITE;
  if (site.find("://") == std::string::npos) site = "https://" + site;
  while (!site.empty() && site.back() == '/') site.pop_back();
  return site + "/?about" + FJob.VersionTag;
}

void TFormAbout::Label4Click() { OpenUrl(MailTarget()); }

void TFormAbout::Label3Click() { OpenUrl(WebTarget()); }
