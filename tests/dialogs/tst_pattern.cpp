// The watermark dialog: the pattern from a colour or a file, what OK writes,
// unusable pattern files, and the preview with the level and "inverse".
#include "controls/xitrackbar.h"
#include "dialogs/pattern.h"
#include "effects/function.h"
#include "engine/jobrecord.h"
#include "platform/windows/colors.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/messages.h"
#include "tests/support/windowtest.h"

namespace {

// A job over one source picture, with a picture pattern from a file.
struct TPatternJob : TPictureJob {
  TPatternJob() : TPictureJob({QSize(50, 40)}) {
    Job.WatermarkFile = Folder.File("first.bmp");
    MakeTestBitmap(12, 9, 77)->SaveToFile(Job.WatermarkFile);
    Job.WatermarkBitmap->LoadFromFile(Job.WatermarkFile);
    Job.WatermarkFromFile = true;
    Job.WatermarkColor = 0x123456;
    Job.WatermarkLevel = 90;
  }
};

}  // namespace

class TestPattern : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;
  std::vector<TColor> ColorsOffered;
  TColor ColorChosen = clNone;  // clNone: the colour dialog is cancelled
  std::string FileChosen;       // "": the open dialog is cancelled

 private slots:
  void init() {
    Messages.clear();
    ColorsOffered.clear();
    ColorChosen = clNone;
    FileChosen.clear();
    CommonDialogHooks().Color = [this](QWidget*, TColor& color) {
      ColorsOffered.push_back(color);
      if (ColorChosen == clNone) return false;
      color = ColorChosen;
      return true;
    };
    CommonDialogHooks().OpenPicture = [this](QWidget*, const std::string&, const std::string&,
                                             const std::string&) { return FileChosen; };
  }
  void cleanup() { CommonDialogHooks() = {}; }

  // OK without changes (cancelled choices included) and Cancel after
  // changes both leave the job's pattern.
  void okWithoutChangesAndCancelLeaveTheJobsPattern() {
    for (bool cancel : {false, true}) {
      TPatternJob f;
      f.Job.WatermarkInverse = true;
      TBitmap before;
      before.Assign(f.Job.WatermarkBitmap.get());
      TFormPattern dialog(nullptr, f.Job);
      QCOMPARE(dialog.TrackBar1->Position(), 90);
      ColorChosen = cancel ? 0x00FF00 : clNone;
      dialog.PaintBoxPatternClick();
      dialog.XiButton3Click();
      dialog.TrackBar1->SetPosition(cancel ? 3 : 90);
      (cancel ? dialog.XiButton2 : dialog.XiButton1)->click();
      QVERIFY(f.Job.WatermarkFromFile && f.Job.WatermarkInverse && f.Job.WatermarkLevel == 90);
      QCOMPARE(f.Job.WatermarkFile, f.Folder.File("first.bmp"));
      QCOMPARE(f.Job.WatermarkColor, TColor(0x123456));
      QVERIFY(SameColors(before, *f.Job.WatermarkBitmap));
    }
    QVERIFY(Messages.empty());
  }

  void theLastPatternChosenWins() {
    TPatternJob f;
    std::string second = f.Folder.File("second.bmp");
    MakeTestBitmap(200, 150, 5)->SaveToFile(second);
    // A colour, then a picture: the colour in between is dropped.
    {
      TFormPattern dialog(nullptr, f.Job);
      ColorChosen = 0x0000FF;
      dialog.PaintBoxPatternClick();
      FileChosen = second;
      dialog.XiButton3Click();
      dialog.XiButton1->click();
      QVERIFY(f.Job.WatermarkFromFile && f.Job.WatermarkFile == second);
      QCOMPARE(f.Job.WatermarkColor, TColor(0x123456));
      QVERIFY(SameColors(*f.Job.WatermarkBitmap, *MakeTestBitmap(200, 150, 5)));
    }
    // A picture, then a colour: the file stays the job's last one.
    {
      TFormPattern dialog(nullptr, f.Job);
      FileChosen = f.Folder.File("first.bmp");
      dialog.XiButton3Click();
      ColorChosen = 0x808080;
      dialog.PaintBoxPatternClick();
      dialog.XiButton1->click();
      QVERIFY(!f.Job.WatermarkFromFile && f.Job.WatermarkFile == second);
      QCOMPARE(f.Job.WatermarkColor, TColor(0x808080));
      QVERIFY(SameColors(*f.Job.WatermarkBitmap, *MakeFlatBitmap(60, 60, 0x808080)));  // a square of it
    }
    QVERIFY(Messages.empty());
  }

  // The view shows the pattern's top-left 70 x 60 pixels until the pattern
  // changes, then the whole new pattern at its own size.
  void patternViewKeepsItsFirstSizeUntilThePatternChanges() {
    TPatternJob f;
    std::string large = f.Folder.File("large.bmp");
    MakeTestBitmap(200, 150, 5)->SaveToFile(large);
    TFormPattern dialog(nullptr, f.Job);
    QCOMPARE(dialog.PaintBoxPattern->size(), QSize(70, 60));
    const QImage shown = dialog.PaintBoxPattern->grab().toImage();
    QCOMPARE(FromQColor(shown.pixelColor(11, 8)), PixelAt(*f.Job.WatermarkBitmap, 11, 8));
    dialog.PaintBoxPatternClick();  // cancelled: no change
    FileChosen = f.Folder.File("gone.bmp");
    dialog.XiButton3Click();  // unreadable: no change
    QCOMPARE(dialog.PaintBoxPattern->size(), QSize(70, 60));
    ColorChosen = 0x00FF00;
    dialog.PaintBoxPatternClick();
    QCOMPARE(dialog.PaintBoxPattern->size(), QSize(60, 60));
    FileChosen = large;
    dialog.XiButton3Click();
    QCOMPARE(dialog.PaintBoxPattern->size(), QSize(200, 150));
    Messages.clear();
  }

  // The colour dialog offers its own last colour, black at first in each
  // dialog, never the pattern's.
  void colourDialogOffersItsOwnLastColour() {
    TPatternJob f;
    for (int opened = 0; opened < 2; ++opened) {
      TFormPattern dialog(nullptr, f.Job);
      ColorChosen = 0x0000FF;
      dialog.PaintBoxPatternClick();
      ColorChosen = clNone;
      dialog.PaintBoxPatternClick();  // cancelled
      ColorChosen = 0x00FF00;
      dialog.PaintBoxPatternClick();
      QCOMPARE(ColorsOffered, (std::vector<TColor>{clBlack, 0x0000FF, 0x0000FF}));
      ColorsOffered.clear();
    }
  }

  // The choosers are the dialog's members and what they hold reaches the
  // dialogs; the open dialog opens in the pattern file's folder.
  void patternChoosersAreTheDialogsMembers() {
    TPatternJob f;
    std::vector<std::string> opened;
    CommonDialogHooks().OpenPicture = [&](QWidget*, const std::string& title, const std::string& start,
                                          const std::string& filter) {
      opened.push_back(title + "|" + start + "|" + filter.substr(0, 16));
      return FileChosen;
    };
    TFormPattern dialog(nullptr, f.Job);
    dialog.ColorDialog1.Color = 0x00AA00;
    dialog.PaintBoxPatternClick();
    QCOMPARE(ColorsOffered, std::vector<TColor>{0x00AA00});
    FileChosen = f.Job.WatermarkFile;
    dialog.XiButton3Click();
    QCOMPARE(dialog.OpenPictureDialog1.FileName, FileChosen);
    QCOMPARE(opened, std::vector<std::string>{"Select pattern|" + f.Folder.Path() + "|All pictures (*."});
  }

  void aPatternFileThatGivesNoPixelsIsRefused() {
    TPatternJob f;
    TBitmap before;
    before.Assign(f.Job.WatermarkBitmap.get());
    std::string junk = f.Folder.File("junk.png");
    WriteTextFile(junk, "not a picture");
    // A bitmap header that claims no pixels at all.
    std::string empty = f.Folder.File("empty.bmp");
    WriteFile(empty, ByteWriter()
                         .Text("BM").U32(54).U32(0).U32(54)
                         .U32(40).I32(0).I32(0).U16(1).U16(24).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0)
                         .Data);
    TFormPattern dialog(nullptr, f.Job);
    int runs = dialog.PreviewRuns();
    for (const std::string& path : {junk, empty, f.Folder.File("gone.bmp")}) {
      FileChosen = path;
      dialog.XiButton3Click();
      QCOMPARE(Messages.back(), "This program cannot read the file: " + path);
    }
    QCOMPARE(Messages.size(), size_t(3));
    QCOMPARE(dialog.PreviewRuns(), runs);
    QVERIFY(SameColors(before, const_cast<TBitmap&>(dialog.Pattern())));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.WatermarkFile, f.Folder.File("first.bmp"));
    QVERIFY(SameColors(before, *f.Job.WatermarkBitmap));
  }

  void previewFollowsLevelInverseAndPattern() {
    TPatternJob f;
    f.Job.WatermarkLevel = 0;
    TFormPattern dialog(nullptr, f.Job);
    dialog.show();
    auto shows = [&](int level, bool inverse) {
      return PreviewIs(dialog, [&](TBitmap& picture) { ApplyWatermark(picture, dialog.Pattern(), level, inverse); });
    };
    QVERIFY(PreviewIs(dialog, [](TBitmap&) {}));  // level 0 leaves the picture as it is
    dialog.TrackBar1->SetPosition(200);
    QVERIFY(shows(200, false));
    QTest::mouseClick(dialog.CheckBox2, Qt::LeftButton, {}, QPoint(6, 8));
    QVERIFY(shows(200, true));
    dialog.Label1->setText("untouched");
    ColorChosen = 0xFFFFFF;
    QTest::mouseClick(dialog.PaintBoxPattern, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(shows(200, true));
    QCOMPARE(dialog.Label1->text(), QString("untouched"));
    QVERIFY(Messages.empty());
  }

  void anEmptyJobPatternBecomesAColourSquare() {
    TPatternJob f;
    f.Job.WatermarkBitmap = std::make_unique<TBitmap>();
    TFormPattern dialog(nullptr, f.Job);
    QCOMPARE(dialog.Pattern().Width(), 60);
    QVERIFY(dialog.Result());
    dialog.XiButton1->click();
    QCOMPARE(f.Job.WatermarkFromFile, false);
    QVERIFY(SameColors(*f.Job.WatermarkBitmap, *MakeFlatBitmap(60, 60, 0x123456)));
  }
};

WINDOW_TEST_MAIN(TestPattern)
#include "tst_pattern.moc"
