#include <algorithm>
#include <cstdlib>

#include "platform/graphics/graphics.h"

TCanvas::TCanvas(HDC dc) : FHandle(dc) {}

TCanvas::~TCanvas() = default;

HDC TCanvas::Handle() {
  if (FHandle) SetBrushColor(FHandle, Brush.Color);
  return FHandle;
}

TColor TCanvas::GetPixel(int x, int y) {
  if (!FHandle || !FHandle->Bitmap) return static_cast<TColor>(CLR_INVALID);
  return static_cast<TColor>(DibGetPixel(*FHandle->Bitmap, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (!FHandle || !FHandle->Bitmap) return;
  // Only system colours are resolved: any other value with a top byte (a
  // palette reference, clNone, clDefault) draws nothing.
  if (static_cast<uint32_t>(color) >> 24 == 0xFF) color = ColorToRGB(color);
  if (static_cast<uint32_t>(color) >> 24) return;
  DibSetPixel(*FHandle->Bitmap, x, y, color);
}

void TCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == bsClear || rect.Width() <= 0 || rect.Height() <= 0) return;
  PatBlt(Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), PATCOPY);
}

void TCanvas::FrameRect(const TRect& rect) {
  if (Brush.Style == bsClear || rect.Width() <= 0 || rect.Height() <= 0) return;
  HDC dc = Handle();
  PatBlt(dc, rect.Left, rect.Top, rect.Width(), 1, PATCOPY);
  PatBlt(dc, rect.Left, rect.Bottom - 1, rect.Width(), 1, PATCOPY);
  PatBlt(dc, rect.Left, rect.Top, 1, rect.Height(), PATCOPY);
  PatBlt(dc, rect.Right - 1, rect.Top, 1, rect.Height(), PATCOPY);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (Brush.Style != bsClear) FillRect(Rect(left + 1, top + 1, right - 1, bottom - 1));
  if (Pen.Style == psClear) return;
  TColor brush = Brush.Color;
  Brush.Color = Pen.Color;
  TBrushStyle style = Brush.Style;
  Brush.Style = bsSolid;
  FrameRect(Rect(left, top, right, bottom));
  Brush.Color = brush;
  Brush.Style = style;
}

void TCanvas::MoveTo(int x, int y) { PenPos = {x, y}; }

void TCanvas::LineTo(int x, int y) {
  int x0 = PenPos.X, y0 = PenPos.Y;
  PenPos = {x, y};
  if (Pen.Style == psClear || !FHandle || !FHandle->Bitmap) return;
  TColor color = ColorToRGB(Pen.Color);
  if (static_cast<uint32_t>(color) >> 24) return;  // clNone, clDefault
  // Bresenham's line, the end point left out.
  int dx = std::abs(x - x0), dy = -std::abs(y - y0);
  int stepX = x0 < x ? 1 : -1, stepY = y0 < y ? 1 : -1;
  int error = dx + dy;
  while (x0 != x || y0 != y) {
    DibSetPixel(*FHandle->Bitmap, x0, y0, color);
    int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += stepX;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += stepY;
    }
  }
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  graphic->Draw(*this, Rect(x, y, x + graphic->Width(), y + graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  graphic->Draw(*this, rect);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& canvas, const TRect& source) {
  StretchBlt(Handle(), dest.Left, dest.Top, dest.Width(), dest.Height(), canvas.Handle(), source.Left,
             source.Top, source.Width(), source.Height(), CopyMode);
}

TRect TCanvas::ClipRect() {
  if (!FHandle || !FHandle->Bitmap) return {};
  return Rect(0, 0, FHandle->Bitmap->Width, FHandle->Bitmap->Height);
}
