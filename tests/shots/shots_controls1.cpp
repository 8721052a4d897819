// The gradient button, track bar and panel in every scheme and state.
#include <QPainter>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "shots.h"

namespace {

const std::vector<TShotLook> AllLooks = {slNormal, slHot, slPressed, slFocused, slDisabled};

QImage SampleGlyph() {
  QImage glyph(16, 16, QImage::Format_RGB32);
  glyph.fill(QColor(255, 0, 255));
  QPainter painter(&glyph);
  painter.fillRect(3, 3, 10, 10, QColor(0, 128, 0));
  painter.fillRect(6, 6, 4, 4, Qt::white);
  return glyph;
}

// A bar set up by `setUp` in the look, the pointer on its thumb.
QImage BarCell(TShotLook look, const std::function<void(TXiTrackBar*)>& setUp) {
  auto* bar = new TXiTrackBar;
  setUp(bar);
  return ShotCell(bar, look, bar->ThumbRect().center());
}

}  // namespace

SHOTS(controls1) {
  const char* const buttonSchemes[] = {"csNeoDesert", "csNeoSky", "csNeoGrass", "csNeoSilver", "csNeoRose", "csNeoSun",
                                       "csDesert",    "csGrass",  "csSky",      "csSun",       "csRose",    "csSilver"};
  TShotSheet buttons(90, 31, {"normal", "hot", "pressed", "focused", "disabled"});
  for (int s = 0; s <= 12; ++s)  // the last row: a button as made
    buttons.AddRow(s < 12 ? buttonSchemes[s] : "new button", AllLooks, [s]() -> QWidget* {
      auto* button = new TXiButton(s < 12 ? "&Button" : "OK");
      if (s < 12) button->SetColorScheme(TXiButton::TColorScheme(s));
      button->resize(90, 31);
      return button;
    });
  buttons.Save("controls1_buttons");

  const char* const layouts[] = {"glyph left", "glyph right", "glyph top", "glyph bottom"};
  TShotSheet glyphs(90, 50, {"caption", "no caption", "pressed", "opaque glyph"});
  for (int layout = 0; layout < 4; ++layout) {
    std::vector<QImage> cells;
    for (int variant = 0; variant < 4; ++variant) {
      auto* button = new TXiButton(variant == 1 ? QString() : QString("Colour"));
      button->SetColorScheme(TXiButton::csNeoSun);
      button->SetLayout(TXiButton::TButtonLayout(layout));
      button->SetGlyph(SampleGlyph());
      button->SetTransparentGlyph(variant != 3);
      button->resize(90, 50);
      cells.push_back(ShotCell(button, variant == 2 ? slPressed : slNormal, QPoint(45, 25)));
    }
    glyphs.AddRow(layouts[layout], cells);
  }
  glyphs.Save("controls1_button_glyphs");

  const char* const schemes[] = {"csDesert", "csGrass", "csSilver", "csSky", "csRose", "csSun"};
  const TShotLook barLooks[] = {slNormal, slHot, slPressed, slNormal, slNormal, slDisabled};
  TShotSheet bars(160, 36, {"normal", "hot", "pressed", "ticks auto", "ticks both", "disabled"});
  for (int s = 1; s <= 6; ++s) {
    std::vector<QImage> cells;
    for (int column = 0; column < 6; ++column)
      cells.push_back(BarCell(barLooks[column], [&](TXiTrackBar* bar) {
        bar->SetColorScheme(TXiTrackBar::TColorScheme(s));
        bar->resize(160, 36);
        bar->SetMax(20);
        bar->SetPosition(7);
        if (column == 3) bar->SetTickStyle(TXiTrackBar::tsAuto), bar->SetFrequency(2);
        if (column == 4) bar->SetTickStyle(TXiTrackBar::tsAuto), bar->SetTickMarks(TXiTrackBar::tmBoth);
      }));
    bars.AddRow(schemes[s - 1], cells);
  }
  bars.AddRow("Max=Min|Min>Max|wide",
              {BarCell(slNormal, [](TXiTrackBar* b) { b->resize(160, 36), b->SetMax(0), b->SetTickStyle(TXiTrackBar::tsAuto); }),
               BarCell(slNormal, [](TXiTrackBar* b) {
                 b->resize(160, 36), b->SetMin(5), b->SetMax(2), b->SetTickStyle(TXiTrackBar::tsManual);
               }),
               BarCell(slNormal, [](TXiTrackBar* b) {
                 b->resize(160, 36), b->SetMax(100000), b->SetPosition(50000), b->SetTickStyle(TXiTrackBar::tsAuto);
               })});
  bars.Save("controls1_trackbars");

  TShotSheet vertical(64, 120, {"normal", "hot", "pressed", "ticks", "disabled"});
  std::vector<QImage> cells;
  for (TShotLook look : {slNormal, slHot, slPressed, slFocused, slDisabled})
    cells.push_back(BarCell(look == slFocused ? slNormal : look, [look](TXiTrackBar* bar) {
      bar->SetOrientation(TXiTrackBar::trVertical);
      bar->resize(36, 120);
      bar->SetPosition(3);
      if (look == slFocused) bar->SetTickStyle(TXiTrackBar::tsAuto), bar->SetTickMarks(TXiTrackBar::tmBoth);
    }));
  vertical.AddRow("vertical", cells);
  vertical.Save("controls1_trackbar_vertical");

  TShotSheet panels(150, 60, {"vertical", "horizontal", "diagonal", "lowered, caption", "3 raised + 3 inner", "disabled"});
  for (int s = 1; s <= 6; ++s) {
    std::vector<QImage> row;
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
        (new TXiButton("OK", panel))->move(8, 8);
        (new TXiTrackBar(panel))->setGeometry(90, 16, 55, 28);
      }
      row.push_back(ShotCell(panel, column == 5 ? slDisabled : slNormal));
    }
    panels.AddRow(schemes[s - 1], row);
  }
  panels.Save("controls1_panels");
}
