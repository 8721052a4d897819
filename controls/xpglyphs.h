// What the flat check box and the flat radio button share: their small
// pictures (drawn in code from character art on the magenta key colour,
// which becomes transparency), the caption and focus-rectangle placement
// beside the 13 x 13 box, and the dotted focus rectangle.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QPainter;
class QFont;
class QWidget;

// Which side the box sits on; the caption takes the other.
enum TXPCheckBoxAlign : uint8_t { taLeft, taRight };

namespace xpglyphs {

// The key colour of the pictures (FF00FF).
constexpr QRgb KeyColour = 0xFFFF00FFu;
// Width and height of the check box's and radio button's box.
constexpr int BoxSize = 13;

// The colour a fraction t of the way from `from` to `to`, channel by
// channel, rounded.
QRgb Mix(QRgb from, QRgb to, double t);
// Builds a picture from rows of characters: '.' is the key colour, every
// other character is coloured by `colour(c, x, y)`. With `keyed` the key
// colour becomes transparent.
QImage FromArt(std::initializer_list<const char*> rows, const std::function<QRgb(char, int, int)>& colour,
               bool keyed = true);
// Every pixel of the key colour made fully transparent.
QImage KeyOut(const QImage& picture);

// Top of the box: Height div 2 - BH div 2.
inline int BoxTop(int height) { return height / 2 - BoxSize / 2; }
// Left of the box for the alignment.
inline int BoxLeft(TXPCheckBoxAlign align, int width) { return align == taLeft ? 0 : width - BoxSize; }
// The rectangle the caption is drawn into; sampleHeight is the height of "W".
QRect CaptionRect(TXPCheckBoxAlign align, int width, int height, int sampleHeight);
// The focus rectangle around a caption of textWidth x textHeight (first
// matching rule; rectangles may reach outside the control, where they are cut).
QRect FocusRect(TXPCheckBoxAlign align, int width, int height, int textWidth, int textHeight, int sampleHeight);
// Same, measuring the caption in the font.
QRect FocusRect(TXPCheckBoxAlign align, int width, int height, const QString& caption, const QFont& font);
// A dotted rectangle in the colour: every other pixel of its outline, no two
// dots side by side, also round the corners.
void DrawFocusRect(QPainter& painter, const QRect& rect, const QColor& colour);
// The caption with accelerator prefixes shown as underlines, left and top
// aligned in the rectangle, on a background of `back`.
void DrawCaption(QPainter& painter, const QRect& rect, const QString& caption, const QColor& text,
                 const QColor& back);

// Painting switched off while a control's own key handling runs; a paint
// asked for meanwhile is made up when it is switched on again. The pause is
// scoped, so a handler that throws cannot leave painting off.
class TPaintSwitch {
 public:
  explicit TPaintSwitch(QWidget* owner) : FOwner(owner) {}
  // Answers whether to paint now; remembers a skipped paint.
  bool MayPaint();
  bool Enabled() const { return FEnabled; }

  class TPause {
   public:
    explicit TPause(TPaintSwitch& paint) : FPaint(paint), FWasEnabled(paint.FEnabled) { paint.FEnabled = false; }
    ~TPause();
    TPause(const TPause&) = delete;
    TPause& operator=(const TPause&) = delete;

   private:
    TPaintSwitch& FPaint;
    bool FWasEnabled;
  };

 private:
  QWidget* FOwner;
  bool FEnabled = true;
  bool FSkipped = false;
};

}  // namespace xpglyphs
