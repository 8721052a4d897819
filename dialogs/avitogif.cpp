#include "dialogs/avitogif.h"

#include <QComboBox>
#include <QLabel>
#include <unordered_set>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xpcheckbox.h"
#include "controls/xpgroupbox.h"
#include "dialogs/radiogroup.h"
#include "platform/windows/bitmapview.h"
#include "platform/windows/guard.h"

namespace {

const char* const kReductionTexts[] = {"Netscape",   "Monochrome", "GrayScale", "WindowsGray",
                                       "Windows20",  "Windows256", "Quantize",  "QuantizeWindows"};
const char* const kDitherTexts[] = {"FloydSteinberg", "Stucki", "Sierra", "JaJuNi", "SteveArche", "Burkes", "Nearest"};
const char* const kColorTexts[] = {"8", "16", "32", "64", "128", "256"};
constexpr int kReductionCount = int(std::size(GifReductionItems));
constexpr int kDitherCount = int(std::size(GifDitherItems));
// The list items "by default" selects: "Quantize", "Nearest" and "256".
constexpr int kQuantizeItem = 6, kNearestItem = 6, k256Item = 5;
// The compression items.
constexpr int kLzwItem = 0, kRleItem = 1;

template <class T, size_t N>
int IndexIn(const T (&items)[N], T value) {
  for (size_t i = 0; i < N; ++i)
    if (items[i] == value) return int(i);
  return -1;
}

QComboBox* MakeList(QWidget* parent, const char* name, const char* const* texts, int count, int top) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (int i = 0; i < count; ++i) list->addItem(texts[i]);
  list->setGeometry(10, top, 125, 25);
  return list;
}

}  // namespace

std::unique_ptr<TBitmap> GifAfterPicture(const TBitmap& bitmap, const TGifConversion& options) {
  // Written as the writer writes it, then read back.
  TMemoryStream written;
  {
    TBitmap work;
    work.Assign(&bitmap);
    TGIFImage gif;
    ConvertToTargetGif(work, options, gif);
    gif.SaveToStream(written);
  }
  written.SetPosition(0);
  TGIFImage read;
  read.LoadFromStream(written);
  auto after = std::make_unique<TBitmap>();
  after->Assign(&read);
  after->SetPixelFormat(pf24bit);

  TGIFSubImage* frame = read.Frames().SubImages(0);
  TGIFGraphicControlExtension* control = frame->GraphicControlExtension();
  if (!frame->Transparent() || !control) return after;
  const int transparent = control->TransparentColorIndex();
  auto hidden = [&](int x, int y) {
    int fx = x - frame->Left(), fy = y - frame->Top();
    return fx >= 0 && fy >= 0 && fx < frame->Width() && fy < frame->Height() && frame->Pixels(fx, fy) == transparent;
  };
  // The transparent pixels take a colour that no other pixel has (there
  // are at most 256 others).
  std::unordered_set<TColor> used;
  for (int y = 0; y < after->Height(); ++y) {
    const uint8_t* row = after->ScanLine(y);
    for (int x = 0; x < after->Width(); ++x)
      if (!hidden(x, y)) used.insert(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  }
  TColor mark = 0;
  while (used.count(mark)) ++mark;
  for (int y = 0; y < after->Height(); ++y) {
    uint8_t* row = after->ScanLine(y);
    for (int x = 0; x < after->Width(); ++x) {
      if (!hidden(x, y)) continue;
      row[3 * x] = GetBValue(mark);
      row[3 * x + 1] = GetGValue(mark);
      row[3 * x + 2] = GetRValue(mark);
    }
  }
  after->SetTransparentColor(mark);
  after->SetTransparent(true);
  return after;
}

TFormGif::TFormGif(QWidget* parent, TJobRecord& job) : TFormatPreviewDialog(parent, job, 686, 345) {
  setObjectName("FormGif");
  Label1 = MakeLabel(this, "Label1", "Before", QPoint(10, 8));
  Label2 = MakeLabel(this, "Label2", "After", QPoint(275, 8));
  Panel1 = MakePreviewPanel("Panel1", QPoint(10, 28));
  Panel2 = MakePreviewPanel("Panel2", QPoint(275, 28));
  ImageSrc = MakePaintBox(Panel1, "ImageSrc", [this](QPainter& canvas) { ImageSrcPaint(canvas); });
  ImageGif = MakePaintBox(Panel2, "ImageGif", [this](QPainter& canvas) { ImageGifPaint(canvas); });

  GroupBox1 = new TXPGroupBox(QString(), this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(537, 4, 145, 337);
  Label3 = MakeLabel(GroupBox1, "Label3", "reduction:", QPoint(10, 16));
  ComboReduction = MakeList(GroupBox1, "ComboReduction", kReductionTexts, kReductionCount, 34);
  Label4 = MakeLabel(GroupBox1, "Label4", "dither:", QPoint(10, 68));
  ComboDither = MakeList(GroupBox1, "ComboDither", kDitherTexts, kDitherCount, 86);
  Label5 = MakeLabel(GroupBox1, "Label5", "colors:", QPoint(10, 120));
  ComboColor = MakeList(GroupBox1, "ComboColor", kColorTexts, int(std::size(kColorTexts)), 138);
  CheckBox1 = new TXPCheckBox("transparent", GroupBox1);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setGeometry(10, 178, 125, 20);
  CheckBox1->SetColor(GroupBox1->Color());
  CompressGroup = new TRadioGroup("Compress", GroupBox1);
  CompressGroup->setObjectName("CompressGroup");
  CompressGroup->setGeometry(10, 210, 125, 52);
  CompressGroup->SetColumns(2);
  CompressGroup->SetItems({"LZW", "RLE"});
  CompressGroup->SetItemIndex(kLzwItem);
  MakeFrameControls(QPoint(10, 300), QPoint(310, 296));

  if (!LoadPreview(Panel2, ImageSrc, ImageGif)) return;

  ShowOptions(GifConversionOf(Job));
  // The codec's process-wide defaults follow the dialog; nothing here
  // reads them back.
  const TGifConversion chosen = ChosenOptions();
  GIFImageDefaultColorReduction = chosen.Reduction;
  GIFImageDefaultDitherMode = chosen.Dither;
  GIFImageDefaultColorReductionBits = chosen.ColorBits;
  GIFImageDefaultCompression = chosen.Compression;
  Connect();
  connect(XiButton3, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton3Click(); }); });
  connect(XiButton1, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton1Click(); }); });
  ImageSrc->update();
  Guarded([this] { UpdatePreview(); });
}

void TFormGif::ShowOptions(const TGifConversion& options) {
  // A stored colour count the list lacks shows "256"; so do the reduction
  // and dither lists their defaults.
  int colors = options.ColorBits - 3;
  ComboColor->setCurrentIndex(colors >= 0 && colors < ComboColor->count() ? colors : k256Item);
  CheckBox1->SetChecked(options.Transparent);
  CompressGroup->SetItemIndex(options.Compression == gcLZW ? kLzwItem : kRleItem);
  int dither = IndexIn(GifDitherItems, options.Dither);
  ComboDither->setCurrentIndex(dither >= 0 ? dither : kNearestItem);
  int reduction = IndexIn(GifReductionItems, options.Reduction);
  ComboReduction->setCurrentIndex(reduction >= 0 ? reduction : kQuantizeItem);
  FReduction = GifReductionItems[ComboReduction->currentIndex()];
  FDither = GifDitherItems[ComboDither->currentIndex()];
}

void TFormGif::Connect() {
  auto guarded = [this](void (TFormGif::*handler)()) {
    return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
  };
  FEvents = {
      connect(ComboReduction, &QComboBox::currentIndexChanged, this, guarded(&TFormGif::ComboReductionChange)),
      connect(ComboDither, &QComboBox::currentIndexChanged, this, guarded(&TFormGif::ComboDitherChange)),
      connect(ComboColor, &QComboBox::currentIndexChanged, this, guarded(&TFormGif::ComboColorChange)),
      connect(CompressGroup, &TRadioGroup::Click, this, guarded(&TFormGif::CompressGroupClick)),
      connect(CheckBox1, &TXPCheckBox::clicked, this, guarded(&TFormGif::CheckBox1Click)),
  };
}

void TFormGif::Disconnect() {
  for (const QMetaObject::Connection& event : FEvents) disconnect(event);
  FEvents.clear();
}

TGifConversion TFormGif::ChosenOptions() const {
  TGifConversion options;
  int reduction = ComboReduction->currentIndex();
  options.Reduction = reduction >= 0 && reduction < kReductionCount ? GifReductionItems[reduction] : FReduction;
  int dither = ComboDither->currentIndex();
  options.Dither = dither >= 0 && dither < kDitherCount ? GifDitherItems[dither] : FDither;
  options.ColorBits = std::max(ComboColor->currentIndex(), 0) + 3;
  options.Compression = CompressGroup->ItemIndex() == kRleItem ? gcRLE : gcLZW;
  options.Transparent = CheckBox1->Checked();
  options.TransparentColor = Job.GifTransparentColor;
  return options;
}

void TFormGif::ImageGifPaint(QPainter& canvas) {
  if (AfterBitmap) DrawBitmap(canvas, 0, 0, *AfterBitmap);
}

void TFormGif::UpdatePreview() { ShowAfter(GifAfterPicture(*BeforeBitmap, ChosenOptions()), ImageGif); }

void TFormGif::ComboReductionChange() {
  FReduction = ChosenOptions().Reduction;
  GIFImageDefaultColorReduction = FReduction;
  UpdatePreview();
  FocusOk();
}

void TFormGif::ComboDitherChange() {
  FDither = ChosenOptions().Dither;
  GIFImageDefaultDitherMode = FDither;
  UpdatePreview();
  FocusOk();
}

void TFormGif::ComboColorChange() {
  GIFImageDefaultColorReductionBits = ChosenOptions().ColorBits;
  UpdatePreview();
  FocusOk();
}

void TFormGif::CompressGroupClick() {
  // The compression does not change the pixels: no new preview.
  GIFImageDefaultCompression = ChosenOptions().Compression;
  FocusOk();
}

void TFormGif::CheckBox1Click() {
  UpdatePreview();
  FocusOk();
}

void TFormGif::XiButton3Click() {
  Disconnect();
  TGifConversion defaults;
  defaults.TransparentColor = Job.GifTransparentColor;
  ShowOptions(defaults);
  GIFImageDefaultColorReduction = defaults.Reduction;
  GIFImageDefaultDitherMode = defaults.Dither;
  GIFImageDefaultColorReductionBits = defaults.ColorBits;
  GIFImageDefaultCompression = defaults.Compression;
  Connect();
  UpdatePreview();
  FocusOk();
}

void TFormGif::XiButton1Click() {
  // Everything comes from the dialog's own controls.
  const TGifConversion chosen = ChosenOptions();
  Job.GifColorBits = chosen.ColorBits;
  Job.GifColorsText = ComboColor->currentText().toStdString();
  Job.GifCompression = chosen.Compression;
  Job.GifDitherMode = chosen.Dither;
  Job.GifDitherText = ComboDither->currentText().toStdString();
  Job.GifColorReduction = chosen.Reduction;
  Job.GifColorReductionText = ComboReduction->currentText().toStdString();
  Job.GifTransparent = chosen.Transparent;
}
