#include "edit_box.h"

#include "colour.h"

namespace kivo::runtime {

EditBox::EditBox(QWidget* parent) : QLineEdit(parent) {
    // textChanged, unlike textEdited, also follows writes by the program, as typing does.
    connect(this, &QLineEdit::textChanged, this, &EditBox::contentChanged);
}

std::string EditBox::content() const {
    return text().toUtf8().toStdString();
}

void EditBox::setContent(std::string_view text) {
    setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void EditBox::setTextColour(uint32_t bgr) {
    QPalette p = palette();
    p.setColor(QPalette::Text, colourFromBgr(bgr));
    setPalette(p);
}

void EditBox::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    emit gotFocus();
}

void EditBox::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    emit lostFocus();
}

}  // namespace kivo::runtime
