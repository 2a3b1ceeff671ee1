#include "edit_box.h"

#include <QFocusEvent>

#include "colour.h"
#include "qt_text.h"

namespace kivo::runtime {

EditBox::EditBox(QWidget* parent) : QLineEdit(parent) {
    // textChanged, unlike textEdited, also follows writes by the program, as typing does.
    connect(this, &QLineEdit::textChanged, this, &EditBox::contentChanged);
}

std::string EditBox::content() const {
    return fromQString(text());
}

void EditBox::setContent(std::string_view text) {
    setText(toQString(text));
}

void EditBox::setTextColour(uint32_t bgr) {
    setPaletteColour(*this, QPalette::Text, bgr);
}

// A pop-up (a menu, a drop-down) takes the keyboard only for a moment; the field keeps the
// focus as far as the application is concerned.
void EditBox::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    if (e->reason() != Qt::PopupFocusReason) emit gotFocus();
}

void EditBox::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    if (e->reason() != Qt::PopupFocusReason) emit lostFocus();
}

}  // namespace kivo::runtime
