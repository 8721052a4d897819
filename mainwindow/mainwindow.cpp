#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/drives.h"
#include "platform/windows/messages.h"

TFormMain* FormMain = nullptr;

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), TJobRecord(::ProgramFolder()) {
  FormMain = this;
  setWindowTitle("Brightmill");
  // The worker's steps run on this thread, served from the event loop.
  SetSynchronizeWakeUp([] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  });
  BuildControls();
  resize(720, 540);
}

TFormMain::~TFormMain() {
  WaitForApplyEffectThread(true);
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::BuildControls() {
  ActionStart = new QAction("Start", this);
  ActionStart->setShortcut(QKeySequence("Ctrl+R"));
  ActionStart->setEnabled(false);
  connect(ActionStart, &QAction::triggered, this, [this] { ActionStartExecute(); });
  ActionStop = new QAction("Stop", this);
  ActionStop->setShortcut(QKeySequence("Ctrl+S"));
  ActionStop->setEnabled(false);
  connect(ActionStop, &QAction::triggered, this, [this] { ActionStopExecute(); });
  QMenu* actionMenu = menuBar()->addMenu("Action");
  actionMenu->addAction(ActionStart);
  actionMenu->addAction(ActionStop);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);

  auto* summaries = new QHBoxLayout;
  ListBox2 = new QListWidget(central);
  ListBox1 = new QListWidget(central);
  summaries->addWidget(ListBox2);
  summaries->addWidget(ListBox1);
  layout->addLayout(summaries);

  PanelTop4 = new QWidget(central);
  PanelTop4->setFixedHeight(40);
  XiButStart = new TXiButton("Start", PanelTop4);
  XiButStart->SetAction(ActionStart);
  XiButStart->setGeometry(8, 8, 75, 25);
  XiButStop = new TXiButton("Stop", PanelTop4);
  XiButStop->SetAction(ActionStop);
  XiButStop->setGeometry(90, 8, 75, 25);
  XPCheckBox4 = new TXPCheckBox("low case for files name", PanelTop4);
  XPCheckBox4->setGeometry(520, 11, 180, 17);
  connect(XPCheckBox4, &TXPCheckBox::clicked, this, [this] { LowerCaseNames = XPCheckBox4->GetChecked(); });
  layout->addWidget(PanelTop4);

  MemoLog = new QPlainTextEdit(central);
  MemoLog->setReadOnly(true);
  layout->addWidget(MemoLog, 1);

  auto* logRow = new QHBoxLayout;
  XPCheckBox1 = new TXPCheckBox("auto save the log", central);
  XiButSaveLog = new TXiButton("...", central);
  XiButSaveLog->setToolTip("Save log");
  logRow->addWidget(XPCheckBox1);
  logRow->addStretch(1);
  logRow->addWidget(XiButSaveLog);
  layout->addLayout(logRow);
  setCentralWidget(central);

  StatusBar1 = statusBar();
  for (QLabel*& panel : FStatusPanels) {
    panel = new QLabel(StatusBar1);
    StatusBar1->addWidget(panel, 1);
  }
  ProgressBar = new QProgressBar(PanelTop4);
  ProgressBar->hide();
}

// --- Commands -------------------------------------------------------------------

void TFormMain::ActionStartExecute() {
  // One worker at a time: a Start accepted before the run shows itself as
  // running does nothing.
  if (ApplyEffectThread) return;
  if (!DirectoryExists(SourceDir)) {
    ShowMessage("Don't exist the directory: " + SourceDir + " Try select another.");
    return;
  }
  if (!DirectoryExists(TargetDir) && !CreateDir(TargetDir)) {
    ShowMessage("Cannot create " + TargetDir + " directory.");
    return;
  }
  if (IsOnOpticalDisc(TargetDir)) {
    ShowMessage("You select in the capacity of the Target directory CD-ROM. Please, select another disk.");
    return;
  }
  if (SameText(EffectName, "Resize...") && (ResizeWidth <= 0 || ResizeHeight <= 0)) {
    ShowMessage(
        "Please, define a new value for Width parameter, if it is 0 or less. Also define a new value for Height "
        "parameter, if it is 0 or less.");
    return;
  }
  StartTicks = GetTickCount();
  StartApplyEffectThread(*this);
}

void TFormMain::ActionStopExecute() {
  if (ApplyEffectThread) ApplyEffectThread->Terminate();
}

void TFormMain::FormCloseQuery(bool& canClose) {
  WaitForApplyEffectThread(true);
  canClose = true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  FormCloseQuery(canClose);
  if (canClose) event->accept();
  else event->ignore();
}

// --- What a run reports -----------------------------------------------------------

void TFormMain::SetRunControls(bool running) {
  ActionStart->setEnabled(!running);
  ActionStop->setEnabled(running);
}

void TFormMain::SetStatusText(int panel, const std::string& text) {
  if (panel < 0 || panel > 1) return;
  FStatusPanels[panel]->setText(QString::fromStdString(text));
  StatusBar1->repaint();
}

void TFormMain::ClearLogView() { MemoLog->clear(); }

void TFormMain::ShowLog(const TStringList& log) {
  QStringList lines;
  for (int i = 0; i < log.Count(); ++i) lines << QString::fromStdString(log[i]);
  MemoLog->setPlainText(lines.join('\n'));
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
