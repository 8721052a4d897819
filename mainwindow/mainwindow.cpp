// The main window's construction, layout, step labels, panels and option
// boxes, and what a run reports to it.
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/effectcatalogue.h"
#include "platform/windows/colors.h"
#include "platform/windows/guard.h"

TFormMain* FormMain = nullptr;

namespace {

constexpr int CollapsedWidth = 200;
const char* const AlignProperty = "brightmillAlign";

// Keeps children docked to an edge of their parent as its size changes:
// "right" at the right edge over the whole height with their own width,
// "top" and "bottom" over the whole width with their own height.
class TAligner : public QObject {
 public:
  using QObject::QObject;
  static void Place(QWidget* parent) {
    for (QObject* object : parent->children()) {
      auto* child = qobject_cast<QWidget*>(object);
      if (!child) continue;
      QString edge = child->property(AlignProperty).toString();
      if (edge == "right")
        child->setGeometry(parent->width() - child->width(), 0, child->width(), parent->height());
      else if (edge == "top")
        child->setGeometry(0, 0, parent->width(), child->height());
      else if (edge == "bottom")
        child->setGeometry(0, parent->height() - child->height(), parent->width(), child->height());
      else if (edge == "topright")
        child->move(parent->width() - child->width() - 12, child->y());
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) Place(static_cast<QWidget*>(watched));
    return false;
  }
};

// Docks the child to an edge of its parent with the given width or height.
void Align(QWidget* child, const char* edge, int size) {
  QWidget* parent = child->parentWidget();
  child->setProperty(AlignProperty, edge);
  if (std::string(edge) == "right") child->resize(size, parent->height());
  else if (std::string(edge) != "topright") child->resize(parent->width(), size);
  if (!parent->property("brightmillAligner").toBool()) {
    parent->installEventFilter(new TAligner(parent));
    parent->setProperty("brightmillAligner", true);
  }
  TAligner::Place(parent);
}
void AlignRight(QWidget* child, int width) { Align(child, "right", width); }

// The window's command keys reach their commands also while a text field
// has the focus, whose own key bindings would take some of them (Ctrl+E is
// "end of line" in a line edit on X11). A key that no enabled command has
// stays with the field.
class TCommandKeys : public QObject {
 public:
  explicit TCommandKeys(QWidget* window) : QObject(window), FWindow(window) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* action : FWindow->findChildren<QAction*>())
      if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
        event->ignore();  // not the field's: the command's shortcut runs
        return true;
      }
    return false;
  }

 private:
  QWidget* FWindow;
};

QFrame* Band(QWidget* parent, const char* name, int height) {
  auto* band = new QFrame(parent);
  band->setObjectName(name);
  band->setFrameShape(QFrame::StyledPanel);
  band->setFrameShadow(QFrame::Raised);
  band->setFixedHeight(height);
  return band;
}

QLabel* StepLabel(QWidget* parent, const char* name, const char* caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->adjustSize();
  label->move(12, 12);
  TFormMain::SetStepReady(label, false);
  return label;
}

TXiButton* Button(QWidget* parent, const char* name, const char* caption, TXiButton::TColorScheme scheme, int x, int y,
                  int width = 75, int height = 25) {
  auto* button = new TXiButton(caption, parent);
  button->setObjectName(name);
  button->SetColorScheme(scheme);
  button->setGeometry(x, y, width, height);
  return button;
}

TXPCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption, int x, int y, bool checked,
                      int width = 60, TColor color = clBtnFace) {
  auto* box = new TXPCheckBox(caption, parent);
  box->setObjectName(name);
  box->SetColor(color);
  box->setGeometry(x, y, width, 17);
  box->SetChecked(checked);
  return box;
}

QListWidget* SummaryList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setFocusPolicy(Qt::ClickFocus);
  return list;
}

QAction* MenuItem(QMenu* menu, const char* name, const char* caption, const char* shortcut = nullptr) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(name);
  if (shortcut) item->setShortcut(QKeySequence(shortcut));
  return item;
}

void FillBackground(QWidget* widget, TColor color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

}  // namespace

// The program's own files (the pattern, the help) are found from its folder
// as it is at start, whatever the folder dialogs make the current directory.
TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), TJobRecord(AbsolutePath(::ProgramFolder())) {
  FormMain = this;
  setObjectName("FormMain");
  setWindowTitle("Brightmill");
  // The worker's steps run on this thread, served from the event loop.
  SetSynchronizeWakeUp([] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  });
  // Code that waits on this thread in a loop of its own keeps the windows
  // going.
  SetProcessMessagesHook([] { QCoreApplication::processEvents(); });
  BuildMenus();
  auto* central = new QWidget(this);
  central->setObjectName("central");
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);
  BuildStep1();
  BuildStep2();
  BuildStep3();
  BuildStep4AndLog();
  for (QWidget* band : {static_cast<QWidget*>(PanelTop1), static_cast<QWidget*>(PanelTop2),
                        static_cast<QWidget*>(PanelTop3), static_cast<QWidget*>(PanelTop4)})
    layout->addWidget(band);
  layout->addWidget(MemoLog, 1);
  layout->addWidget(PanelBottom);

  StatusBar1 = statusBar();
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(true);
  const int panelWidths[2] = {120, 200};
  for (int i = 0; i < 2; ++i) {
    FStatusPanels[i] = new QLabel(StatusBar1);
    FStatusPanels[i]->setFixedWidth(panelWidths[i]);
    FStatusPanels[i]->setFrameShape(QFrame::Panel);
    FStatusPanels[i]->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(FStatusPanels[i]);
  }
  ProgressBar = new QProgressBar(PanelTop4);
  ProgressBar->hide();

  auto* commandKeys = new TCommandKeys(this);
  for (QWidget* field : {static_cast<QWidget*>(XPEditSource), static_cast<QWidget*>(XPEditTarget),
                         static_cast<QWidget*>(MemoLog)})
    field->installEventFilter(commandKeys);

  setMinimumSize(660, 560);
  resize(660, 650);
  XiButSource->setFocus();

  // The expanded widths are those of the layout as designed.
  SourcePanelWidth = Panel4->width();
  TargetPanelWidth = XPGroupBox1->width();

  SaveDialog1.Title = "Save log";
  SaveDialog1.Filter = "Text file (*.txt)";
  SaveDialog1.DefaultExt = "txt";

  LoadRegistryValues();
  // The settings file is read only from the folder the settings key names;
  // when that folder is gone, the standard one is worked out (and made) for
  // the next save, and every stored member keeps its default.
  if (DirectoryExists(SettingsFolder)) LoadSettings();
  else SettingsFolder = GetSettingsFolder(VersionText);
  // The rest of the start-up runs once the event loop runs.
  QCoreApplication::postEvent(this, new QEvent(DeferredStartUpMessage));
}

bool TFormMain::Dispatch(QEvent* message) {
  if (message->type() != DeferredStartUpMessage) return QMainWindow::event(message);
  Guarded([this] { ApplySettingsToControls(); });
  return true;
}

TFormMain::~TFormMain() {
  WaitForApplyEffectThread(true);
  if (FormMain == this) FormMain = nullptr;
}

// --- Building the window ------------------------------------------------------------

namespace {
// Runs a handler of the window so that no exception leaves the slot.
template <class Handler>
auto Safely(TFormMain* window, Handler handler) {
  return [window, handler] { Guarded([window, handler] { (window->*handler)(); }); };
}
}  // namespace

void TFormMain::BuildMenus() {
  ActionFormat = new QAction("File format...", this);
  ActionFormat->setObjectName("ActionFormat");
  ActionFormat->setShortcut(QKeySequence("Ctrl+F"));
  ActionEffect = new QAction("Effect...", this);
  ActionEffect->setObjectName("ActionEffect");
  ActionEffect->setShortcut(QKeySequence("Ctrl+E"));
  // The hint is the status tip (which, unlike the tool tip, can be empty);
  // the buttons bound to an action show it as their tool tip.
  ActionEffect->setToolTip("Setting for sD grid...");
  ActionEffect->setStatusTip("Setting for sD grid...");
  ActionStart = new QAction("Start", this);
  ActionStart->setObjectName("ActionStart");
  ActionStart->setShortcut(QKeySequence("Ctrl+R"));
  ActionStop = new QAction("Stop", this);
  ActionStop->setObjectName("ActionStop");
  ActionStop->setShortcut(QKeySequence("Ctrl+S"));
  for (QAction* action : {ActionFormat, ActionEffect}) action->setProperty("category", "Setting");
  for (QAction* action : {ActionStart, ActionStop}) action->setProperty("category", "Action");
  for (QAction* action : {ActionFormat, ActionEffect, ActionStart, ActionStop}) action->setEnabled(false);
  connect(ActionFormat, &QAction::triggered, this, Safely(this, &TFormMain::ActionFormatExecute));
  connect(ActionEffect, &QAction::triggered, this, Safely(this, &TFormMain::ActionEffectExecute));
  connect(ActionStart, &QAction::triggered, this, Safely(this, &TFormMain::ActionStartExecute));
  connect(ActionStop, &QAction::triggered, this, Safely(this, &TFormMain::ActionStopExecute));

  MenuPath = menuBar()->addMenu("&Path");
  MenuPath->setObjectName("MenuPath");
  Source1 = MenuItem(MenuPath, "Source1", "Select source...", "Ctrl+O");
  Target1 = MenuItem(MenuPath, "Target1", "Select target...", "Ctrl+T");
  MenuPath->addSeparator();
  Exit1 = MenuItem(MenuPath, "Exit1", "Exit");
  connect(Source1, &QAction::triggered, this, Safely(this, &TFormMain::XiButSourceClick));
  connect(Target1, &QAction::triggered, this, Safely(this, &TFormMain::XiButTargetClick));
  connect(Exit1, &QAction::triggered, this, Safely(this, &TFormMain::Exit1Click));

  MenuSetting = menuBar()->addMenu("&Setting");
  MenuSetting->setObjectName("MenuSetting");
  MenuSetting->addAction(ActionFormat);
  MenuSetting->addAction(ActionEffect);
  ItemFormat = ActionFormat;
  ItemEffect = ActionEffect;
  MenuSetting->addSeparator();
  ItemListEffect = MenuItem(MenuSetting, "ItemListEffect", "List of effects...");
  connect(ItemListEffect, &QAction::triggered, this, Safely(this, &TFormMain::ItemListEffectClick));

  MenuAction = menuBar()->addMenu("&Action");
  MenuAction->setObjectName("MenuAction");
  MenuAction->addAction(ActionStart);
  MenuAction->addAction(ActionStop);
  MenuAction->addSeparator();
  ItemSaveLog = MenuItem(MenuAction, "ItemSaveLog", "Save log...", "Ctrl+L");
  ItemClearLog = MenuItem(MenuAction, "ItemClearLog", "Clear log", "Ctrl+D");
  MenuAction->addSeparator();
  SaveEnv = MenuItem(MenuAction, "SaveEnv", "Save environment options");
  connect(ItemSaveLog, &QAction::triggered, this, Safely(this, &TFormMain::XiButSaveLogClick));
  connect(ItemClearLog, &QAction::triggered, this, Safely(this, &TFormMain::XiButClearLogClick));
  connect(SaveEnv, &QAction::triggered, this, Safely(this, &TFormMain::SaveEnvClick));

  MenuHelp = menuBar()->addMenu("&Help");
  MenuHelp->setObjectName("MenuHelp");
  ItemContent = MenuItem(MenuHelp, "ItemContent", "Content", "F1");
  ItemAbout = MenuItem(MenuHelp, "ItemAbout", "About");
  connect(ItemContent, &QAction::triggered, this, Safely(this, &TFormMain::ItemContentClick));
  connect(ItemAbout, &QAction::triggered, this, Safely(this, &TFormMain::ItemAboutClick));
}

void TFormMain::BuildStep1() {
  QWidget* central = centralWidget();
  PanelTop1 = Band(central, "PanelTop1", 129);
  Panel2 = new QFrame(PanelTop1);
  Panel2->setObjectName("Panel2");
  Align(Panel2, "top", 55);
  Label1 = StepLabel(Panel2, "Label1", "1 step");

  Panel4 = new QFrame(Panel2);
  Panel4->setObjectName("Panel4");
  FillBackground(Panel4, clInfoBk);
  AlignRight(Panel4, 576);
  XPCheckBoxBMP = CheckBox(Panel4, "XPCheckBoxBMP", "bmp", 42, 6, true, 60, clInfoBk);
  XPCheckBoxJPG = CheckBox(Panel4, "XPCheckBoxJPG", "jpg", 42, 32, true, 60, clInfoBk);
  XPCheckBoxGIF = CheckBox(Panel4, "XPCheckBoxGIF", "gif", 129, 6, true, 60, clInfoBk);
  XPCheckBoxPNG = CheckBox(Panel4, "XPCheckBoxPNG", "png", 129, 32, true, 60, clInfoBk);
  XPCheckBoxEMF = CheckBox(Panel4, "XPCheckBoxEMF", "emf", 216, 6, true, 60, clInfoBk);
  XPCheckBoxWMF = CheckBox(Panel4, "XPCheckBoxWMF", "wmf", 216, 32, true, 60, clInfoBk);
  XPCheckBoxICO = CheckBox(Panel4, "XPCheckBoxICO", "ico", 303, 6, true, 60, clInfoBk);
  ListBox3 = SummaryList(Panel4, "ListBox3");
  for (int line = 0; line < 7; ++line) ListBox3->addItem(SourceTypeText(line, true));
  AlignRight(ListBox3, 177);
  XiButSourceCol = Button(Panel4, "XiButSourceCol", ">>", TXiButton::csNeoSilver, 0, 0, 20, 20);
  XiButSourceCol->setToolTip("Collapse");

  XiButSource = Button(PanelTop1, "XiButSource", "Source...", TXiButton::csNeoDesert, 72, 70);
  XiButSource->setToolTip("Select a source path");
  XPEditSource = new TXPEdit(PanelTop1);
  XPEditSource->setObjectName("XPEditSource");
  XPEditSource->setGeometry(148, 72, 466, 21);
  XPEditSource->setReadOnly(true);
  XPEditSource->SetColor(0xE0E0E0);
  Panel1 = new QLabel(PanelTop1);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(308, 100, 306, 20);
  Panel1->setAlignment(Qt::AlignCenter);
  XPCheckBox2 = CheckBox(PanelTop1, "XPCheckBox2", "including subfolder", 72, 104, false, 150);

  connect(XiButSourceCol, &TXiButton::clicked, this, Safely(this, &TFormMain::XiButSourceColClick));
  connect(XiButSource, &TXiButton::clicked, this, Safely(this, &TFormMain::XiButSourceClick));
  connect(XPCheckBox2, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBox2Click));
  connect(XPCheckBoxBMP, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxBMPClick));
  connect(XPCheckBoxJPG, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxJPGClick));
  connect(XPCheckBoxGIF, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxGIFClick));
  connect(XPCheckBoxPNG, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxPNGClick));
  connect(XPCheckBoxEMF, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxEMFClick));
  connect(XPCheckBoxWMF, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxWMFClick));
  connect(XPCheckBoxICO, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBoxICOClick));
}

void TFormMain::BuildStep2() {
  PanelTop2 = Band(centralWidget(), "PanelTop2", 112);
  Label2 = StepLabel(PanelTop2, "Label2", "2 step");
  Image2 = new QLabel(PanelTop2);
  Image2->setObjectName("Image2");
  Image2->setPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(24, 24));
  Image2->setGeometry(0, 18, 24, 24);
  Align(Image2, "topright", 24);
  XiButTarget = Button(PanelTop2, "XiButTarget", "Target...", TXiButton::csNeoDesert, 72, 18);
  XiButTarget->setToolTip("Select a target path");
  XPEditTarget = new TXPEdit(PanelTop2);
  XPEditTarget->setObjectName("XPEditTarget");
  XPEditTarget->setGeometry(148, 20, 466, 21);

  Panel3 = new QFrame(PanelTop2);
  Panel3->setObjectName("Panel3");
  Align(Panel3, "bottom", 54);
  XPGroupBox1 = new TXPGroupBox(QString(), Panel3);
  XPGroupBox1->setObjectName("XPGroupBox1");
  XPGroupBox1->SetColor(clInfoBk);
  XPGroupBox1->SetBorderColor(clInfoBk);
  AlignRight(XPGroupBox1, 576);
  auto radio = [&](const char* name, const char* caption, int x) {
    auto* button = new TXPRadioButton(caption, XPGroupBox1);
    button->setObjectName(name);
    button->setGeometry(x, 21, 55, 17);
    button->SetColor(clInfoBk);
    connect(button, &TXPRadioButton::clicked, this,
            [this, button] { Guarded([this, button] { XPRButBMPClick(button); }); });
    return button;
  };
  XPRButBMP = radio("XPRButBMP", "bmp", 42);
  XPRButJPG = radio("XPRButJPG", "jpg", 113);
  XPRButGIF = radio("XPRButGIF", "gif", 183);
  XPRButPNG = radio("XPRButPNG", "png", 254);
  XPRButBMP->SetChecked(true);
  XiButFormat = Button(XPGroupBox1, "XiButFormat", "...", TXiButton::csNeoSky, 320, 19, 30, 23);
  XiButFormat->SetAction(ActionFormat);
  XiButFormat->setText("...");
  ListBox2 = SummaryList(XPGroupBox1, "ListBox2");
  AlignRight(ListBox2, 177);
  XiButTargetCol = Button(XPGroupBox1, "XiButTargetCol", ">>", TXiButton::csNeoSilver, 0, 0, 20, 20);
  XiButTargetCol->setToolTip("Collapse");

  connect(XiButTarget, &TXiButton::clicked, this, Safely(this, &TFormMain::XiButTargetClick));
  connect(XPEditTarget, &TXPEdit::OnChange, this, Safely(this, &TFormMain::XPEditTargetChange));
  connect(XiButTargetCol, &TXiButton::clicked, this, Safely(this, &TFormMain::XiButTargetColClick));
}

void TFormMain::BuildStep3() {
  PanelTop3 = Band(centralWidget(), "PanelTop3", 81);
  Label3 = StepLabel(PanelTop3, "Label3", "3 step");
  ComboBox1 = new QComboBox(PanelTop3);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(false);
  ComboBox1->setGeometry(72, 30, 238, 22);
  // A list of twenty rows under the box, not one as high as the screen.
  ComboBox1->setStyleSheet("QComboBox { combobox-popup: 0; }");
  ComboBox1->setMaxVisibleItems(20);
  ComboBox1->setEnabled(false);
  XiButEffect = Button(PanelTop3, "XiButEffect", "...", TXiButton::csNeoSky, 327, 29, 30, 23);
  XiButEffect->SetAction(ActionEffect);
  XiButEffect->setText("...");
  ListBox1 = SummaryList(PanelTop3, "ListBox1");
  AlignRight(ListBox1, 177);
  // Only a pick by the user runs the handler; refills in code do not.
  connect(ComboBox1, &QComboBox::activated, this, Safely(this, &TFormMain::ComboBox1Change));
}

void TFormMain::BuildStep4AndLog() {
  PanelTop4 = Band(centralWidget(), "PanelTop4", 71);
  Label4 = StepLabel(PanelTop4, "Label4", "4 step");
  XiButStart = Button(PanelTop4, "XiButStart", "Start", TXiButton::csNeoGrass, 72, 22, 65, 30);
  XiButStart->SetAction(ActionStart);
  XiButStop = Button(PanelTop4, "XiButStop", "Stop", TXiButton::csNeoRose, 153, 22, 65, 30);
  XiButStop->SetAction(ActionStop);
  XPCheckBox4 = CheckBox(PanelTop4, "XPCheckBox4", "low case for files name", 473, 47, false, 170);
  connect(XPCheckBox4, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBox4Click));

  MemoLog = new QPlainTextEdit(centralWidget());
  MemoLog->setObjectName("MemoLog");
  MemoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab walks on to the next control; the log takes no tab characters.
  MemoLog->setTabChangesFocus(true);

  PanelBottom = Band(centralWidget(), "PanelBottom", 34);
  XPCheckBox1 = CheckBox(PanelBottom, "XPCheckBox1", "auto save the log", 13, 11, false, 130);
  XiButSaveLog = Button(PanelBottom, "XiButSaveLog", "...", TXiButton::csNeoSky, 160, 5, 30, 24);
  XiButSaveLog->setToolTip("Save log");
  XiButClearLog = Button(PanelBottom, "XiButClearLog", "", TXiButton::csNeoSky, 196, 5, 30, 24);
  {
    // A small cross: the log goes. Drawn on white, the glyph's transparent
    // colour (its top-left pixel).
    QImage glyph(12, 12, QImage::Format_RGB32);
    glyph.fill(Qt::white);
    QPainter painter(&glyph);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(160, 30, 30), 2));
    painter.drawLine(2, 2, 10, 10);
    painter.drawLine(10, 2, 2, 10);
    painter.end();
    XiButClearLog->SetGlyph(glyph);
  }
  XiButClearLog->setToolTip("Clear log");
  XPCheckBox3 = CheckBox(PanelBottom, "XPCheckBox3", "save environment options", 473, 11, false, 180);
  connect(XiButSaveLog, &TXiButton::clicked, this, Safely(this, &TFormMain::XiButSaveLogClick));
  connect(XiButClearLog, &TXiButton::clicked, this, Safely(this, &TFormMain::XiButClearLogClick));
  connect(XPCheckBox3, &TXPCheckBox::clicked, this, Safely(this, &TFormMain::XPCheckBox3Click));
}

TXPCheckBox* TFormMain::SourceTypeBox(int line) const {
  TXPCheckBox* const boxes[] = {XPCheckBoxBMP, XPCheckBoxJPG, XPCheckBoxGIF, XPCheckBoxPNG,
                                XPCheckBoxEMF, XPCheckBoxWMF, XPCheckBoxICO};
  return line >= 0 && line < 7 ? boxes[line] : nullptr;
}

// --- Step labels and the Start rule -------------------------------------------------

void TFormMain::SetStepReady(QLabel* label, bool ready) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ToQColor(ready ? clGreen : clRed));
  label->setPalette(palette);
  label->setProperty("stepReady", ready);
}

bool TFormMain::StepReady(const QLabel* label) { return label->property("stepReady").toBool(); }

void TFormMain::UpdateStartAction() {
  bool ready = FileCount > 0 && TargetIsSet();
  ActionStart->setEnabled(ready && ApplyEffectThread == nullptr);
  SetStepReady(Label4, ready);
}

void TFormMain::UpdateSourceCommands() {
  bool files = FileCount > 0;
  ActionFormat->setEnabled(files);
  ActionEffect->setEnabled(files);
  ComboBox1->setEnabled(files);
}

// --- Panels and option boxes ---------------------------------------------------------

namespace {

// Opens a step's option panel to its full width, or folds it to the
// collapsed width with the controls that need the room hidden; the panel's
// button shows the way it goes next.
void FoldPanel(QWidget* panel, TXiButton* button, std::initializer_list<QWidget*> controls, int width,
               bool expanded) {
  button->setText(expanded ? ">>" : "<<");
  for (QWidget* control : controls) control->setVisible(expanded);
  panel->resize(width, panel->height());
  TAligner::Place(panel->parentWidget());
  button->setToolTip(expanded ? "Collapse" : "Show");
}

}  // namespace

void TFormMain::FoldSourceTypes(bool expanded) {
  FoldPanel(Panel4, XiButSourceCol,
            {XPCheckBoxBMP, XPCheckBoxJPG, XPCheckBoxGIF, XPCheckBoxPNG, XPCheckBoxEMF, XPCheckBoxWMF, XPCheckBoxICO},
            expanded ? SourcePanelWidth : CollapsedWidth, expanded);
  SourcePanelExpanded = expanded;
}

void TFormMain::FoldTargetFormats(bool expanded) {
  FoldPanel(XPGroupBox1, XiButTargetCol, {XPRButBMP, XPRButJPG, XPRButGIF, XPRButPNG, XiButFormat},
            expanded ? TargetPanelWidth : CollapsedWidth, expanded);
  TargetPanelExpanded = expanded;
}

// The decision reads the width, not the stored flag.
void TFormMain::XiButSourceColClick() {
  if (Panel4->width() == CollapsedWidth) ExpandSourceTypes();
  else CollapseSourceTypes();
}

void TFormMain::XiButTargetColClick() {
  if (XPGroupBox1->width() == CollapsedWidth) ExpandTargetFormats();
  else CollapseTargetFormats();
}

void TFormMain::XPCheckBox2Click() { IncludeSubfolders = XPCheckBox2->GetChecked(); }
void TFormMain::XPCheckBox3Click() { SaveEnvironment = XPCheckBox3->GetChecked(); }
void TFormMain::XPCheckBox4Click() { LowerCaseNames = XPCheckBox4->GetChecked(); }

// --- What a run reports -----------------------------------------------------------

void TFormMain::SetRunControls(bool running) {
  ActionStop->setEnabled(running);
  // At the run's end its worker still exists: Start comes back once it is
  // gone (WorkerGone), so that no click reaches a Start that cannot start a
  // run.
  if (running) ActionStart->setEnabled(false);
  else UpdateStartAction();
}

void TFormMain::WorkerGone() { UpdateStartAction(); }

void TFormMain::SetStatusText(int panel, const std::string& text) {
  if (panel < 0 || panel > 1) return;
  FStatusPanels[panel]->setText(QString::fromStdString(text));
  StatusBar1->repaint();
}

void TFormMain::ClearLogView() { MemoLog->clear(); }

void TFormMain::ShowLog(const TStringList& log) {
  QStringList lines;
  FShownLogBytes.clear();
  for (int i = 0; i < log.Count(); ++i) {
    lines << QString::fromStdString(log[i]);
    FShownLogBytes += log[i] + '\n';
  }
  FShownLogText = lines.join('\n');
  MemoLog->setPlainText(FShownLogText);
}

namespace {
std::vector<std::string> Lines(const QListWidget* list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
  return lines;
}
}  // namespace

std::vector<std::string> TFormMain::TargetSummary() { return Lines(ListBox2); }
std::vector<std::string> TFormMain::EffectSummary() { return Lines(ListBox1); }

void TFormMain::ShowProgressBar(int maximum) {
  delete ProgressBar;
  ProgressBar = new QProgressBar(PanelTop4);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setTextVisible(false);
  ProgressBar->setStyleSheet("QProgressBar { background: white; } QProgressBar::chunk { background: blue; }");
  int left = XiButStop->x() + (XiButStop->width() * 4) / 3;
  int top = (PanelTop4->height() - 24) / 2;
  int width = XPCheckBox4->x() - (XiButStop->x() + XiButStop->width() + 4);
  ProgressBar->setGeometry(left, top, width, 24);
  // A range of 0 would make Qt show a busy bar; an empty run shows an empty one.
  ProgressBar->setRange(0, std::max(maximum, 1));
  ProgressBar->setValue(0);
  ProgressBar->show();
  repaint();
}

void TFormMain::StepProgressBar() {
  if (ProgressBar->value() < ProgressBar->maximum()) ProgressBar->setValue(ProgressBar->value() + 1);
}

void TFormMain::HideProgressBar() {
  delete ProgressBar;
  ProgressBar = new QProgressBar(PanelTop4);
  ProgressBar->hide();
}

void TFormMain::FocusSaveLog() { XiButSaveLog->setFocus(); }

bool TFormMain::AutoSaveLog() { return XPCheckBox1->GetChecked(); }

void TFormMain::FileTimed(const std::string& name, double loadMs, double effectMs, double saveMs) {
  if (OnFileTimed) OnFileTimed(name, loadMs, effectMs, saveMs);
}
