// Two-colour gradients of the flat-look controls (button, track bar, panel),
// worked out line by line with the rounding their looks were designed with,
// and the flat two-colour rings of their frames (panel, edit box).
#pragma once

#include <QColor>
#include <vector>

#include "platform/graphics/gdi.h"

class QPainter;
class QRect;

// The colours of `count` lines running from start towards end in `steps`
// equal steps: per channel a running double that starts at the start byte,
// gains (end - start) / steps after each line and is rounded half to even.
// System colours are resolved first. With steps <= 0 (a gradient with no
// extent) every line has the start colour.
std::vector<QColor> GradientColors(TColor start, TColor end, int steps, int count);

// How a gradient runs: left to right (its lines are columns), top to bottom
// (rows), or along x + y from the top-left corner (diagonal lines).
enum TGradientDirection : uint8_t { gdHorizontal, gdVertical, gdDiagonal };

// Fills the rectangle with a gradient of N lines, N its width, its height or
// their sum by direction, one step of N a line from start, so that the line
// with the end colour would be the first one outside. A diagonal line i runs
// from (i, 0) towards (0, i), the end excluded, relative to the rectangle's
// top-left corner; the rectangle's left column, which no diagonal line
// reaches, keeps the start colour. An empty rectangle draws nothing.
void GradientFill(QPainter& canvas, const QRect& rect, TColor start, TColor end, TGradientDirection direction);

// Which edge a ring's bottom-left corner pixel belongs to.
enum TRingCorner : uint8_t { rcLeftEdge, rcBottomEdge };

// One ring one pixel wide along the rectangle's edges: the left column and
// the top row in topLeft, the right column and the bottom row in
// bottomRight; the top-right corner is bottomRight's, the bottom-left one
// belongs to the edge named. An empty rectangle draws nothing.
void DrawRing(QPainter& canvas, const QRect& ring, const QColor& topLeft, const QColor& bottomRight,
              TRingCorner bottomLeft);
