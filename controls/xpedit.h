// The flat edit box: a single-line text box with a flat frame of one to
// three pixels in a border colour (one colour and width while enabled,
// another while disabled) and a one-pixel ring in the box's own colour.
// OnChange is raised on every change of the text, also when code sets it.
#pragma once

#include <QLineEdit>
#include <cstdint>

#include "platform/graphics/gdi.h"

class QPainter;

enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

class TXPEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TXPEdit(QWidget* parent = nullptr);
  ~TXPEdit() override;

  QString Text() const { return text(); }
  void SetText(const QString& value) { setText(value); }

  // Only kept: the height follows the font once, at construction.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value) { FAutoSize = value; }
  // The box's background (default white).
  TColor Color() const { return FColor; }
  void SetColor(TColor value);
  TColor EnabledBorderColor() const { return FEnabledBorderColor; }
  void SetEnabledBorderColor(TColor value);
  TColor DisabledBorderColor() const { return FDisabledBorderColor; }
  void SetDisabledBorderColor(TColor value);
  // Border widths are kept within 1..3.
  int EnabledBorderWidth() const { return FEnabledBorderWidth; }
  void SetEnabledBorderWidth(int value);
  int DisabledBorderWidth() const { return FDisabledBorderWidth; }
  void SetDisabledBorderWidth(int value);

  // Typed and set text is turned to upper or lower case.
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase value);
  // Only the digits '0'-'9' can be typed or pasted (text set in code is
  // taken as it is); other scripts' digits are refused, as they are no
  // number the box's readers take.
  bool NumbersOnly() const { return FNumbersOnly; }
  void SetNumbersOnly(bool value);
  // 0 means no limit. A longer text is cut, which counts as a change.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int value);
  // QChar() means the text is shown as it is.
  QChar PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(QChar value);
  bool ReadOnly() const { return isReadOnly(); }
  void SetReadOnly(bool value) { setReadOnly(value); }
  // Set by the user's edits, cleared when code sets the text.
  bool GetModified() const { return isModified(); }
  bool Modified() const { return GetModified(); }
  void SetModified(bool value) { setModified(value); }
  bool GetCanUndo() const { return isUndoAvailable(); }
  bool CanUndo() const { return GetCanUndo(); }

  // The selection: its start (the caret when nothing is selected), its
  // length and its text.
  virtual int GetSelStart() const;
  int SelStart() const { return GetSelStart(); }
  virtual void SetSelStart(int value);
  virtual int GetSelLength() const { return int(selectedText().size()); }
  int SelLength() const { return GetSelLength(); }
  virtual void SetSelLength(int value);
  virtual QString GetSelText() const { return selectedText(); }
  QString SelText() const { return GetSelText(); }
  // Replaces the selection (inserts at the caret when nothing is selected).
  void SetSelText(const QString& value) { insert(value); }
  // Copies the selected text into the buffer as UTF-8, at most bufSize - 1
  // bytes and never part of a character, and ends it with a zero byte;
  // answers the bytes copied before the zero. Nothing is written past
  // bufSize bytes (with 0, or no buffer, nothing at all).
  virtual int GetSelTextBuf(char* buffer, int bufSize) const;
  // Replaces the selection by the UTF-8 text in the buffer, read up to its
  // first zero byte but never past bufSize bytes (a character cut at the
  // end is left out). Refused, as typing would be, when the box does not
  // take it.
  void SetSelTextBuf(const char* buffer, int bufSize);
  void SelectAll() { selectAll(); }

  virtual void Clear() { clear(); }
  // Deletes the selected text; nothing when nothing is selected or the box
  // is read-only.
  void ClearSelection();
  void CopyToClipboard() { copy(); }
  void CutToClipboard() { cut(); }
  void PasteFromClipboard() { paste(); }
  void Undo() { undo(); }
  void ClearUndo();

  // The height for the font: the font's height and room for the frame.
  void AdjustHeight();
  // Draws width flat rings of a classic 3D frame, the left and top edges in
  // top, the right and bottom ones in bottom, from the rectangle's edge
  // inwards; the rectangle shrinks by the rings drawn.
  static void Frame3D(QPainter& canvas, QRect& rect, TColor top, TColor bottom, int width);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void OnChange();
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  // The text changed (by the user or by code): raises OnChange.
  virtual void Change();
  // Limits the text the user can enter to value characters (0: no limit).
  virtual void DoSetMaxLength(int value);
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  class TCaseValidator;
  class TPasswordStyle;
  void ApplyPalette();
  void ApplyMargins();
  void ApplyValidator();

  bool FAutoSize = true;
  TColor FColor = clWhite;
  TColor FEnabledBorderColor = 0xBF9F7F;
  TColor FDisabledBorderColor = 0xB8D8D7;
  int FEnabledBorderWidth = 1;
  int FDisabledBorderWidth = 1;
  TEditCharCase FCharCase = ecNormal;
  bool FNumbersOnly = false;
  int FMaxLength = 0;
  QChar FPasswordChar;
  TCaseValidator* FValidator = nullptr;
  TPasswordStyle* FPasswordStyle = nullptr;

 protected:
  // The focus came with a press of the middle button that selected the
  // text; the press and its release are held back from the box.
  bool FMiddleEntered = false;
};
