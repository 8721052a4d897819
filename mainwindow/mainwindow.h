// The main window: holds the job for the life of the program, starts and
// stops runs and shows what they report.
#pragma once

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <functional>

#include "controls/xibutton.h"
#include "controls/xpcheckbox.h"
#include "engine/applythread.h"
#include "engine/jobrecord.h"

class TFormMain : public QMainWindow, public TJobRecord, public TRunView {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // --- Commands ----------------------------------------------------------------
  // Start: checks the job and hands it to a new worker.
  void ActionStartExecute();
  // Stop: the worker finishes the file in progress, then closes the log.
  void ActionStopExecute();
  // Closing: a run in progress is stopped and waited for; closing is never
  // refused.
  void FormCloseQuery(bool& canClose);

  // --- Controls a run reports to -----------------------------------------------
  QAction* ActionStart = nullptr;
  QAction* ActionStop = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QPlainTextEdit* MemoLog = nullptr;
  QListWidget* ListBox1 = nullptr;  // the effect summary
  QListWidget* ListBox2 = nullptr;  // the target summary
  QWidget* PanelTop4 = nullptr;
  TXiButton* XiButStart = nullptr;
  TXiButton* XiButStop = nullptr;
  TXPCheckBox* XPCheckBox4 = nullptr;  // "low case for files name"
  TXPCheckBox* XPCheckBox1 = nullptr;  // "auto save the log"
  TXiButton* XiButSaveLog = nullptr;
  QProgressBar* ProgressBar = nullptr;

  // Called after each file with the time spent loading, in the effect and
  // saving (for tools that measure runs).
  std::function<void(const std::string&, double, double, double)> OnFileTimed;

  // --- TRunView ------------------------------------------------------------------
  TJobRecord& Job() override { return *this; }
  void SetRunControls(bool running) override;
  void SetStatusText(int panel, const std::string& text) override;
  void ClearLogView() override;
  void ShowLog(const TStringList& log) override;
  std::vector<std::string> TargetSummary() override;
  std::vector<std::string> EffectSummary() override;
  void ShowProgressBar(int maximum) override;
  void StepProgressBar() override;
  void HideProgressBar() override;
  void FocusSaveLog() override;
  bool AutoSaveLog() override;
  void FileTimed(const std::string& name, double loadMs, double effectMs, double saveMs) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  QLabel* FStatusPanels[2] = {nullptr, nullptr};
};

// The one main window, set as soon as it is being made.
extern TFormMain* FormMain;
