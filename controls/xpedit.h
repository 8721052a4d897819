// The flat edit box: a single-line text box with a flat frame of one to
// three pixels in a border colour (one colour and width while enabled,
// another while disabled) and a one-pixel ring in the box's own colour.
// OnChange is raised on every change of the text, also when code sets it.
#pragma once

#include <QLineEdit>
#include <cstdint>

#include "platform/graphics/gdi.h"

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
  // Only digits can be typed or pasted (text set in code is taken as it is).
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
  bool Modified() const { return isModified(); }
  void SetModified(bool value) { setModified(value); }
  bool CanUndo() const { return isUndoAvailable(); }

  // The selection: its start (the caret when nothing is selected), its
  // length and its text.
  int SelStart() const;
  void SetSelStart(int value);
  int SelLength() const { return int(selectedText().size()); }
  void SetSelLength(int value);
  QString SelText() const { return selectedText(); }
  // Replaces the selection (inserts at the caret when nothing is selected).
  void SetSelText(const QString& value) { insert(value); }
  void SelectAll() { selectAll(); }

  void Clear() { clear(); }
  // Deletes the selected text; nothing when nothing is selected or the box
  // is read-only.
  void ClearSelection();
  void CopyToClipboard() { copy(); }
  void CutToClipboard() { cut(); }
  void PasteFromClipboard() { paste(); }
  void Undo() { undo(); }
  void ClearUndo();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void OnChange();
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
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
};
