#include "label.h"

#include "colour.h"
#include "notify_windows_qt.h"
#include "qt_text.h"

namespace kivo::runtime {

Label::Label(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void Label::setCaption(std::string_view caption) {
    caption_ = caption;
    setText(toQString(caption));
}

void Label::setTextColour(uint32_t bgr) {
    setPaletteColour(*this, QPalette::WindowText, bgr);
}

bool Label::event(QEvent* e) {
    if (e->type() == NotifyEvent::eventType()) {
        auto* n = static_cast<NotifyEvent*>(e);
        if (n->message == WM_PLAYPROGRESS) emit progress(static_cast<int>(n->wParam));
        if (n->message == WM_PLAYFAILED) emit playFailed(static_cast<int>(n->wParam));
        return true;
    }
    return QLabel::event(e);
}

}  // namespace kivo::runtime
