// The window layer's shared helpers: the handler guard and the bitmap
// painter.
#include <QPainter>
#include <QtTest>
#include <stdexcept>

#include "platform/windows/bitmapview.h"
#include "platform/windows/guard.h"
#include "platform/windows/messages.h"
#include "tests/support/windowtest.h"

class TestWindowSupport : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { SetMessageHandler(nullptr); }

  void guardShowsTheErrorAndGoesOn() {
    std::vector<std::string> shown;
    SetMessageHandler([&](const std::string& text) { shown.push_back(text); });
    int state = 1;
    QVERIFY(!Guarded([&] {
      state = 2;
      throw std::runtime_error("Out of memory");
    }));
    QVERIFY(!Guarded([] { throw 42; }));
    QVERIFY(Guarded([&] { state = 3; }));
    QCOMPARE(state, 3);
    QCOMPARE(shown, (std::vector<std::string>{"Out of memory", "Unknown error"}));
    // A message box that fails itself does not escape either.
    SetMessageHandler([](const std::string&) { throw std::runtime_error("no screen"); });
    QVERIFY(!Guarded([] { throw std::runtime_error("x"); }));
  }

  void painterDrawsTheBitmapsOwnColours() {
    for (TPixelFormat format : {pf24bit, pf8bit}) {
      TBitmap bitmap;
      bitmap.SetPixelFormat(format);
      bitmap.SetSize(3, 2);  // white
      bitmap.Canvas()->SetPixel(1, 1, clRed);
      QImage target(5, 4, QImage::Format_RGB32);
      target.fill(Qt::black);
      QPainter painter(&target);
      PaintBitmap(painter, 1, 1, bitmap);
      painter.end();
      QCOMPARE(target.pixelColor(0, 0), QColor(Qt::black));
      QCOMPARE(target.pixelColor(1, 1), QColor(Qt::white));
      QCOMPARE(target.pixelColor(2, 2), QColor(Qt::red));
      QCOMPARE(target.pixelColor(4, 3), QColor(Qt::black));
    }
  }
};

WINDOW_TEST_MAIN(TestWindowSupport)
#include "tst_windowsupport.moc"
