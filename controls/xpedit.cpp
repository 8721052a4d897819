#include "controls/xpedit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QValidator>
#include <algorithm>

#include "controls/xigradient.h"
#include "platform/windows/colors.h"

namespace {

// The length of the longest start of the UTF-8 bytes that ends with a whole
// character (a character cut at the end is left out).
int WholeCharacters(const char* bytes, int length) {
  int lead = length;
  while (lead > 0 && (uchar(bytes[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return 0;  // only continuation bytes: no whole character
  const uchar first = uchar(bytes[lead - 1]);
  const int size = first < 0x80 ? 1 : first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  return length - (lead - 1) >= size ? length : lead - 1;
}

}  // namespace

// Character case and digits-only input: applied to whatever enters the box.
class TXPEdit::TCaseValidator : public QValidator {
 public:
  explicit TCaseValidator(TXPEdit* edit) : QValidator(edit), FEdit(edit) {}

  State validate(QString& input, int& pos) const override {
    // '0'-'9' only: the digits of other scripts are digits to Qt but no
    // number to the box's readers.
    if (FEdit->FNumbersOnly &&
        std::any_of(input.begin(), input.end(), [](QChar c) { return c < QLatin1Char('0') || c > QLatin1Char('9'); }))
      return Invalid;
    if (FEdit->FCharCase == ecUpperCase) input = input.toUpper();
    if (FEdit->FCharCase == ecLowerCase) input = input.toLower();
    pos = std::min(pos, int(input.size()));
    return Acceptable;
  }

 private:
  TXPEdit* FEdit;
};

// The program style with the box's own password character.
class TXPEdit::TPasswordStyle : public QProxyStyle {
 public:
  TPasswordStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}
  QChar Character;

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return Character.unicode();
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

TXPEdit::TXPEdit(QWidget* parent) : QLineEdit(parent), FValidator(new TCaseValidator(this)) {
  setFrame(false);
  setMaxLength(32767);
  ApplyPalette();
  ApplyMargins();
  resize(121, 25);
  AdjustHeight();
  connect(this, &QLineEdit::textChanged, this, [this] { Change(); });
}

void TXPEdit::AdjustHeight() { resize(width(), sizeHint().height()); }

void TXPEdit::Change() { emit OnChange(); }

void TXPEdit::DoSetMaxLength(int value) { setMaxLength(value > 0 ? value : 32767); }

TXPEdit::~TXPEdit() {
  if (FPasswordStyle) {
    setStyle(nullptr);
    delete FPasswordStyle;
  }
}

void TXPEdit::ApplyPalette() {
  QPalette colours = palette();
  const QColor back = ToQColor(FColor);
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Base, back);
    colours.setColor(group, QPalette::Window, back);
  }
  setPalette(colours);
}

void TXPEdit::ApplyMargins() {
  const int border = isEnabled() ? FEnabledBorderWidth : FDisabledBorderWidth;
  setContentsMargins(border, border, border, border);
}

void TXPEdit::ApplyValidator() {
  setValidator(FCharCase != ecNormal || FNumbersOnly ? FValidator : nullptr);
}

void TXPEdit::SetColor(TColor value) {
  if (value == FColor) return;
  FColor = value;
  ApplyPalette();
  update();
}

void TXPEdit::SetEnabledBorderColor(TColor value) {
  if (value == FEnabledBorderColor) return;
  FEnabledBorderColor = value;
  update();
}

void TXPEdit::SetDisabledBorderColor(TColor value) {
  if (value == FDisabledBorderColor) return;
  FDisabledBorderColor = value;
  update();
}

void TXPEdit::SetEnabledBorderWidth(int value) {
  if (value == FEnabledBorderWidth) return;
  FEnabledBorderWidth = std::clamp(value, 1, 3);
  ApplyMargins();
  update();
}

void TXPEdit::SetDisabledBorderWidth(int value) {
  if (value == FDisabledBorderWidth) return;
  FDisabledBorderWidth = std::clamp(value, 1, 3);
  ApplyMargins();
  update();
}

void TXPEdit::SetCharCase(TEditCharCase value) {
  if (value == FCharCase) return;
  FCharCase = value;
  ApplyValidator();
  // The text already there takes the new case too; the modified flag stays.
  QString converted = text();
  int pos = 0;
  FValidator->validate(converted, pos);
  if (converted == text()) return;
  const bool modified = isModified();
  setText(converted);
  setModified(modified);
}

void TXPEdit::SetNumbersOnly(bool value) {
  if (value == FNumbersOnly) return;
  FNumbersOnly = value;
  ApplyValidator();
}

void TXPEdit::SetMaxLength(int value) {
  if (value == FMaxLength) return;
  FMaxLength = value;
  // Cutting a longer text raises OnChange.
  DoSetMaxLength(value);
}

void TXPEdit::SetPasswordChar(QChar value) {
  if (value == FPasswordChar) return;
  FPasswordChar = value;
  if (value.isNull()) {
    setEchoMode(QLineEdit::Normal);
    return;
  }
  if (!FPasswordStyle) {
    FPasswordStyle = new TPasswordStyle;
    FPasswordStyle->Character = value;
    setStyle(FPasswordStyle);
  }
  FPasswordStyle->Character = value;
  setEchoMode(QLineEdit::Normal);
  setEchoMode(QLineEdit::Password);
  update();
}

int TXPEdit::GetSelStart() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }

void TXPEdit::SetSelStart(int value) { setCursorPosition(std::clamp(value, 0, int(text().size()))); }

void TXPEdit::SetSelLength(int value) {
  const int start = SelStart();
  const int end = std::clamp(start + value, 0, int(text().size()));
  setSelection(start, end - start);
}

int TXPEdit::GetSelTextBuf(char* buffer, int bufSize) const {
  if (!buffer || bufSize <= 0) return 0;
  const QByteArray text = GetSelText().toUtf8();
  const int count = WholeCharacters(text.constData(), std::min(int(text.size()), bufSize - 1));
  std::copy_n(text.constData(), count, buffer);
  buffer[count] = '\0';
  return count;
}

void TXPEdit::SetSelTextBuf(const char* buffer, int bufSize) {
  int length = 0;
  if (buffer)
    while (length < bufSize && buffer[length] != '\0') ++length;
  SetSelText(QString::fromUtf8(buffer, WholeCharacters(buffer, length)));
}

void TXPEdit::ClearSelection() {
  // The line edit's own delete would take the character after the caret.
  if (hasSelectedText() && !isReadOnly()) del();
}

void TXPEdit::ClearUndo() {
  // Setting the text afresh empties the undo history; nothing else changes.
  const bool modified = isModified();
  const int start = SelStart(), length = SelLength();
  const bool quiet = blockSignals(true);
  setText(text());
  blockSignals(quiet);
  setSelection(start, length);
  setModified(modified);
}

QSize TXPEdit::sizeHint() const { return QSize(121, fontMetrics().height() + 8); }

QSize TXPEdit::minimumSizeHint() const {
  return QSize(QLineEdit::minimumSizeHint().width(), fontMetrics().height() + 8);
}

void TXPEdit::paintEvent(QPaintEvent* event) {
  const QColor back = ToQColor(FColor);
  {
    QPainter painter(this);
    painter.fillRect(rect(), back);
  }
  QLineEdit::paintEvent(event);
  QPainter painter(this);
  const bool enabled = isEnabled();
  const TColor border = enabled ? FEnabledBorderColor : FDisabledBorderColor;
  QRect ring = rect();
  Frame3D(painter, ring, border, border, enabled ? FEnabledBorderWidth : FDisabledBorderWidth);
  Frame3D(painter, ring, FColor, FColor, 1);
}

void TXPEdit::Frame3D(QPainter& canvas, QRect& rect, TColor top, TColor bottom, int width) {
  const QColor upper = ToQColor(top), lower = ToQColor(bottom);
  for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
    DrawRing(canvas, rect, upper, lower, rcBottomEdge);
    rect.adjust(1, 1, -1, -1);
  }
}

void TXPEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // Entering from the keyboard, from code or by a press of any button but
  // the left one selects everything (so the context menu can copy it at
  // once); a left click places the caret, and coming back to the window or
  // from a popup keeps the selection.
  switch (event->reason()) {
    case Qt::MouseFocusReason:
      if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        selectAll();
        // The middle click that follows would paste over what it selected;
        // an empty box has nothing to lose and takes the paste.
        FMiddleEntered = (QGuiApplication::mouseButtons() & Qt::MiddleButton) && hasSelectedText();
      }
      break;
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason: selectAll(); break;
    default: break;
  }
}

void TXPEdit::mousePressEvent(QMouseEvent* event) {
  // The middle press that brought the focus has selected the text: it
  // neither moves the caret nor, on its release, pastes over the selection.
  if (FMiddleEntered && event->button() == Qt::MiddleButton) {
    event->accept();
    return;
  }
  FMiddleEntered = false;
  QLineEdit::mousePressEvent(event);
}

void TXPEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (FMiddleEntered && event->button() == Qt::MiddleButton) {
    FMiddleEntered = false;
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void TXPEdit::enterEvent(QEnterEvent* event) {
  QLineEdit::enterEvent(event);
  emit OnMouseEnter();
}

void TXPEdit::leaveEvent(QEvent* event) {
  QLineEdit::leaveEvent(event);
  emit OnMouseLeave();
}

void TXPEdit::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    ApplyMargins();
    update();
  }
}
