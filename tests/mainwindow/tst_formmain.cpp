// The main window's start-up, panels, option boxes and effect choice, and
// the window driven from the keyboard alone.
#include <QComboBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <functional>

#include "dialogs/listeffects.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/dialogs.h"
#include "tests/support/windowtest.h"

namespace {

void SetVisible(TFormMain& window, std::initializer_list<const char*> captions) {
  window.VisibleEffectNames.Clear();
  for (const char* caption : captions) window.VisibleEffectNames.Add(caption);
}

// The user picks the item with that caption.
void Pick(TFormMain& window, const QString& caption) {
  int index = window.ComboBox1->findText(caption);
  QVERIFY(index >= 0);
  window.ComboBox1->setCurrentIndex(index);
  emit window.ComboBox1->activated(index);
}

// A menu as lines: "caption|shortcut", "-" for a separator.
QStringList MenuLines(const QMenu* menu) {
  QStringList lines;
  for (const QAction* action : menu->actions())
    lines << (action->isSeparator() ? QString("-") : action->text() + "|" + action->shortcut().toString());
  return lines;
}

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;
  std::string StartDir;  // the folder picks move the current directory

 private slots:
  void init() {
    Messages.clear();
    StartDir = GetCurrentDir();
  }
  void cleanup() { SetCurrentDir(StartDir); }

  void freshStart() {
    TFormMain window;
    QCOMPARE(FormMain, &window);
    QVERIFY(!window.StartedUp());
    // The deferred start-up runs once the event loop runs.
    SetVisible(window, {"Antialias...", "Gauss blur...", "Convert to selected format"});
    window.EffectIndex = 1;
    QTRY_VERIFY_WITH_TIMEOUT(window.StartedUp(), 60000);
    QCOMPARE(window.EffectName, std::string("Gauss blur..."));
    QCOMPARE(Items(window.ListBox1), QStringList{"Gauss: 1"});
    // Nothing to run yet.
    QVERIFY(!window.ActionStart->isEnabled() && !window.ActionEffect->isEnabled() && !window.ComboBox1->isEnabled());
    // A second start-up does nothing.
    window.EffectIndex = 0;
    window.ApplySettingsToControls();
    QCOMPARE(window.ComboBox1->currentIndex(), 1);
  }

  void fixedTextsOfTheWindow() {
    TFormMain window;
    QCOMPARE(window.windowTitle(), QString("Brightmill"));
    // The menus, in the bar's order, with their items, shortcuts and
    // separators.
    const std::pair<QMenu*, QStringList> menus[] = {
        {window.MenuPath, {"Select source...|Ctrl+O", "Select target...|Ctrl+T", "-", "Exit|"}},
        {window.MenuSetting, {"File format...|Ctrl+F", "Effect...|Ctrl+E", "-", "List of effects...|"}},
        {window.MenuAction,
         {"Start|Ctrl+R", "Stop|Ctrl+S", "-", "Save log...|Ctrl+L", "Clear log|Ctrl+D", "-",
          "Save environment options|"}},
        {window.MenuHelp, {"Content|F1", "About|"}},
    };
    const QList<QAction*> bar = window.menuBar()->actions();
    QCOMPARE(int(bar.size()), 4);
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(bar[i]->menu(), menus[i].first);
      QCOMPARE(MenuLines(menus[i].first), menus[i].second);
    }
    QCOMPARE(QStringList({window.MenuPath->title(), window.MenuSetting->title(), window.MenuAction->title(),
                          window.MenuHelp->title()}),
             QStringList({"&Path", "&Setting", "&Action", "&Help"}));
    for (QAction* action : {window.ActionFormat, window.ActionEffect})
      QCOMPARE(action->property("category").toString(), QString("Setting"));
    for (QAction* action : {window.ActionStart, window.ActionStop})
      QCOMPARE(action->property("category").toString(), QString("Action"));

    // Captions and hints of the buttons; the collapse buttons as the
    // panels open and fold.
    const struct {
      TXiButton* Button;
      const char* Caption;
      const char* Hint;
    } buttons[] = {
        {window.XiButSource, "Source...", "Select a source path"},
        {window.XiButTarget, "Target...", "Select a target path"},
        {window.XiButFormat, "...", ""},
        {window.XiButEffect, "...", "Setting for sD grid..."},
        {window.XiButStart, "Start", ""},
        {window.XiButStop, "Stop", ""},
        {window.XiButSaveLog, "...", "Save log"},
        {window.XiButClearLog, "", "Clear log"},
        {window.XiButSourceCol, ">>", "Collapse"},
        {window.XiButTargetCol, ">>", "Collapse"},
    };
    for (const auto& b : buttons) {
      QCOMPARE(b.Button->Caption(), QString(b.Caption));
      QCOMPARE(b.Button->toolTip(), QString(b.Hint));
    }
    for (bool expanded : {false, true}) {
      if (expanded) {
        window.ExpandSourceTypes();
        window.ExpandTargetFormats();
      } else {
        window.CollapseSourceTypes();
        window.CollapseTargetFormats();
      }
      for (TXiButton* button : {window.XiButSourceCol, window.XiButTargetCol}) {
        QCOMPARE(button->Caption(), QString(expanded ? ">>" : "<<"));
        QCOMPARE(button->toolTip(), QString(expanded ? "Collapse" : "Show"));
      }
    }

    // The labels, boxes and the type summary as designed.
    QCOMPARE(QStringList({window.Label1->text(), window.Label2->text(), window.Label3->text(), window.Label4->text()}),
             QStringList({"1 step", "2 step", "3 step", "4 step"}));
    for (QLabel* label : {window.Label1, window.Label2, window.Label3, window.Label4})
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    const std::pair<TXPFlagButton*, const char*> boxes[] = {
        {window.XPCheckBoxBMP, "bmp"}, {window.XPCheckBoxJPG, "jpg"}, {window.XPCheckBoxGIF, "gif"},
        {window.XPCheckBoxPNG, "png"}, {window.XPCheckBoxEMF, "emf"}, {window.XPCheckBoxWMF, "wmf"},
        {window.XPCheckBoxICO, "ico"}, {window.XPCheckBox2, "including subfolder"},
        {window.XPCheckBox4, "low case for files name"}, {window.XPCheckBox1, "auto save the log"},
        {window.XPCheckBox3, "save environment options"}, {window.XPRButBMP, "bmp"},
        {window.XPRButJPG, "jpg"}, {window.XPRButGIF, "gif"}, {window.XPRButPNG, "png"}};
    for (const auto& [box, caption] : boxes) QCOMPARE(box->Caption(), QString(caption));
    QCOMPARE(Items(window.ListBox3),
             QStringList({"BMP: true", "JPG: true", "GIF: true", "PNG: true", "EMF: true", "WMF: true", "ICO: true"}));
  }

  void startUpWithAStoredSourceThatHoldsPictures() {
    // What every restart with saved settings does: the stored folder is
    // scanned, its count shown, and with a stored target Start is on.
    for (int count : {1, 12}) {
      TempDir source, target;
      for (int i = 0; i < count; ++i) {
        const std::string number = std::to_string(i);
        MakeTestBitmap(8, 6, i)->SaveToFile(source.File("p" + number + ".bmp"));
      }
      TFormMain window;
      SetVisible(window, {"Antialias..."});
      window.SourceDir = source.Path();
      window.TargetDir = target.Path();
      QTRY_VERIFY_WITH_TIMEOUT(window.StartedUp(), 60000);
      QCOMPARE(window.FileCount.load(), count);
      QCOMPARE(window.Panel1->text(), count == 1 ? QString("This folder contains 1 graphic file")
                                                 : QString("This folder contains 12 graphics files"));
      for (QLabel* label : {window.Label1, window.Label2, window.Label3, window.Label4})
        QVERIFY2(TFormMain::StepReady(label), qPrintable(label->text()));
      QCOMPARE(window.Label4->palette().color(QPalette::WindowText), QColor(0, 128, 0));
      QVERIFY(window.ActionStart->isEnabled() && window.ActionEffect->isEnabled() && window.ComboBox1->isEnabled());
      QCOMPARE(window.PreviewFile, source.File("p0.bmp"));
    }
    // The target panel stored folded with "jpg": only "jpg" is checked,
    // also among the hidden buttons.
    TFormMain window;
    window.TargetPanelExpanded = false;
    window.TargetFormat = 1;
    window.ApplySettingsToControls();
    QVERIFY(!window.XPRButBMP->isVisibleTo(window.XPGroupBox1));
    const std::pair<TXPRadioButton*, bool> formats[] = {
        {window.XPRButBMP, false}, {window.XPRButJPG, true}, {window.XPRButGIF, false}, {window.XPRButPNG, false}};
    for (auto [button, checked] : formats) QCOMPARE(button->Checked(), checked);
    QCOMPARE(window.TargetExtension, std::string(".jpg"));
  }

  void startUpFromAStoredJob() {
    TempDir target;
    TFormMain window;
    SetVisible(window, {"Antialias...", "Flip (vertical)"});
    window.SourceIco = window.SourcePanelExpanded = false;
    window.TargetFormat = 9;  // none of the four: the BMP lines
    window.EffectIndex = -1;  // out of range: the first entry
    window.SourceDir = target.File("gone/");
    window.TargetDir = target.Path();
    window.ApplySettingsToControls();
    QCOMPARE(Items(window.ListBox3).back(), QString("ICO: false"));
    QCOMPARE(window.Panel4->width(), 200);
    QCOMPARE(window.EffectName, std::string("Antialias..."));
    QCOMPARE(window.EffectIndex, -1);  // not rewritten by the start-up
    QCOMPARE(Items(window.ListBox2)[0], QString("Target: BMP files"));
    // A source folder that has gone is passed over without a message.
    QVERIFY(TFormMain::StepReady(window.Label2) && !TFormMain::StepReady(window.Label1));
    QVERIFY(Messages.empty());
  }

  void panelsAndOptionBoxes() {
    TFormMain window;
    TempDir source, target;
    window.ApplySettingsToControls();
    MakeWindowReady(window, source, target, 2);
    QVERIFY(ShowActive(window));
    const struct {
      QWidget* Box;
      TXiButton* Button;
      QWidget* Folded;  // one of the controls the folded panel hides
    } panels[] = {{window.Panel4, window.XiButSourceCol, window.XPCheckBoxICO},
                  {window.XPGroupBox1, window.XiButTargetCol, window.XiButFormat}};
    for (const auto& p : panels) {
      for (bool expanded : {false, true}) {
        QTest::mouseClick(p.Button, Qt::LeftButton);
        QCOMPARE(p.Box->width(), expanded ? 576 : 200);
        QCOMPARE(p.Box->x() + p.Box->width(), p.Box->parentWidget()->width());  // still at the right edge
        QCOMPARE(p.Folded->isVisible(), expanded);
        QCOMPARE(&p == panels ? window.SourcePanelExpanded : window.TargetPanelExpanded, expanded);
      }
      // The width decides, not the flag: a box 200 wide counts as folded.
      p.Box->resize(200, p.Box->height());
      QTest::mouseClick(p.Button, Qt::LeftButton);
      QCOMPARE(p.Box->width(), 576);
    }
    // The window keeps the right edges when it grows.
    window.resize(900, 700);
    QTRY_COMPARE_WITH_TIMEOUT(window.Panel4->x() + 576, window.Panel2->width(), 60000);

    // Each box sets its own member only; the subfolder box does not rescan.
    const struct {
      TXPCheckBox* Box;
      std::function<bool()> Member;
    } boxes[] = {{window.XPCheckBox2, [&] { return window.IncludeSubfolders; }},
                 {window.XPCheckBox3, [&] { return window.SaveEnvironment; }},
                 {window.XPCheckBox4, [&] { return window.LowerCaseNames; }},
                 {window.XPCheckBox1, [&] { return window.AutoSaveLog(); }}};
    for (const auto& b : boxes) {
      QTest::mouseClick(b.Box, Qt::LeftButton);
      int on = 0;
      for (const auto& other : boxes) on += other.Member();
      QVERIFY(b.Member());
      QCOMPARE(on, int(&b - boxes) + 1);
    }
    QCOMPARE(window.SourceFiles.Count(), 2);
    // Set in code, the boxes run no handler.
    window.XPCheckBox2->SetChecked(false);
    QVERIFY(window.IncludeSubfolders);
  }

  void choosingAnEffect() {
    TFormMain window;
    TempDir source, target;
    SetVisible(window, {"Antialias...", "Flip (vertical)", "Flip (horizontal)", "Flip (horiz/vert)",
                        "Convert to selected format"});
    window.ApplySettingsToControls();
    QVERIFY(ShowActive(window));
    Pick(window, "Antialias...");  // without files the command stays off
    QVERIFY(!window.ActionEffect->isEnabled());
    MakeWindowReady(window, source, target, 1);
    window.activateWindow();
    Pick(window, "Flip (vertical)");
    QCOMPARE(window.EffectIndex, 1);
    QCOMPARE(window.FlipMode, 1);
    QCOMPARE(window.focusWidget(), window.XiButEffect);
    QCOMPARE(window.XiButEffect->toolTip(), QString("Preview for Flip (vertical) effect"));
    Pick(window, "Flip (horizontal)");
    QCOMPARE(window.FlipMode, 0);
    Pick(window, "Flip (horiz/vert)");
    QCOMPARE(window.FlipMode, 2);

    // Plain conversion has no settings: the command goes off and Start has
    // the focus.
    window.TargetExtension = ".png";
    Pick(window, "Convert to selected format");
    QCOMPARE(Items(window.ListBox1), QStringList{"Convert all files to: .png"});
    QCOMPARE(window.focusWidget(), window.XiButStart);
    QVERIFY(!window.ActionEffect->isEnabled() && !window.ItemEffect->isEnabled());
    // No hint at all: not the command's caption either.
    QCOMPARE(window.XiButEffect->toolTip(), QString());
    QCOMPARE(window.ActionEffect->statusTip(), QString());
    // A scan that finds files turns it on again, and then it only checks
    // the preview file: no dialog, or the message when the file has gone.
    CommonDialogHooks().SelectFolder = [&](QWidget*, const std::string&, const std::string&) {
      return ExcludeTrailingPathDelimiter(source.Path());
    };
    window.Source1->trigger();
    CommonDialogHooks() = TCommonDialogHooks();
    QVERIFY(window.ActionEffect->isEnabled() && window.ItemEffect->isEnabled());
    window.PreviewFile.clear();
    bool opened = false;
    QTimer::singleShot(0, &window, [&opened] {
      if (QWidget* dialog = QApplication::activeModalWidget()) opened = dialog->close();
    });
    window.ItemEffect->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(window.PreviewFile, source.File("pic0.bmp"));
    QVERIFY(Messages.empty() && !opened);
    DeleteFile(window.PreviewFile);
    window.ItemEffect->trigger();
    QCOMPARE(Messages.size(), size_t(1));
    QCOMPARE(Items(window.ListBox1), QStringList{"Convert all files to: .png"});
  }

  void listOfEffectsRefillsTheBox() {
    TFormMain window;
    TempDir source, target;
    SetVisible(window, {"Gauss blur...", "Wind..."});
    window.EffectIndex = 1;
    window.ApplySettingsToControls();
    MakeWindowReady(window, source, target, 1);
    QSignalSpy activated(window.ComboBox1, &QComboBox::activated);
    // The chooser is answered as a user would: some rows ticked, then OK
    // or Cancel.
    auto answer = [&](std::vector<int> rows, bool ok) {
      WhenShown([rows, ok](QWidget* shown) {
        auto* chooser = qobject_cast<TFormListEffects*>(shown);
        QVERIFY(chooser != nullptr);
        for (int row = 0; row < EffectCount; ++row) chooser->SetChecked(row, false);
        for (int row : rows) chooser->SetChecked(row, true);
        QTest::mouseClick(ok ? chooser->XiButton1 : chooser->XiButton2, Qt::LeftButton);
      });
      window.ItemListEffect->trigger();
    };

    answer({1, 58}, false);  // Cancel changes nothing
    QCOMPARE(window.EffectName, std::string("Wind..."));
    // OK: the first visible entry is chosen, even when the one before is
    // still offered.
    answer({1, 58}, true);
    QCOMPARE(Items(window.ComboBox1), QStringList({"Antialias...", "Wind..."}));
    QCOMPARE(Items(window.ListBox1), QStringList{"Antialias: 2"});
    // Nothing offered: an empty box, no effect, no lines.
    answer({}, true);
    QCOMPARE(window.ComboBox1->count() + window.ListBox1->count(), 0);
    QCOMPARE(window.EffectName, std::string());
    QCOMPARE(activated.count(), 0);
  }

  void keyboardAlone() {
    TFormMain window;
    QVERIFY(ShowActive(window));
    // Tab leaves the log, which keeps its text, for the control below it.
    window.MemoLog->setPlainText("Done");
    window.MemoLog->setFocus();
    QTest::keyClick(window.MemoLog, Qt::Key_Tab);
    QCOMPARE(window.MemoLog->toPlainText(), QString("Done"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.XPCheckBox1));
    QTest::keyClick(window.XPCheckBox1, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.MemoLog));

    SetVisible(window, {"3D grid...", "Antialias...", "Gauss blur..."});
    window.RefillEffectList(0);
    window.SourceFiles.Add("/nowhere/a.bmp");  // gone: the effect command only reports it
    window.FileCount = 1;
    window.UpdateSourceCommands();
    // Each arrow key is a pick: the effect and its summary follow, and the
    // focus moves on to the effect's settings button.
    for (auto [index, line] : {std::pair<int, QString>{1, "Antialias: 2"}, {2, "Gauss: 1"}}) {
      window.ComboBox1->setFocus();
      QTest::keyClick(window.ComboBox1, Qt::Key_Down);
      QCOMPARE(window.EffectIndex, index);
      QCOMPARE(Items(window.ListBox1), QStringList{line});
      QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.XiButEffect));
    }
    // So is each turn of the wheel over the box, wherever the focus was.
    for (auto [index, line] : {std::pair<int, QString>{1, "Antialias: 2"}, {2, "Gauss: 1"}}) {
      window.MemoLog->setFocus();
      const QPoint at = window.ComboBox1->rect().center();
      QWheelEvent wheel(at, window.ComboBox1->mapToGlobal(at), QPoint(), QPoint(0, index == 1 ? 120 : -120),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(window.ComboBox1, &wheel);
      QCOMPARE(window.EffectIndex, index);
      QCOMPARE(Items(window.ListBox1), QStringList{line});
      QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.XiButEffect));
    }

    // Command keys work from the target field. Ctrl+E is also the line
    // edit's "end of line" on X11; here the command takes the field's
    // end-of-line key of whatever platform runs the test.
    QSignalSpy effect(window.ActionEffect, &QAction::triggered);
    window.XPEditTarget->setFocus();
    window.XPEditTarget->setText("/tmp/out");
    window.XPEditTarget->setCursorPosition(0);
    const QKeyCombination endOfLine = QKeySequence::keyBindings(QKeySequence::MoveToEndOfLine).value(0)[0];
    window.ActionEffect->setShortcut(QKeySequence(endOfLine));
    QTest::keyClick(window.XPEditTarget, endOfLine.key(), endOfLine.keyboardModifiers());
    QVERIFY(effect.count() == 1 && Messages.size() == 1);
    QCOMPARE(window.XPEditTarget->cursorPosition(), 0);
    // While the command is disabled the key is the field's again.
    window.ActionEffect->setEnabled(false);
    QTest::keyClick(window.XPEditTarget, endOfLine.key(), endOfLine.keyboardModifiers());
    QVERIFY(window.XPEditTarget->cursorPosition() == 8 && effect.count() == 1);
  }
};

WINDOW_TEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
