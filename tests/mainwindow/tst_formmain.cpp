// The main window's start-up, layout, panels, option boxes and effect
// choice.
#include <QComboBox>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

#include "dialogs/listeffects.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
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

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;

 private slots:
  void init() { Messages.clear(); }

  void freshStart() {
    TFormMain window;
    QCOMPARE(FormMain, &window);
    QVERIFY(!window.StartedUp());
    QCOMPARE(window.windowTitle(), QString("Brightmill"));
    QCOMPARE(window.size(), QSize(660, 650));
    QCOMPARE(window.minimumSize(), QSize(660, 560));
    QCOMPARE(window.focusWidget(), window.XiButSource);
    QCOMPARE(window.ActionEffect->toolTip(), QString("Setting for sD grid..."));
    QVERIFY(window.XPEditSource->isReadOnly());
    QVERIFY(!window.XPEditTarget->isReadOnly());

    // Menus: captions, shortcuts and separators in their places.
    QStringList menus;
    for (QAction* menu : window.menuBar()->actions()) menus << menu->text();
    QCOMPARE(menus, QStringList({"&Path", "&Setting", "&Action", "&Help"}));
    auto layout = [](QMenu* menu) {
      QStringList items;
      for (QAction* item : menu->actions())
        items << (item->isSeparator() ? QString("-") : item->text() + " " + item->shortcut().toString());
      return items;
    };
    QCOMPARE(layout(window.MenuPath), QStringList({"Select source... Ctrl+O", "Select target... Ctrl+T", "-", "Exit "}));
    QCOMPARE(layout(window.MenuSetting),
             QStringList({"File format... Ctrl+F", "Effect... Ctrl+E", "-", "List of effects... "}));
    QCOMPARE(layout(window.MenuAction), QStringList({"Start Ctrl+R", "Stop Ctrl+S", "-", "Save log... Ctrl+L",
                                                     "Clear log Ctrl+D", "-", "Save environment options "}));
    QCOMPARE(layout(window.MenuHelp), QStringList({"Content F1", "About "}));

    // The deferred start-up runs once the event loop runs.
    SetVisible(window, {"Antialias...", "Gauss blur...", "Convert to selected format"});
    window.EffectIndex = 1;
    QTRY_VERIFY(window.StartedUp());
    QCOMPARE(Items(window.ComboBox1), QStringList({"Antialias...", "Gauss blur...", "Convert to selected format"}));
    QCOMPARE(window.ComboBox1->currentIndex(), 1);
    QCOMPARE(window.EffectName, std::string("Gauss blur..."));
    QCOMPARE(Items(window.ListBox1), QStringList{"Gauss: 1"});
    QCOMPARE(window.ActionEffect->toolTip(), QString("Setting for Gauss blur effect"));
    QCOMPARE(Items(window.ListBox3), QStringList({"BMP: true", "JPG: true", "GIF: true", "PNG: true", "EMF: true",
                                                  "WMF: true", "ICO: true"}));
    QCOMPARE(Items(window.ListBox2), QStringList({"Target: BMP files", "Pixel format: 24 bit"}));
    QCOMPARE(window.AllEffectNames.Count(), 59);
    // Nothing to run yet.
    for (QAction* action : {window.ActionFormat, window.ActionEffect, window.ActionStart, window.ActionStop})
      QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
    QVERIFY(!window.ComboBox1->isEnabled());
    QVERIFY(!window.XiButStart->isEnabled());
    for (QLabel* label : {window.Label1, window.Label2, window.Label3, window.Label4}) {
      QVERIFY(!TFormMain::StepReady(label));
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    }
    QCOMPARE(window.focusWidget(), window.XiButSource);
    QVERIFY(Messages.empty());
    // A second start-up does nothing.
    window.EffectIndex = 0;
    window.ApplySettingsToControls();
    QCOMPARE(window.ComboBox1->currentIndex(), 1);
  }

  void startUpFromAStoredJob() {
    TempDir target;
    TFormMain window;
    SetVisible(window, {"Antialias...", "Flip (vertical)"});
    window.SourceBmp = false;
    window.SourceIco = false;
    window.IncludeSubfolders = true;
    window.LowerCaseNames = true;
    window.SaveEnvironment = true;
    window.SourcePanelExpanded = false;
    window.TargetPanelExpanded = false;
    window.TargetFormat = 9;  // none of the four: the BMP lines
    window.EffectIndex = -1;  // out of range: the first entry
    window.SourceDir = target.File("gone/");
    window.TargetDir = target.Path();
    window.ApplySettingsToControls();
    QVERIFY(!window.XPCheckBoxBMP->GetChecked());
    QVERIFY(window.XPCheckBoxJPG->GetChecked());
    QVERIFY(!window.XPCheckBoxICO->GetChecked());
    QCOMPARE(Items(window.ListBox3), QStringList({"BMP: false", "JPG: true", "GIF: true", "PNG: true", "EMF: true",
                                                  "WMF: true", "ICO: false"}));
    QVERIFY(window.XPCheckBox2->GetChecked());
    QVERIFY(window.XPCheckBox3->GetChecked());
    QVERIFY(window.XPCheckBox4->GetChecked());
    QCOMPARE(window.Panel4->width(), 200);
    QCOMPARE(window.XPGroupBox1->width(), 200);
    QCOMPARE(window.XPEditSource->text(), QString::fromStdString(window.SourceDir));
    QCOMPARE(window.EffectName, std::string("Antialias..."));
    QCOMPARE(window.EffectIndex, -1);  // not rewritten by the start-up
    QCOMPARE(Items(window.ListBox2), QStringList({"Target: BMP files", "Pixel format: 24 bit"}));
    QVERIFY(TFormMain::StepReady(window.Label2));
    // A source folder that has gone is passed over without a message.
    QVERIFY(!TFormMain::StepReady(window.Label1));
    QCOMPARE(window.Panel1->text(), QString());
    QVERIFY(Messages.empty());
    QVERIFY(!window.ActionStart->isEnabled());

    // No visible entry: an empty box and no effect.
    TFormMain empty;
    empty.VisibleEffectNames.Clear();
    empty.EffectName = "Gauss blur...";
    empty.ApplySettingsToControls();
    QCOMPARE(empty.ComboBox1->count(), 0);
    QCOMPARE(empty.EffectName, std::string());
    QCOMPARE(empty.ListBox1->count(), 0);
  }

  void panelsCollapseAndExpand() {
    TFormMain window;
    window.ApplySettingsToControls();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    struct Panel {
      QWidget* Box;
      TXiButton* Button;
      std::vector<QWidget*> Folded;
      QWidget* Summary;
      bool TJobRecord::*Expanded;
    };
    const Panel panels[] = {
        {window.Panel4,
         window.XiButSourceCol,
         {window.XPCheckBoxBMP, window.XPCheckBoxJPG, window.XPCheckBoxGIF, window.XPCheckBoxPNG, window.XPCheckBoxEMF,
          window.XPCheckBoxWMF, window.XPCheckBoxICO},
         window.ListBox3,
         &TJobRecord::SourcePanelExpanded},
        {window.XPGroupBox1,
         window.XiButTargetCol,
         {window.XPRButBMP, window.XPRButJPG, window.XPRButGIF, window.XPRButPNG, window.XiButFormat},
         window.ListBox2,
         &TJobRecord::TargetPanelExpanded},
    };
    for (const Panel& p : panels) {
      QWidget* parent = p.Box->parentWidget();
      QTest::mouseClick(p.Button, Qt::LeftButton);
      QCOMPARE(p.Box->width(), 200);
      QCOMPARE(p.Box->x() + p.Box->width(), parent->width());  // still at the right edge
      QCOMPARE(p.Button->text(), QString("<<"));
      QCOMPARE(p.Button->toolTip(), QString("Show"));
      QVERIFY(!(window.*p.Expanded));
      for (QWidget* w : p.Folded) QVERIFY(!w->isVisible());
      QVERIFY(p.Summary->isVisible());
      QVERIFY(p.Button->isVisible());
      QCOMPARE(p.Summary->x() + p.Summary->width(), p.Box->width());

      QTest::mouseClick(p.Button, Qt::LeftButton);
      QCOMPARE(p.Box->width(), 576);
      QCOMPARE(p.Box->x() + p.Box->width(), parent->width());
      QCOMPARE(p.Button->text(), QString(">>"));
      QCOMPARE(p.Button->toolTip(), QString("Collapse"));
      QVERIFY(window.*p.Expanded);
      for (QWidget* w : p.Folded) QVERIFY(w->isVisible());

      // The width decides, not the flag: a box 200 wide counts as folded.
      p.Box->resize(200, p.Box->height());
      QTest::mouseClick(p.Button, Qt::LeftButton);
      QCOMPARE(p.Box->width(), 576);
    }
    // The window keeps the right edges when it grows.
    window.resize(900, 700);
    QTRY_COMPARE(window.Panel4->x() + 576, window.Panel2->width());
    QCOMPARE(window.Panel2->width(), window.PanelTop1->width());
  }

  void optionBoxesSetOnlyTheirMembers() {
    TFormMain window;
    TempDir source, target;
    window.ApplySettingsToControls();
    MakeWindowReady(window, source, target, 2);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.XPCheckBox2, Qt::LeftButton);
    QVERIFY(window.IncludeSubfolders);
    QCOMPARE(window.SourceFiles.Count(), 2);  // no rescan
    QTest::mouseClick(window.XPCheckBox3, Qt::LeftButton);
    QVERIFY(window.SaveEnvironment);
    QTest::mouseClick(window.XPCheckBox4, Qt::LeftButton);
    QVERIFY(window.LowerCaseNames);
    QVERIFY(!window.AutoSaveLog());
    QTest::mouseClick(window.XPCheckBox1, Qt::LeftButton);
    QVERIFY(window.AutoSaveLog());
    QTest::mouseClick(window.XPCheckBox4, Qt::LeftButton);
    QVERIFY(!window.LowerCaseNames);
    QVERIFY(window.IncludeSubfolders && window.SaveEnvironment);
    // Set in code, the boxes run no handler.
    window.XPCheckBox2->SetChecked(false);
    QVERIFY(window.IncludeSubfolders);
  }

  void choosingAnEffect() {
    TFormMain window;
    TempDir source, target;
    SetVisible(window, {"Antialias...", "Flip (vertical)", "Convert to selected format", "HLS..."});
    window.ApplySettingsToControls();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Without files the effect command stays off, whatever is picked.
    Pick(window, "HLS...");
    QVERIFY(!window.ActionEffect->isEnabled());

    MakeWindowReady(window, source, target, 1);
    QVERIFY(window.ComboBox1->isEnabled());
    QVERIFY(window.ActionStart->isEnabled());
    window.activateWindow();
    Pick(window, "Flip (vertical)");
    QCOMPARE(window.EffectIndex, 1);
    QCOMPARE(window.EffectName, std::string("Flip (vertical)"));
    QCOMPARE(window.FlipMode, 1);
    QCOMPARE(Items(window.ListBox1), QStringList{"No parameters"});
    QCOMPARE(window.XiButEffect->toolTip(), QString("Preview for Flip (vertical) effect"));
    QVERIFY(window.XiButEffect->isEnabled());
    QCOMPARE(window.focusWidget(), window.XiButEffect);

    window.TargetExtension = ".png";
    Pick(window, "Convert to selected format");
    QCOMPARE(Items(window.ListBox1), QStringList{"Convert all files to: .png"});
    QCOMPARE(window.ActionEffect->statusTip(), QString());
    QVERIFY(!window.ActionEffect->isEnabled());
    QCOMPARE(window.focusWidget(), window.XiButStart);
    QCOMPARE(window.FlipMode, 1);
    // A later change of the source commands keeps it off for plain
    // conversion.
    window.UpdateSourceCommands();
    QVERIFY(!window.ActionEffect->isEnabled());

    // Picking again rebuilds the lines; a name that is no entry changes
    // nothing at all.
    Pick(window, "HLS...");
    QCOMPARE(Items(window.ListBox1), QStringList({"Hue: 0", "Lightness: 0.0", "Saturation: 0.0"}));
    QCOMPARE(window.focusWidget(), window.XiButEffect);
    window.XiButSource->setFocus();
    window.ShowEffectSettings("HLS", true);
    window.ShowEffectSettings("", true);
    QCOMPARE(window.ListBox1->count(), 3);
    QCOMPARE(window.ActionEffect->toolTip(), QString("Setting for HLS effect"));
    QCOMPARE(window.focusWidget(), window.XiButSource);

    // Shown with enableAction false: lines and hint, but state and focus
    // stay.
    window.ActionEffect->setEnabled(false);
    window.ListBox1->clear();
    window.ShowEffectSettings("antialias...", false);
    QCOMPARE(Items(window.ListBox1), QStringList{"Antialias: 2"});
    QVERIFY(!window.ActionEffect->isEnabled());
    QCOMPARE(window.focusWidget(), window.XiButSource);
    // Start disabled: plain conversion does not take the focus either.
    window.ActionStart->setEnabled(false);
    window.ShowEffectSettings("Convert to selected format", false);
    QCOMPARE(window.focusWidget(), window.XiButSource);
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
    auto answer = [](std::vector<int> rows, bool ok) {
      QTimer::singleShot(0, [rows, ok] {
        auto* chooser = qobject_cast<TFormListEffects*>(QApplication::activeModalWidget());
        QVERIFY(chooser != nullptr);
        for (int row = 0; row < EffectCount; ++row) chooser->SetChecked(row, false);
        for (int row : rows) chooser->SetChecked(row, true);
        QTest::mouseClick(ok ? chooser->XiButton1 : chooser->XiButton2, Qt::LeftButton);
      });
    };

    answer({1, 58}, false);  // Cancel changes nothing
    window.ItemListEffect->trigger();
    QCOMPARE(Items(window.ComboBox1), QStringList({"Gauss blur...", "Wind..."}));
    QCOMPARE(window.EffectName, std::string("Wind..."));

    // OK: the first visible entry is chosen, even when the one before is
    // still offered.
    answer({1, 58}, true);
    window.ItemListEffect->trigger();
    QCOMPARE(Items(window.ComboBox1), QStringList({"Antialias...", "Wind..."}));
    QCOMPARE(window.ComboBox1->currentIndex(), 0);
    QCOMPARE(window.EffectIndex, 0);
    QCOMPARE(window.EffectName, std::string("Antialias..."));
    QCOMPARE(Items(window.ListBox1), QStringList{"Antialias: 2"});
    QCOMPARE(window.ActionEffect->toolTip(), QString("Setting for Antialias effect"));
    QVERIFY(window.ActionEffect->isEnabled());

    // Nothing offered: an empty box, no effect, no lines.
    answer({}, true);
    window.ItemListEffect->trigger();
    QCOMPARE(window.ComboBox1->count(), 0);
    QCOMPARE(window.EffectName, std::string());
    QCOMPARE(window.ListBox1->count(), 0);
    QCOMPARE(activated.count(), 0);
  }

  void refillsNeverRunTheComboHandler() {
    TFormMain window;
    SetVisible(window, {"Antialias...", "Gauss blur...", "Wind..."});
    window.EffectIndex = 2;
    QSignalSpy activated(window.ComboBox1, &QComboBox::activated);
    window.ApplySettingsToControls();
    window.ListBox1->addItem("kept");
    window.EffectIndex = 42;
    window.RefillEffectList(1);
    QCOMPARE(window.EffectName, std::string("Gauss blur..."));
    window.VisibleEffectNames.Clear();
    window.RefillEffectList(0);  // clearing selects index -1 in Qt
    QCOMPARE(window.EffectName, std::string());
    QCOMPARE(window.EffectIndex, 42);
    QCOMPARE(window.ListBox1->item(window.ListBox1->count() - 1)->text(), QString("kept"));
    QCOMPARE(activated.count(), 0);
  }
};

WINDOW_TEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
