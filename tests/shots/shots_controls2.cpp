// The flat check box, radio button, edit box and group box in every state.
// Each state is rendered from a control of its own (hover, press and focus
// belong to one control at a time) and laid out on one sheet per class.
#include <QGridLayout>

#include "controls/xpcheckbox.h"
#include "controls/xpedit.h"
#include "controls/xpgroupbox.h"
#include "controls/xpradiobutton.h"
#include "shots.h"

SHOTS(controls2) {
  const std::vector<TShotLook> all = {slNormal, slHot, slPressed, slFocused, slDisabled};
  const std::vector<QString> allNames = {"normal", "hover", "pressed", "focused", "disabled"};

  {
    TShotSheet sheet(150, 17, allNames);
    auto box = [](TXPCheckBoxState state, TXPCheckBoxAlign align, const QString& caption, int width) {
      return [=]() -> QWidget* {
        auto* b = new TXPCheckBox(caption);
        b->resize(width, 17);
        b->SetState(state);
        b->SetAlignment(align);
        return b;
      };
    };
    sheet.AddRow("unchecked", all, box(cbUnchecked, taLeft, "include &subfolders", 140));
    sheet.AddRow("checked", all, box(cbChecked, taLeft, "include &subfolders", 140));
    sheet.AddRow("grayed", all, box(cbGrayed, taLeft, "include &subfolders", 140));
    sheet.AddRow("checked, right", all, box(cbChecked, taRight, "preserve aspect ratio", 150));
    sheet.AddRow("caption too wide", all, box(cbChecked, taLeft, "low case for files name", 90));
    sheet.AddRow("on info colour", all, [] {
      auto* b = new TXPCheckBox("auto save the log");
      b->resize(130, 17);
      b->SetColor(clInfoBk);
      b->SetChecked(true);
      return b;
    });
    sheet.Save("controls2_checkbox");
  }

  {
    TShotSheet sheet(113, 17, allNames);
    auto button = [](bool checked, TXPRadioButtonAlign align, const QString& caption, TColor colour) {
      return [=]() -> QWidget* {
        auto* b = new TXPRadioButton(caption);
        b->resize(113, 17);
        b->SetChecked(checked);
        b->SetAlignment(align);
        b->SetColor(colour);
        return b;
      };
    };
    sheet.AddRow("unchecked", all, button(false, taLeft, "&jpg", clWindow));
    sheet.AddRow("checked", all, button(true, taLeft, "&jpg", clWindow));
    sheet.AddRow("checked, right", all, button(true, taRight, "png", clWindow));
    sheet.AddRow("on info colour", all, button(true, taLeft, "gif", clInfoBk));
    sheet.Save("controls2_radiobutton");
  }

  {
    const std::vector<TShotLook> looks = {slNormal, slFocused, slDisabled};
    TShotSheet sheet(180, 32, {"normal", "focused", "disabled"});
    auto edit = [](const std::function<void(TXPEdit*)>& setUp) {
      return [=]() -> QWidget* {
        auto* e = new TXPEdit;
        e->resize(180, e->height());
        e->SetText("/home/anna/Pictures/holiday");
        setUp(e);
        return e;
      };
    };
    sheet.AddRow("default", looks, edit([](TXPEdit*) {}));
    sheet.AddRow("read-only, grey", looks, edit([](TXPEdit* e) {
                e->SetReadOnly(true);
                e->SetColor(clBtnFace);
              }));
    sheet.AddRow("borders 3 / 2", looks, edit([](TXPEdit* e) {
                e->SetEnabledBorderWidth(3);
                e->SetDisabledBorderWidth(2);
                e->SetEnabledBorderColor(0x80501F);
              }));
    sheet.AddRow("password *", looks, edit([](TXPEdit* e) {
                e->SetText("secret");
                e->SetPasswordChar('*');
              }));
    sheet.AddRow("upper case", looks, edit([](TXPEdit* e) { e->SetCharCase(ecUpperCase); }));
    sheet.AddRow("digits", looks, edit([](TXPEdit* e) {
                e->resize(60, e->height());
                e->SetText("1024");
                e->SetNumbersOnly(true);
              }));
    sheet.Save("controls2_edit");
  }

  {
    QWidget sheet;
    auto* grid = new QGridLayout(&sheet);
    auto add = [&](int row, int column, const std::function<void(TXPGroupBox*)>& setUp) {
      auto* box = new TXPGroupBox("Target format");
      box->setFixedSize(185, 105);
      setUp(box);
      grid->addWidget(box, row, column);
      return box;
    };
    const TCaptionAlignment alignments[] = {caLeft, caCenter, caRight};
    for (int c = 0; c < 3; ++c) add(0, c, [&](TXPGroupBox* b) { b->SetCaptionAlignment(alignments[c]); });
    add(1, 0, [](TXPGroupBox* b) {
      b->SetBorderWidth(3);
      b->SetBorderColor(0x80501F);
      b->SetCaption("&Options");
    });
    add(1, 1, [](TXPGroupBox* b) {
      b->SetCornersOffset(1);
      b->SetCaption("square corners");
    });
    // The main window's use: no caption, frame and background in the info
    // colour, holding the four format buttons.
    add(1, 2, [](TXPGroupBox* b) {
      b->SetCaption(QString());
      b->SetColor(clInfoBk);
      b->SetBorderColor(clInfoBk);
      const char* names[] = {"bmp", "jpg", "gif", "png"};
      for (int i = 0; i < 4; ++i) {
        auto* r = new TXPRadioButton(names[i], b);
        r->setGeometry(12, 12 + 21 * i, 113, 17);
        r->SetColor(clInfoBk);
        r->SetChecked(i == 1);
      }
    });
    add(2, 0, [](TXPGroupBox* b) { b->setEnabled(false); });
    add(2, 1, [](TXPGroupBox* b) {
      b->SetBorderWidth(10);
      b->SetCaption("border 10");
    });
    add(2, 2, [](TXPGroupBox* b) {
      b->SetCaptionOffset(30);
      b->SetColor(clWhite);
      b->SetCaption("offset 30, white");
    });
    SaveShot(&sheet, "controls2_groupbox");
  }
}
