// The main window driven from the keyboard alone: Tab walks through the
// controls and out of the log again; the arrow keys step through the
// effect list; the command keys work from the text fields too.
#include <QComboBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QtTest>

#include "mainwindow/mainwindow.h"
#include "platform/windows/messages.h"
#include "tests/support/windowtest.h"

class TestKeyboard : public QObject {
  Q_OBJECT

 private slots:
  void tabLeavesTheLog() {
    TFormMain window;
    QVERIFY(ShowActive(window));
    window.MemoLog->setPlainText("Done");
    window.MemoLog->setFocus();
    QTest::keyClick(window.MemoLog, Qt::Key_Tab);
    // The log keeps its text and the next control below it has the focus.
    QCOMPARE(window.MemoLog->toPlainText(), QString("Done"));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.XPCheckBox1));
    QTest::keyClick(window.XPCheckBox1, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.MemoLog));
  }

  void arrowKeysStepThroughTheEffects() {
    TFormMain window;
    QVERIFY(ShowActive(window));
    window.VisibleEffectNames.Clear();
    for (const char* caption : {"3D grid...", "Antialias...", "Gauss blur..."}) window.VisibleEffectNames.Add(caption);
    window.RefillEffectList(0);
    window.SourceFiles.Add("/nowhere/a.bmp");
    window.FileCount = 1;
    window.UpdateSourceCommands();
    window.ComboBox1->setFocus();

    // Each step is a pick: the effect and its summary follow, and the
    // focus stays in the list for the next step.
    for (auto [index, line] : {std::pair<int, QString>{1, "Antialias: 2"}, {2, "Gauss: 1"}}) {
      QTest::keyClick(window.ComboBox1, Qt::Key_Down);
      QCOMPARE(window.EffectIndex, index);
      QCOMPARE(Items(window.ListBox1), QStringList{line});
      QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.ComboBox1));
    }
  }

  void commandKeysWorkFromTheTargetField() {
    std::vector<std::string> messages;
    SetMessageHandler([&](const std::string& text) { messages.push_back(text); });
    TFormMain window;
    QVERIFY(ShowActive(window));
    window.RefillEffectList(0);
    window.SourceFiles.Add("/nowhere/a.bmp");  // gone: the command only reports it
    window.FileCount = 1;
    window.UpdateSourceCommands();
    QVERIFY(window.ActionEffect->isEnabled());
    QSignalSpy effect(window.ActionEffect, &QAction::triggered);
    window.XPEditTarget->setFocus();
    window.XPEditTarget->setText("/tmp/out");
    window.XPEditTarget->setCursorPosition(0);

    // Ctrl+E is also the line edit's "end of line" on X11; here the command
    // takes the field's end-of-line key of whatever platform runs the test.
    const QKeyCombination endOfLine = QKeySequence::keyBindings(QKeySequence::MoveToEndOfLine).value(0)[0];
    window.ActionEffect->setShortcut(QKeySequence(endOfLine));
    QTest::keyClick(window.XPEditTarget, endOfLine.key(), endOfLine.keyboardModifiers());
    QVERIFY(effect.count() == 1 && messages.size() == 1);
    QCOMPARE(window.XPEditTarget->cursorPosition(), 0);

    // While the command is disabled the key is the field's again.
    window.ActionEffect->setEnabled(false);
    QTest::keyClick(window.XPEditTarget, endOfLine.key(), endOfLine.keyboardModifiers());
    QVERIFY(window.XPEditTarget->cursorPosition() == 8 && effect.count() == 1);
    SetMessageHandler(nullptr);
  }
};

WINDOW_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
