// The about box: the links through the desktop's URL opener, and Enter.
#include <QtTest>

#include "dialogs/about.h"
#include "platform/windows/dialogs.h"
#include "tests/support/windowtest.h"

class TestAbout : public QObject {
  Q_OBJECT

 private:
  std::vector<std::string> Opened;

 private slots:
  void init() {
    Opened.clear();
    CommonDialogHooks().OpenUrl = [this](const std::string& url) {
      Opened.push_back(url);
      return true;
    };
  }
  void cleanup() { CommonDialogHooks().OpenUrl = nullptr; }

  void linksGoThroughTheUrlOpenerAndLeaveTheBoxOpen() {
    TPictureJob f;
    TFormAbout box(nullptr, f.Job);
    QCOMPARE(box.Logo().Width(), 128);  // decoded from the GIF data kept in the program
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box, 60000));
    QTest::mouseClick(box.Label4, Qt::LeftButton);
    f.Job.VersionTag = "2.0(Test)";  // read at the click
    QTest::mouseClick(box.Label3, Qt::LeftButton);
    QCOMPARE(Opened.at(0), "mailto:" + box.Label4->text().toStdString());
    QVERIFY(Opened.size() == 2 && Opened[1].find(box.Label3->text().trimmed().toStdString() + "/?about2.0(Test)") != std::string::npos);
    QVERIFY(box.isVisible());

    // A link that nothing opens fails silently.
    CommonDialogHooks().OpenUrl = [](const std::string&) { return false; };
    QTest::mouseClick(box.Label4, Qt::LeftButton);
    QVERIFY(box.isVisible());
  }

  void enterPressesOk() {
    TPictureJob f;
    TFormAbout box(nullptr, f.Job);
    WhenShown([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Return); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
  }
};

WINDOW_TEST_MAIN(TestAbout)
#include "tst_about.moc"
