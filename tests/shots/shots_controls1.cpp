// The gradient button, track bar and panel in every scheme and state.
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <functional>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "shots.h"

namespace {

enum TLook { lkNormal, lkHot, lkPressed, lkFocused, lkDisabled };


void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void SendEnter(QWidget* widget, QPoint at) {
  QEnterEvent event{QPointF(at), QPointF(at), QPointF(widget->mapToGlobal(at))};
  QApplication::sendEvent(widget, &event);
}

// Shows the control as a window of its own, puts it into the look and
// grabs it.
QImage Cell(QWidget* control, TLook look, QPoint hot) {
  control->show();
  Settle();
  // Wherever the pointer is, it is not over the control unless wanted.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(control, &leave);
  // A window shown offscreen gives its first control the focus.
  if (QWidget* focused = control->focusWidget()) focused->clearFocus();
  switch (look) {
    case lkNormal:
      break;
    case lkHot:
      SendEnter(control, hot);
      SendMouse(control, QEvent::MouseMove, hot, Qt::NoButton);
      break;
    case lkPressed:
      SendEnter(control, hot);
      SendMouse(control, QEvent::MouseButtonPress, hot, Qt::LeftButton);
      break;
    case lkFocused:
      control->activateWindow();
      for (int i = 0; i < 100 && !control->isActiveWindow(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
      control->setFocus(Qt::TabFocusReason);

      break;
    case lkDisabled:
      control->setEnabled(false);
      break;
  }
  Settle();
  QImage image = control->grab().toImage();
  delete control;
  return image;
}

// A sheet of cells in rows with titles on the left and above.
class TSheet {
 public:
  TSheet(int cellWidth, int cellHeight, const std::vector<QString>& columns)
      : FCellWidth(cellWidth), FCellHeight(cellHeight), FColumns(columns) {}
  void AddRow(const QString& title, std::vector<QImage> cells) { FRows.push_back({title, std::move(cells)}); }
  void Save(const std::string& name) {
    const int left = 110, top = 22, gap = 10;
    QImage sheet(left + int(FColumns.size()) * (FCellWidth + gap), top + int(FRows.size()) * (FCellHeight + gap),
                 QImage::Format_RGB32);
    sheet.fill(QColor(236, 233, 216));
    QPainter painter(&sheet);
    painter.setPen(Qt::black);
    for (size_t c = 0; c < FColumns.size(); ++c)
      painter.drawText(QRect(left + int(c) * (FCellWidth + gap), 0, FCellWidth, top), Qt::AlignCenter, FColumns[c]);
    for (size_t r = 0; r < FRows.size(); ++r) {
      const int y = top + int(r) * (FCellHeight + gap);
      painter.drawText(QRect(4, y, left - 8, FCellHeight), Qt::AlignVCenter | Qt::AlignLeft, FRows[r].first);
      for (size_t c = 0; c < FRows[r].second.size(); ++c)
        painter.drawImage(left + int(c) * (FCellWidth + gap), y, FRows[r].second[c]);
    }
    painter.end();
    QLabel label;
    label.setPixmap(QPixmap::fromImage(sheet));
    label.resize(sheet.size());
    SaveShot(&label, name);
  }

 private:
  int FCellWidth, FCellHeight;
  std::vector<QString> FColumns;
  std::vector<std::pair<QString, std::vector<QImage>>> FRows;
};

std::vector<QString> LookColumns() { return {"normal", "hot", "pressed", "focused", "disabled"}; }

QImage SampleGlyph() {
  QImage glyph(16, 16, QImage::Format_RGB32);
  glyph.fill(QColor(255, 0, 255));
  QPainter painter(&glyph);
  painter.fillRect(3, 3, 10, 10, QColor(0, 128, 0));
  painter.fillRect(6, 6, 4, 4, Qt::white);
  return glyph;
}

}  // namespace

SHOTS(controls1) {
  const char* const buttonSchemes[] = {"csNeoDesert", "csNeoSky", "csNeoGrass", "csNeoSilver", "csNeoRose",
                                       "csNeoSun",    "csDesert", "csGrass",    "csSky",       "csSun",
                                       "csRose",      "csSilver"};
  TSheet buttons(90, 31, LookColumns());
  for (int s = 0; s < 12; ++s) {
    std::vector<QImage> cells;
    for (int look = lkNormal; look <= lkDisabled; ++look) {
      auto* button = new TXiButton("&Button");
      button->SetColorScheme(TXiButton::TColorScheme(s));
      button->resize(90, 31);
      cells.push_back(Cell(button, TLook(look), QPoint(45, 15)));
    }
    buttons.AddRow(buttonSchemes[s], cells);
  }
  {
    std::vector<QImage> cells;
    for (int look = lkNormal; look <= lkDisabled; ++look) {
      auto* button = new TXiButton("OK");
      button->resize(90, 31);
      cells.push_back(Cell(button, TLook(look), QPoint(45, 15)));
    }
    buttons.AddRow("new button", cells);
  }
  buttons.Save("controls1_buttons");

  const char* const layouts[] = {"glyph left", "glyph right", "glyph top", "glyph bottom"};
  TSheet glyphs(90, 50, {"caption", "no caption", "pressed", "opaque glyph"});
  for (int layout = 0; layout < 4; ++layout) {
    std::vector<QImage> cells;
    for (int variant = 0; variant < 4; ++variant) {
      auto* button = new TXiButton(variant == 1 ? QString() : QString("Colour"));
      button->SetColorScheme(TXiButton::csNeoSun);
      button->SetLayout(TXiButton::TButtonLayout(layout));
      button->SetGlyph(SampleGlyph());
      button->SetTransparentGlyph(variant != 3);
      button->resize(90, 50);
      cells.push_back(Cell(button, variant == 2 ? lkPressed : lkNormal, QPoint(45, 25)));
    }
    glyphs.AddRow(layouts[layout], cells);
  }
  glyphs.Save("controls1_button_glyphs");

  const char* const barSchemes[] = {"csDesert", "csGrass", "csSilver", "csSky", "csRose", "csSun"};
  TSheet bars(160, 36, {"normal", "hot", "pressed", "ticks auto", "ticks both", "disabled"});
  for (int s = 1; s <= 6; ++s) {
    std::vector<QImage> cells;
    for (int column = 0; column < 6; ++column) {
      auto* bar = new TXiTrackBar;
      bar->SetColorScheme(TXiTrackBar::TColorScheme(s));
      bar->resize(160, 36);
      bar->SetMax(20);
      bar->SetPosition(7);
      if (column == 3) bar->SetTickStyle(TXiTrackBar::tsAuto), bar->SetFrequency(2);
      if (column == 4) bar->SetTickStyle(TXiTrackBar::tsAuto), bar->SetTickMarks(TXiTrackBar::tmBoth);
      const QPoint thumb = bar->ThumbRect().center();
      TLook look = column == 1 ? lkHot : column == 2 ? lkPressed : column == 5 ? lkDisabled : lkNormal;
      cells.push_back(Cell(bar, look, thumb));
    }
    bars.AddRow(barSchemes[s - 1], cells);
  }
  {
    std::vector<QImage> cells;
    for (int column = 0; column < 3; ++column) {
      auto* bar = new TXiTrackBar;
      bar->resize(160, 36);
      if (column == 0) bar->SetMax(0), bar->SetTickStyle(TXiTrackBar::tsAuto);
      if (column == 1) bar->SetMin(5), bar->SetMax(2), bar->SetTickStyle(TXiTrackBar::tsManual);
      if (column == 2) bar->SetMax(100000), bar->SetPosition(50000), bar->SetTickStyle(TXiTrackBar::tsAuto);
      cells.push_back(Cell(bar, lkNormal, QPoint()));
    }
    bars.AddRow("Max=Min|Min>Max|wide", cells);
  }
  bars.Save("controls1_trackbars");

  TSheet vertical(64, 120, {"normal", "hot", "pressed", "ticks", "disabled"});
  {
    std::vector<QImage> cells;
    for (int column = 0; column < 5; ++column) {
      auto* bar = new TXiTrackBar;
      bar->SetOrientation(TXiTrackBar::trVertical);
      bar->resize(36, 120);
      bar->SetPosition(3);
      if (column == 3) bar->SetTickStyle(TXiTrackBar::tsAuto), bar->SetTickMarks(TXiTrackBar::tmBoth);
      const QPoint thumb = bar->ThumbRect().center();
      TLook look = column == 1 ? lkHot : column == 2 ? lkPressed : column == 4 ? lkDisabled : lkNormal;
      cells.push_back(Cell(bar, look, thumb));
    }
    vertical.AddRow("vertical", cells);
  }
  vertical.Save("controls1_trackbar_vertical");

  const char* const panelSchemes[] = {"csDesert", "csGrass", "csSilver", "csSky", "csRose", "csSun"};
  TSheet panels(150, 60, {"vertical", "horizontal", "diagonal", "lowered, caption", "3 raised + 3 inner", "disabled"});
  for (int s = 1; s <= 6; ++s) {
    std::vector<QImage> cells;
    for (int column = 0; column < 6; ++column) {
      auto* panel = new TXiPanel;
      panel->SetColorScheme(TXiPanel::TColorScheme(s));
      panel->resize(150, 60);
      if (column == 1) panel->SetFillDirection(TXiPanel::fdHorizontal);
      if (column == 2) panel->SetFillDirection(TXiPanel::fdDiagonal);
      if (column == 3) panel->SetBevelOuter(TXiPanel::bvLowered), panel->SetCaption("Caption");
      if (column == 4) {
        panel->SetBevelWidth(3);
        panel->SetBevelInner(TXiPanel::bvRaised);
        panel->SetCaption("Left");
        panel->SetAlignment(TXiPanel::taLeftJustify);
      }
      if (column == 5) {
        auto* button = new TXiButton("OK", panel);
        button->move(8, 8);
        auto* bar = new TXiTrackBar(panel);
        bar->setGeometry(90, 16, 55, 28);
      }
      cells.push_back(Cell(panel, column == 5 ? lkDisabled : lkNormal, QPoint()));
    }
    panels.AddRow(panelSchemes[s - 1], cells);
  }
  panels.Save("controls1_panels");
}
