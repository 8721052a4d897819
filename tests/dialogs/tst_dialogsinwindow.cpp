// The slider-and-type, watermark and resize dialogs opened by the main
// window's "Effect..." command: each entry gets its dialog and kind, and the
// summary shows what the dialog's OK wrote.
#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "controls/xitrackbar.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/pattern.h"
#include "dialogs/resize.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/messages.h"
#include "tests/support/testsupport.h"

namespace {

QStringList Items(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

}  // namespace

class TestDialogsInWindow : public QObject {
  Q_OBJECT

 private:
  std::vector<std::string> Messages;
  TempDir Source;

  void Prepare(TFormMain& window, const std::string& effect) {
    QTRY_VERIFY(window.StartedUp());
    window.SourceFiles.Clear();
    std::string path = Source.File("pic.bmp");
    MakeTestBitmap(40, 30)->SaveToFile(path);
    window.SourceFiles.Add(path);
    window.FileCount = 1;
    window.PreviewIndex = 0;
    window.EffectName = effect;
    window.ShowEffectSettings(effect, false);
  }

  // Runs the command; the dialog it opens gets `act` and is left with OK.
  QDialog* Run(TFormMain& window, const std::function<void(QDialog*)>& act = {}) {
    QDialog* opened = nullptr;
    QTimer::singleShot(0, this, [&] {
      auto* dialog = qobject_cast<TEffectFrame*>(QApplication::activeModalWidget());
      if (!dialog) return;
      opened = dialog;
      if (act) act(dialog);
      dialog->XiButton1->click();
    });
    window.ActionEffectExecute();
    return opened;
  }

 private slots:
  void init() {
    Messages.clear();
    SetMessageHandler([this](const std::string& text) { Messages.push_back(text); });
  }
  void cleanup() { SetMessageHandler(nullptr); }

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

  void watermarkAndResize() {
    TFormMain window;
    Prepare(window, "Watermark...");
    Run(window, [](QDialog* dialog) {
      auto* pattern = qobject_cast<TFormPattern*>(dialog);
      QVERIFY(pattern);
      pattern->TrackBar1->SetPosition(33);
    });
    QCOMPARE(Items(window.ListBox1).mid(0, 2), (QStringList{"Level: 33", "Inverse: false"}));

    Prepare(window, "Resize...");
    window.ResizeWidth = window.ResizeHeight = 0;
    Run(window, [](QDialog* dialog) { QVERIFY(qobject_cast<TFormResize*>(dialog)); });
    QCOMPARE(Items(window.ListBox1).mid(0, 2), (QStringList{"New width: 40", "New height: 30"}));
    QVERIFY(Messages.empty());
  }
};

int main(int argc, char** argv) {
  TempDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
  QApplication application(argc, argv);
  TestDialogsInWindow test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogsinwindow.moc"
