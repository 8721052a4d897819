// The main window: holds the job for the life of the program, builds it in
// three numbered steps (source folder and types, target folder and format,
// effect), starts and stops runs and shows what they report.
//
// The handlers are grouped by the command they serve; each group lives in
// its own source file of mainwindow/.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <functional>
#include <memory>
#include <string>

#include "controls/xibutton.h"
#include "controls/xpcheckbox.h"
#include "controls/xpedit.h"
#include "controls/xpgroupbox.h"
#include "controls/xpradiobutton.h"
#include "engine/applythread.h"
#include "engine/effectcatalogue.h"
#include "engine/jobrecord.h"
#include "platform/system/drives.h"
#include "platform/windows/dialogs.h"

// The message the window posts itself at construction; the deferred
// start-up runs when it arrives (the application's messages begin at
// 0x8000, this is the 1000th).
constexpr QEvent::Type DeferredStartUpMessage = QEvent::Type(0x8000 + 1000);

class TFormMain : public QMainWindow, public TJobRecord, public TRunView {
  Q_OBJECT

 public:
  // Sets every default of the job, reads the registry and the settings
  // file and posts the deferred start-up (ApplySettingsToControls), which
  // runs once the event loop runs.
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // --- Start-up ------------------------------------------------------------------
  // Copies the job into the controls, fills the effect list, selects the
  // target format and scans the source folder. Runs once; later calls do
  // nothing.
  void ApplySettingsToControls();
  bool StartedUp() const { return FStartedUp; }

  // --- Step labels and the Start rule ----------------------------------------------
  // Red (not ready) or green (ready).
  static void SetStepReady(QLabel* label, bool ready);
  static bool StepReady(const QLabel* label);
  // A target folder is set: held only as the colour of step 2.
  bool TargetIsSet() const { return StepReady(Label2); }
  // The one rule for Start: no worker exists, FileCount > 0 and a target is
  // set. Sets ActionStart and the colour of step 4 (which stays green
  // during a run). Every place that may enable Start calls this, the end
  // of a run once its worker is gone among them.
  void UpdateStartAction();
  // "File format...", "Effect..." and the effect list need source files:
  // enabled when FileCount > 0, disabled otherwise. (Choosing "Convert to
  // selected format" disables "Effect..." until the next scan.)
  void UpdateSourceCommands();

  // --- Panels and option boxes -----------------------------------------------------
  // Show or fold the seven source types, or the four target formats and
  // the format button; the summary list and the collapse button stay.
  void ExpandSourceTypes() { FoldSourceTypes(true); }
  void CollapseSourceTypes() { FoldSourceTypes(false); }
  void ExpandTargetFormats() { FoldTargetFormats(true); }
  void CollapseTargetFormats() { FoldTargetFormats(false); }
  void XiButSourceColClick();
  void XiButTargetColClick();
  void XPCheckBox2Click();  // "including subfolder"
  void XPCheckBox3Click();  // "save environment options"
  void XPCheckBox4Click();  // "low case for files name"

  // --- Effect choice and summary ---------------------------------------------------
  // The user picked an item of ComboBox1.
  void ComboBox1Change();
  // Appends the summary lines of the named effect to ListBox1 (it never
  // clears it), sets the hint and state of "Effect..." and, for a flip
  // entry, FlipMode. enableAction: enable "Effect..." and focus its button.
  // A name that is no entry changes nothing.
  void ShowEffectSettings(const std::string& name, bool enableAction);
  // "List of effects...": the chooser, then the combo box refilled.
  void ItemListEffectClick();
  // Fills ComboBox1 with VisibleEffectNames and selects index (item 0 when
  // index is out of range, nothing when the list is empty), without running
  // its handler; sets EffectName to the selected caption.
  void RefillEffectList(int index);

  // --- Run control -----------------------------------------------------------------
  // Start: checks the source folder, the target folder (one missing level
  // is made), a CD-ROM target and a Resize without a size, then hands the
  // job to a new worker.
  void ActionStartExecute();
  // Stop: the worker finishes the file in progress, then closes the log.
  void ActionStopExecute();
  // Closing: a run in progress is stopped and its remaining steps served
  // until the worker has ended; then the registry and, when asked, the
  // settings file are written and the help viewer is ended. Never refuses
  // by itself; a settings file that cannot be written raises its error,
  // which keeps the window open.
  void FormCloseQuery(bool& canClose);
  // Path > Exit.
  void Exit1Click();

  // --- Source folder scan ------------------------------------------
  void XiButSourceClick();
  // Appends the accepted pictures of folder (and of its sub-folders when
  // asked) to SourceFiles; the caller empties the list first.
  void ScanSourceFolder(const std::string& folder, bool includeSubfolders);
  void AddFolderFiles(const std::string& folder, TStringList& files);
  // The folder dialog: true and folder (with a trailing '/') when one was
  // picked, which then becomes the current directory; false and folder
  // unchanged when cancelled. It opens on the current directory: the folder
  // picked last (source or target), at first the one the program started
  // in. Nothing the program keeps for itself is found from the current
  // directory.
  bool BrowseForFolder(std::string& folder, const std::string& title);
  void XPCheckBoxBMPClick();
  void XPCheckBoxJPGClick();
  void XPCheckBoxGIFClick();
  void XPCheckBoxPNGClick();
  void XPCheckBoxEMFClick();
  void XPCheckBoxWMFClick();
  void XPCheckBoxICOClick();

  // --- Target folder and format ---------------------------------
  void XiButTargetClick();
  void XPEditTargetChange();
  // Any of the four format radio buttons; sender is the button.
  void XPRButBMPClick(QObject* sender);
  void SetTargetFormat(int index);
  void ActionFormatExecute();

  // --- Effect settings command ---------------------------------
  void ActionEffectExecute();
  // Shared by the effect and format commands: with no files false; an index
  // outside the list becomes 0; PreviewFile is set, and a file that has gone
  // is reported and gives false.
  bool CheckPreviewFile();

  // --- Effect-list chooser ----------------------------------------------------------
  // Shows the chooser modally; true when it was left with OK (it has then
  // rewritten EffectVisible and VisibleEffectNames).
  bool ExecuteEffectListChooser();

  // --- Registry and settings file -------------------------------------------------
  // The settings key: settings folder, window placement, offered effects. A
  // key that is missing or cannot be read gives the defaults (every effect
  // offered, 660 x 650 centred).
  void LoadRegistryValues();
  // Writes all eight values; nothing when the key's folder is gone.
  void SaveRegistryValues();
  // The settings folder with a trailing '/', made when missing; "" on
  // failure.
  std::string GetSettingsFolder(const std::string& version);
  // Reads SettingsFolder + "brmil.dat" into the stored members (nothing
  // without a settings folder).
  void LoadSettings();
  // Writes the stored members into SettingsFolder + "brmil.dat" in one
  // step; raises EIniFileException "Unable to write to <file>" when it
  // cannot, the file then as it was.
  void SaveSettings();
  void SaveEnvClick();

  // --- Log and help commands --------------------------------------------------------
  void XiButSaveLogClick();
  void XiButClearLogClick();
  void ItemContentClick();
  void ItemAboutClick();
  // Ends the help viewer started from the Help menu when it still runs.
  void EndHelpViewer();

  // --- Controls (designer names) ----------------------------------------------------
  QAction* ActionFormat = nullptr;
  QAction* ActionEffect = nullptr;
  // The menu items "File format..." and "Effect...": a menu shows an action
  // itself, so these are the two actions as the menu holds them.
  QAction* ItemFormat = nullptr;
  QAction* ItemEffect = nullptr;
  QAction* ActionStart = nullptr;
  QAction* ActionStop = nullptr;
  QMenu* MenuPath = nullptr;
  QMenu* MenuSetting = nullptr;
  QMenu* MenuAction = nullptr;
  QMenu* MenuHelp = nullptr;
  QAction* Source1 = nullptr;  // "Select source..."
  QAction* Target1 = nullptr;  // "Select target..."
  QAction* Exit1 = nullptr;
  QAction* ItemListEffect = nullptr;
  QAction* ItemSaveLog = nullptr;
  QAction* ItemClearLog = nullptr;
  QAction* SaveEnv = nullptr;
  QAction* ItemContent = nullptr;
  QAction* ItemAbout = nullptr;

  // Step 1
  QFrame* PanelTop1 = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* Label1 = nullptr;
  QFrame* Panel4 = nullptr;
  TXPCheckBox* XPCheckBoxBMP = nullptr;
  TXPCheckBox* XPCheckBoxJPG = nullptr;
  TXPCheckBox* XPCheckBoxGIF = nullptr;
  TXPCheckBox* XPCheckBoxPNG = nullptr;
  TXPCheckBox* XPCheckBoxEMF = nullptr;
  TXPCheckBox* XPCheckBoxWMF = nullptr;
  TXPCheckBox* XPCheckBoxICO = nullptr;
  QListWidget* ListBox3 = nullptr;  // the source-type summary
  TXiButton* XiButSourceCol = nullptr;
  TXiButton* XiButSource = nullptr;
  TXPEdit* XPEditSource = nullptr;
  QLabel* Panel1 = nullptr;  // the file-count message
  TXPCheckBox* XPCheckBox2 = nullptr;  // "including subfolder"
  // Step 2
  QFrame* PanelTop2 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Image2 = nullptr;
  TXiButton* XiButTarget = nullptr;
  TXPEdit* XPEditTarget = nullptr;
  QFrame* Panel3 = nullptr;
  TXPGroupBox* XPGroupBox1 = nullptr;
  TXPRadioButton* XPRButBMP = nullptr;
  TXPRadioButton* XPRButJPG = nullptr;
  TXPRadioButton* XPRButGIF = nullptr;
  TXPRadioButton* XPRButPNG = nullptr;
  TXiButton* XiButFormat = nullptr;
  QListWidget* ListBox2 = nullptr;  // the target summary
  TXiButton* XiButTargetCol = nullptr;
  // Step 3
  QFrame* PanelTop3 = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  TXiButton* XiButEffect = nullptr;
  QListWidget* ListBox1 = nullptr;  // the effect summary
  // Step 4
  QFrame* PanelTop4 = nullptr;
  QLabel* Label4 = nullptr;
  TXiButton* XiButStart = nullptr;
  TXiButton* XiButStop = nullptr;
  TXPCheckBox* XPCheckBox4 = nullptr;  // "low case for files name"
  QProgressBar* ProgressBar = nullptr;
  // Log
  QPlainTextEdit* MemoLog = nullptr;
  QFrame* PanelBottom = nullptr;
  TXPCheckBox* XPCheckBox1 = nullptr;  // "auto save the log"
  TXiButton* XiButSaveLog = nullptr;
  TXiButton* XiButClearLog = nullptr;
  TXPCheckBox* XPCheckBox3 = nullptr;  // "save environment options"
  QStatusBar* StatusBar1 = nullptr;
  // The dialog of "Save log".
  TSaveDialog SaveDialog1;

  // The seven type boxes in the order of ListBox3's lines (BMP, JPG, GIF,
  // PNG, EMF, WMF, ICO).
  TXPCheckBox* SourceTypeBox(int line) const;

  // Start's CD-ROM test: whether the folder lies on an optical disc (the
  // file system's answer; tests put a disc where there is none).
  std::function<bool(const std::string& folder)> OpticalDiscCheck = IsOnOpticalDisc;

  // Called after each file with the time spent loading, in the effect and
  // saving (for tools that measure runs).
  std::function<void(const std::string&, double, double, double)> OnFileTimed;

  // --- TRunView ------------------------------------------------------------------
  TJobRecord& Job() override { return *this; }
  void SetRunControls(bool running) override;
  void WorkerGone() override;
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
  // The message map: the deferred start-up message runs
  // ApplySettingsToControls; every other event goes to the window as usual.
  bool Dispatch(QEvent* message);
  bool event(QEvent* event) override { return Dispatch(event); }
  void closeEvent(QCloseEvent* event) override;

 private:
  // Opens a panel to its width of construction or folds it to 200 pixels.
  void FoldSourceTypes(bool expanded);
  void FoldTargetFormats(bool expanded);
  // Every type box set to its flag and every line of ListBox3 to match,
  // without running the boxes' handlers.
  void SourceTypesToControls();
  // Sets a type's line of ListBox3 and its flag from its box.
  void SourceTypeClicked(int line);
  // A line of ListBox3: the type's tag and whether its box is on.
  static QString SourceTypeText(int line, bool on);
  void BuildMenus();
  void BuildStep1();
  void BuildStep2();
  void BuildStep3();
  void BuildStep4AndLog();
  QLabel* FStatusPanels[2] = {nullptr, nullptr};
  bool FStartedUp = false;
  // The target folder as bytes, as the target command last put it into the
  // edit (the edit's text cannot hold every byte of a file name).
  std::string FTargetShownBytes;
  // The last run's log as bytes and as the memo shows it: while the memo
  // still holds it unchanged, Save log writes the bytes, so file names that
  // are not valid UTF-8 keep theirs.
  std::string FShownLogBytes;
  QString FShownLogText;
};

// The one main window, set as soon as it is being made.
extern TFormMain* FormMain;

// The folder dialog's callback: selects the current directory when the
// dialog is up, and shows the full path of each folder selected in its
// status line. Answers 0.
int BrowseForFolderCallback(TFolderDialog& dialog, int message, const std::string& argument,
                            const std::string& data);

// The settings dialog of a catalogue entry's dialog kind, as "Effect..."
// opens it, or null for an entry without one.
std::unique_ptr<QDialog> MakeEffectDialog(TEffectDialog dialog, QWidget* parent, TJobRecord& job);
