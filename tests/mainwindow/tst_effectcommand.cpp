// "Effect...": which dialog opens, the preview file check, and the summary
// lines after OK.
#include <functional>

#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/rgb.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "tests/support/windowtest.h"

class TestEffectCommand : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;
  TempDir Source;
  QString OpenedTitle;  // the caption of the dialog the command showed

  // A started window whose source list holds two small pictures, with the
  // effect chosen and its summary shown.
  void Prepare(TFormMain& window, const std::string& effect) {
    QTRY_VERIFY_WITH_TIMEOUT(window.StartedUp(), 60000);
    window.SourceFiles.Clear();
    AddSourcePictures(window, Source, 2);
    window.PreviewIndex = 0;
    window.EffectName = effect;
    window.ListBox1->clear();
    window.ShowEffectSettings(effect, false);
  }

  // Runs the command; the dialog it opens gets `act` and is then left with
  // OK (or Cancel when `ok` is false).
  void Run(TFormMain& window, const std::function<void(QDialog*)>& act = {}, bool ok = true) {
    OpenedTitle.clear();
    WhenShown([this, act, ok](QWidget* shown) {
      auto* dialog = qobject_cast<TEffectFrame*>(shown);
      if (!dialog) return;
      OpenedTitle = dialog->windowTitle();
      if (act) act(dialog);
      (ok ? dialog->XiButton1 : dialog->XiButton2)->click();
    });
    window.ActionEffectExecute();
  }

 private slots:
  void init() { Messages.clear(); }

  void opensTheEntrysDialogAndRewritesItsLines() {
    TFormMain window;
    Prepare(window, "gauss blur...");  // any letter case
    window.OneTrackKind = 0;
    QCOMPARE(Items(window.ListBox1), QStringList{"Gauss: 1"});
    window.ListBox1->setCurrentRow(0);
    Run(window, [](QDialog* dialog) {
      auto* gauss = qobject_cast<TFormEffect*>(dialog);
      QVERIFY(gauss);
      QCOMPARE(gauss->TrackBar1->Max(), 5);
      gauss->TrackBar1->SetPosition(4);
      gauss->SelectRow(1);
    });
    QCOMPARE(window.OneTrackKind, 6);
    QCOMPARE(window.PreviewIndex, 1);
    QCOMPARE(window.PreviewFile, window.SourceFiles[0]);  // set before the dialog
    QCOMPARE(Items(window.ListBox1), QStringList{"Gauss: 4"});
    QCOMPARE(window.ListBox1->currentRow(), 0);
  }

  void linesAfterOk() {
    TFormMain window;
    // Puzzle keeps its own wording after OK; a summary that is not there
    // is written whole; a preview-only entry keeps its line.
    const struct {
      const char* Effect;
      bool Clear;
      QStringList Lines;
    } rows[] = {{"Puzzle...", false, {"Accross: 5", "Down: 5"}},
                {"Fish eye...", true, {"Zoom: 70", "Radius: 15", "Inversion: false"}},
                {"Greyscale", false, {"No parameters"}}};
    for (const auto& row : rows) {
      Prepare(window, row.Effect);
      if (row.Clear) window.ListBox1->clear();
      Run(window);
      QVERIFY(!OpenedTitle.isEmpty());
      QCOMPARE(Items(window.ListBox1), row.Lines);
    }
    // Cancel leaves the lines and the members.
    Prepare(window, "Tile reflection...");
    Run(window, [](QDialog* dialog) { qobject_cast<TFormRGB*>(dialog)->TrackBar1->SetPosition(80); }, false);
    QCOMPARE(window.TileReflectionAngle, 0);
  }

  void checksThePreviewFileFirst() {
    TFormMain window;
    // An index past the list previews the first file.
    Prepare(window, "Gauss blur...");
    window.PreviewIndex = 5;
    Run(window);
    QCOMPARE(window.PreviewIndex, 0);
    // No files: nothing at all.
    window.FileCount = 0;
    window.PreviewFile = "unchanged";
    Run(window);
    QCOMPARE(window.PreviewFile, std::string("unchanged"));
    // "Convert to selected format" only checks the preview file.
    Prepare(window, "Convert to selected format");
    window.PreviewIndex = 1;
    Run(window);
    QVERIFY(OpenedTitle.isEmpty() && Messages.empty());
    QCOMPARE(window.PreviewFile, window.SourceFiles[1]);
    // A preview file that has gone: the message and no dialog.
    Prepare(window, "Gauss blur...");
    window.PreviewIndex = 1;
    std::string gone = window.SourceFiles[1];
    std::remove(gone.c_str());
    Run(window);
    QCOMPARE(OpenedTitle, QString());
    QCOMPARE(Messages, std::vector<std::string>{gone + " don't exists. Apparently it was removed or deleted. Please "
                                                       "click the Source button to refresh the file list."});
  }

  void everyTypeEntryOpensItsKind() {
    TFormMain window;
    for (const TEffectEntry& entry : EffectCatalogue()) {
      if (entry.Dialog != TEffectDialog::TFormGroupEffect) continue;
      Prepare(window, entry.Caption);
      int kind = -1, value = -1;
      Run(window, [&](QDialog* dialog) {
        auto* group = qobject_cast<TFormGroupEffect*>(dialog);
        QVERIFY(group);
        kind = window.GroupEffectKind;
        value = group->TrackBar1->Min() + 1;
        group->TrackBar1->SetPosition(value);
      });
      QVERIFY2(kind == entry.Selector, entry.Caption);
      // The first summary line is the value the dialog wrote.
      QStringList lines = Items(window.ListBox1);
      QCOMPARE(lines.size(), 2);
      QVERIFY2(lines[0].endsWith(": " + QString::number(value)), entry.Caption);
    }
    QVERIFY(Messages.empty());
  }
};

WINDOW_TEST_MAIN(TestEffectCommand)
#include "tst_effectcommand.moc"
