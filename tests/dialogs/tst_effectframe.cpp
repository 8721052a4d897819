// The frame of the effect dialogs: which row opens, how a picture is loaded
// and fitted, what OK and Cancel write, and that a change runs the effect
// exactly once and never on a picture that is not there.
#include <QApplication>
#include <QtTest>

#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "dialogs/simpleeffect.h"
#include "effects/function.h"
#include "engine/jobrecord.h"
#include "platform/windows/messages.h"
#include "tests/support/testsupport.h"

namespace {

// A job over the given pictures, saved as BMP into the folder (a name ending
// in ".png" gets bytes that are no picture).
struct TJobFixture {
  TempDir Folder;
  TJobRecord Job{Folder.Path()};

  void AddPicture(const std::string& name, TBitmap& picture) {
    std::string path = Folder.File(name);
    picture.SaveToFile(path);
    Add(path);
  }
  void AddPicture(const std::string& name, int width, int height, int seed = 0) {
    AddPicture(name, *MakeTestBitmap(width, height, seed));
  }
  void AddBroken(const std::string& name) {
    WriteTextFile(Folder.File(name), "not a picture");
    Add(Folder.File(name));
  }
  void Add(const std::string& path) {
    Job.SourceFiles.Add(path);
    Job.FileCount = Job.SourceFiles.Count();
    Job.PreviewFile = Job.SourceFiles[0];
  }
};

}  // namespace

class TestEffectFrame : public QObject {
  Q_OBJECT

 private:
  std::vector<std::string> Messages;

 private slots:
  void init() {
    Messages.clear();
    SetMessageHandler([this](const std::string& text) { Messages.push_back(text); });
  }
  void cleanup() { SetMessageHandler(nullptr); }

  void opensOnThePreviewRowWhenItStillExists() {
    TJobFixture f;
    for (int i = 0; i < 3; ++i) f.AddPicture("p" + std::to_string(i) + ".bmp", 20, 10 + i);
    f.Job.PreviewIndex = 2;
    f.Job.PreviewFile = f.Job.SourceFiles[2];
    {
      TFormSimpleEffect dialog(nullptr, f.Job);
      QCOMPARE(dialog.SelectedRow(), 2);
      QCOMPARE(dialog.Source()->Height(), 12);
      QCOMPARE(dialog.ListView1->model()->rowCount(), 3);
      QCOMPARE(dialog.ListView1->model()->data(dialog.ListView1->model()->index(2, 0)).toString(), QString("3"));
      QCOMPARE(dialog.ListView1->model()->data(dialog.ListView1->model()->index(2, 1)).toString(), QString("p2.bmp"));
      QCOMPARE(dialog.ListView1->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("\u2116"));
    }
    // An index past the list, or a preview file that has gone: the top row.
    f.Job.PreviewIndex = 3;
    QCOMPARE(TFormSimpleEffect(nullptr, f.Job).SelectedRow(), 0);
    f.Job.PreviewIndex = 1;
    f.Job.PreviewFile = f.Folder.File("gone.bmp");
    QCOMPARE(TFormSimpleEffect(nullptr, f.Job).SelectedRow(), 0);
  }

  void fitsAPictureOnlyWhenItExceedsTheBox() {
    TJobFixture f;
    f.AddPicture("first.bmp", 8, 8);
    TFormSimpleEffect probe(nullptr, f.Job);
    int boxWidth = probe.ScrollBox1->width(), boxHeight = probe.ScrollBox1->height();
    f.AddPicture("edge.bmp", boxWidth - 10, boxHeight - 10);
    f.AddPicture("over.bmp", boxWidth - 9, boxHeight - 40);
    f.AddPicture("thin.bmp", 2000, 1);

    TFormSimpleEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.Panel3->text(), QString("normal"));
    dialog.SelectRow(1);
    QCOMPARE(dialog.Source()->Width(), boxWidth - 10);
    QCOMPARE(dialog.Source()->Height(), boxHeight - 10);
    QCOMPARE(dialog.Panel3->text(), QString("normal"));
    QCOMPARE(dialog.PaintEffect->size(), QSize(boxWidth - 10, boxHeight - 10));

    dialog.SelectRow(2);
    QCOMPARE(dialog.Panel3->text(), QString("resizing"));
    // The width decides (the single-precision scale may cost a pixel).
    QVERIFY(dialog.Source()->Width() >= boxWidth - 16 && dialog.Source()->Width() <= boxWidth - 15);
    QVERIFY(dialog.Source()->Height() < boxHeight - 15);
    QCOMPARE(dialog.Source()->PixelFormat(), pf24bit);

    // A picture one pixel high stays one pixel high instead of failing.
    dialog.SelectRow(3);
    QVERIFY(dialog.Source()->Width() >= boxWidth - 16 && dialog.Source()->Width() <= boxWidth - 15);
    QCOMPARE(dialog.Source()->Height(), 1);
    QCOMPARE(dialog.Result()->Height(), 1);
    QVERIFY(Messages.empty());
  }

  void palettePicturesPreviewInTheirOwnColours() {
    // Four flat quarters, large enough to be fitted, as an 8-bit GIF and as
    // an 8-bit BMP.
    TJobFixture f;
    auto picture = MakeFlatBitmap(1000, 800, clRed);
    auto fill = [&](TColor color, TRect rect) {
      picture->Canvas()->Brush.Color = color;
      picture->Canvas()->FillRect(rect);
    };
    fill(clBlue, {500, 0, 1000, 400});
    fill(clLime, {0, 400, 500, 800});
    fill(clYellow, {500, 400, 1000, 800});
    f.Job.TargetExtension = ".gif";
    std::string gifName = f.Job.SaveBitmapToTarget(*picture, f.Folder.Path(), "quarters");
    QVERIFY(gifName != "Error");
    f.Add(f.Folder.File(gifName));
    picture->SetPixelFormat(pf8bit);
    f.AddPicture("quarters.bmp", *picture);

    for (int row : {0, 1}) {
      f.Job.SimpleEffectKind = -1;  // no effect: the plain picture
      TFormSimpleEffect dialog(nullptr, f.Job);
      dialog.SelectRow(row);
      TBitmap result;
      result.Assign(dialog.Result());
      QCOMPARE(dialog.Panel3->text(), QString("resizing"));
      int w = result.Width(), h = result.Height();
      QCOMPARE(PixelAt(result, w / 4, h / 4), clRed);
      QCOMPARE(PixelAt(result, 3 * w / 4, h / 4), clBlue);
      QCOMPARE(PixelAt(result, w / 4, 3 * h / 4), clLime);
      QCOMPARE(PixelAt(result, 3 * w / 4, 3 * h / 4), clYellow);
    }
  }

  void anUnreadableRowKeepsThePreviewSilently() {
    TJobFixture f;
    f.AddPicture("good.bmp", 30, 20);
    f.AddBroken("broken.png");
    f.AddPicture("other.bmp", 25, 20);
    f.Job.OneTrackKind = 2;  // Contrast
    TFormEffect dialog(nullptr, f.Job);
    const TBitmap* before = dialog.Result();
    QVERIFY(before);
    dialog.SelectRow(1);
    QCOMPARE(dialog.SelectedRow(), 1);
    QCOMPARE(dialog.Result(), before);
    QCOMPARE(dialog.Source()->Width(), 30);
    QCOMPARE(dialog.PreviewedPath(), std::string());
    QCOMPARE(dialog.Panel3->text(), QString("normal"));
    QVERIFY(Messages.empty());
    // OK still takes the selected row.
    dialog.XiButton1->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.Job.PreviewIndex, 1);
  }

  void changesBeforeAnyPictureRunNoEffect() {
    TJobFixture f;
    f.AddBroken("a.png");
    f.AddBroken("b.png");
    f.Job.OneTrackKind = 0;  // Antialias
    TFormEffect dialog(nullptr, f.Job);
    QVERIFY(!dialog.Result());
    QCOMPARE(dialog.Label1->text(), QString());
    dialog.TrackBar1->SetPosition(7);
    QCOMPARE(dialog.Label1->text(), QString("7"));
    QCOMPARE(dialog.PreviewRuns(), 0);
    QVERIFY(Messages.empty());
    dialog.XiButton1->click();
    QCOMPARE(f.Job.AntialiasPasses, 7);
  }

  void eachChangeRunsTheEffectOnceFromTheSource() {
    TJobFixture f;
    f.AddPicture("a.bmp", 60, 40);
    f.AddPicture("b.bmp", 50, 40, 9);
    f.Job.OneTrackKind = 17;  // Threshold
    TFormEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.PreviewRuns(), 1);  // the first row, once
    dialog.TrackBar1->SetPosition(90);
    QCOMPARE(dialog.PreviewRuns(), 2);
    TBitmap first;
    first.Assign(dialog.Result());
    // The same value again (a drag that stays put) recomputes, from the
    // source, to the same pixels.
    dialog.TrackBar1->SetPosition(90);
    QCOMPARE(dialog.PreviewRuns(), 3);
    TBitmap second;
    second.Assign(dialog.Result());
    QVERIFY(SameColors(first, second));
    TBitmap expected;
    expected.Assign(dialog.Source());
    ApplyThreshold(expected, 90);
    QVERIFY(SameColors(expected, second));
    // Painting or a new row: a new row runs it once more, painting never.
    dialog.PaintEffect->repaint();
    QCOMPARE(dialog.PreviewRuns(), 3);
    dialog.SelectRow(1);
    QCOMPARE(dialog.PreviewRuns(), 4);
  }

  void okWritesCancelForgets() {
    TJobFixture f;
    f.AddPicture("a.bmp", 40, 30);
    f.AddPicture("b.bmp", 40, 30, 1);
    f.Job.OneTrackKind = 6;  // Gauss
    {
      TFormEffect dialog(nullptr, f.Job);
      dialog.TrackBar1->SetPosition(4);
      dialog.SelectRow(1);
      dialog.XiButton2->click();
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QCOMPARE(f.Job.GaussPasses, 1);
    QCOMPARE(f.Job.PreviewIndex, 0);
    {
      TFormEffect dialog(nullptr, f.Job);
      dialog.SelectRow(1);
      dialog.TrackBar1->SetPosition(4);
      QTest::keyClick(&dialog, Qt::Key_Escape);
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QCOMPARE(f.Job.GaussPasses, 1);
    {
      TFormEffect dialog(nullptr, f.Job);
      dialog.SelectRow(1);
      dialog.TrackBar1->SetPosition(4);
      dialog.XiButton1->click();
    }
    QCOMPARE(f.Job.GaussPasses, 4);
    QCOMPARE(f.Job.PreviewIndex, 1);
  }

  void okWithoutASelectedRowKeepsThePreviewIndex() {
    TJobFixture f;
    f.AddPicture("a.bmp", 40, 30);
    f.AddPicture("b.bmp", 40, 30, 1);
    f.Job.PreviewIndex = 1;
    f.Job.PreviewFile = f.Job.SourceFiles[1];
    f.Job.OneTrackKind = 6;
    TFormEffect dialog(nullptr, f.Job);
    dialog.ListView1->selectionModel()->clearSelection();
    QCOMPARE(dialog.SelectedRow(), -1);
    QVERIFY(dialog.Result());  // the preview stays
    dialog.TrackBar1->SetPosition(3);
    dialog.XiButton1->click();
    QCOMPARE(f.Job.PreviewIndex, 1);
    QCOMPARE(f.Job.GaussPasses, 3);
  }

  void aRaisingEffectShowsItsMessageAndTheDialogStays() {
    TJobFixture f;
    f.AddPicture("dot.bmp", 1, 1);
    f.Job.OneTrackKind = 7;  // Illusion
    TFormEffect dialog(nullptr, f.Job);
    QCOMPARE(Messages.size(), size_t(1));
    dialog.TrackBar1->SetPosition(3);
    QCOMPARE(dialog.Label1->text(), QString("3"));
    QCOMPARE(Messages.size(), size_t(2));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.IllusionAmount, 3);
  }

  void loadingRefusesPicturesWithoutPixels() {
    TJobFixture f;
    TBitmap empty;
    empty.SetPixelFormat(pf24bit);
    empty.SaveToFile(f.Folder.File("empty.bmp"));
    QVERIFY(!LoadPreviewPicture(f.Folder.File("empty.bmp"), 100, 100, 95, 95));
    QVERIFY(!LoadPreviewPicture(f.Folder.File("missing.jpg"), 100, 100, 95, 95));
    // The format dialogs' rule: over 246 pixels, fitted into 246 x 246.
    MakeTestBitmap(300, 200)->SaveToFile(f.Folder.File("wide.bmp"));
    bool resized = false;
    auto picture = LoadPreviewPicture(f.Folder.File("wide.bmp"), 246, 246, 246, 246, &resized);
    QVERIFY(resized);
    QCOMPARE(picture->Width(), 245);
    QCOMPARE(picture->Height(), 163);
    picture = LoadPreviewPicture(f.Folder.File("wide.bmp"), 300, 200, 246, 246, &resized);
    QVERIFY(!resized);
    QCOMPARE(picture->Width(), 300);
  }
};

int main(int argc, char** argv) {
  TempDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
  QApplication application(argc, argv);
  TestEffectFrame test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_effectframe.moc"
