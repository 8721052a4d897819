// The flat check box, radio button, edit box and group box in every state.
// Each state is rendered from a control of its own (hover, press and focus
// belong to one control at a time) and laid out on one sheet per class.
#include <QApplication>
#include <QEnterEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <functional>
#include <vector>

#include "controls/xpcheckbox.h"
#include "controls/xpedit.h"
#include "controls/xpgroupbox.h"
#include "controls/xpradiobutton.h"
#include "shots.h"

namespace {

enum TLook { lkNormal, lkHover, lkPressed, lkFocused, lkDisabled };
const char* const LookNames[] = {"normal", "hover", "pressed", "focused", "disabled"};

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Shows the control alone, puts it in the look and grabs it.
QPixmap Render(QWidget* control, TLook look) {
  control->show();
  control->activateWindow();
  Settle();
  // Showing a window may give it the focus and the pointer; start from neither.
  control->clearFocus();
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(control, &leave);
  const QPointF inside(6, control->height() / 2);
  switch (look) {
    case lkHover: {
      QEnterEvent enter(inside, inside, inside);
      QApplication::sendEvent(control, &enter);
      break;
    }
    case lkPressed: {
      QEnterEvent enter(inside, inside, inside);
      QApplication::sendEvent(control, &enter);
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
      control->setFocus(Qt::TabFocusReason);
      QApplication::sendEvent(control, &press);
      break;
    }
    case lkFocused: control->setFocus(Qt::TabFocusReason); break;
    case lkDisabled: control->setEnabled(false); break;
    case lkNormal: break;
  }
  Settle();
  QPixmap picture = control->grab();
  delete control;
  return picture;
}

// A sheet: one row per entry, one column per look.
struct TSheet {
  QWidget Widget;
  QGridLayout* Grid = new QGridLayout(&Widget);
  int Row = 1;

  explicit TSheet(const std::vector<TLook>& looks) {
    for (size_t i = 0; i < looks.size(); ++i) Grid->addWidget(new QLabel(LookNames[looks[i]]), 0, int(i) + 1);
  }

  void Add(const QString& name, const std::vector<TLook>& looks, const std::function<QWidget*()>& make) {
    Grid->addWidget(new QLabel(name), Row, 0);
    for (size_t i = 0; i < looks.size(); ++i) {
      auto* cell = new QLabel;
      cell->setPixmap(Render(make(), looks[i]));
      Grid->addWidget(cell, Row, int(i) + 1);
    }
    ++Row;
  }
};

}  // namespace

SHOTS(controls2) {
  const std::vector<TLook> all = {lkNormal, lkHover, lkPressed, lkFocused, lkDisabled};

  {
    TSheet sheet(all);
    auto box = [](TXPCheckBoxState state, TXPCheckBoxAlign align, const QString& caption, int width) {
      return [=]() -> QWidget* {
        auto* b = new TXPCheckBox(caption);
        b->resize(width, 17);
        b->SetState(state);
        b->SetAlignment(align);
        return b;
      };
    };
    sheet.Add("unchecked", all, box(cbUnchecked, taLeft, "include &subfolders", 140));
    sheet.Add("checked", all, box(cbChecked, taLeft, "include &subfolders", 140));
    sheet.Add("grayed", all, box(cbGrayed, taLeft, "include &subfolders", 140));
    sheet.Add("checked, right", all, box(cbChecked, taRight, "preserve aspect ratio", 150));
    sheet.Add("caption too wide", all, box(cbChecked, taLeft, "low case for files name", 90));
    sheet.Add("on info colour", all, [] {
      auto* b = new TXPCheckBox("auto save the log");
      b->resize(130, 17);
      b->SetColor(clInfoBk);
      b->SetChecked(true);
      return b;
    });
    SaveShot(&sheet.Widget, "controls2_checkbox");
  }

  {
    TSheet sheet(all);
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
    sheet.Add("unchecked", all, button(false, taLeft, "&jpg", clWindow));
    sheet.Add("checked", all, button(true, taLeft, "&jpg", clWindow));
    sheet.Add("checked, right", all, button(true, taRight, "png", clWindow));
    sheet.Add("on info colour", all, button(true, taLeft, "gif", clInfoBk));
    SaveShot(&sheet.Widget, "controls2_radiobutton");
  }

  {
    const std::vector<TLook> looks = {lkNormal, lkFocused, lkDisabled};
    TSheet sheet(looks);
    auto edit = [](const std::function<void(TXPEdit*)>& setUp) {
      return [=]() -> QWidget* {
        auto* e = new TXPEdit;
        e->resize(180, e->height());
        e->SetText("/home/anna/Pictures/holiday");
        setUp(e);
        return e;
      };
    };
    sheet.Add("default", looks, edit([](TXPEdit*) {}));
    sheet.Add("read-only, grey", looks, edit([](TXPEdit* e) {
                e->SetReadOnly(true);
                e->SetColor(clBtnFace);
              }));
    sheet.Add("borders 3 / 2", looks, edit([](TXPEdit* e) {
                e->SetEnabledBorderWidth(3);
                e->SetDisabledBorderWidth(2);
                e->SetEnabledBorderColor(0x80501F);
              }));
    sheet.Add("password *", looks, edit([](TXPEdit* e) {
                e->SetText("secret");
                e->SetPasswordChar('*');
              }));
    sheet.Add("upper case", looks, edit([](TXPEdit* e) { e->SetCharCase(ecUpperCase); }));
    sheet.Add("digits", looks, edit([](TXPEdit* e) {
                e->resize(60, e->height());
                e->SetText("1024");
                e->SetNumbersOnly(true);
              }));
    SaveShot(&sheet.Widget, "controls2_edit");
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
    add(0, 0, [](TXPGroupBox*) {});
    add(0, 1, [](TXPGroupBox* b) { b->SetCaptionAlignment(caCenter); });
    add(0, 2, [](TXPGroupBox* b) { b->SetCaptionAlignment(caRight); });
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
