// The main window driven from the keyboard alone: Tab walks through the
// controls and out of the log again.
#include <QPlainTextEdit>
#include <QtTest>

#include "mainwindow/mainwindow.h"
#include "tests/support/testsupport.h"

class TestKeyboard : public QObject {
  Q_OBJECT

 private slots:
  void tabLeavesTheLog() {
    TFormMain window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.MemoLog->setPlainText("Done");
    window.MemoLog->setFocus();
    QTest::keyClick(window.MemoLog, Qt::Key_Tab);
    // The log keeps its text and the next control below it has the focus.
    QCOMPARE(window.MemoLog->toPlainText(), QString("Done"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.XPCheckBox1));
    QTest::keyClick(window.XPCheckBox1, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.MemoLog));
  }
};

int main(int argc, char** argv) {
  // No test touches the settings of the person running it.
  TempDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
  QApplication application(argc, argv);
  TestKeyboard test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_keyboard.moc"
