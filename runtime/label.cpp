#include "label.h"

#include "colour.h"
#include "notify_windows_qt.h"

namespace kivo::runtime {

Label::Label(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void Label::setCaption(std::string_view caption) {
    caption_ = caption;
    setText(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
}

void Label::setTextColour(uint32_t bgr) {
    setPaletteColour(*this, QPalette::WindowText, bgr);
}

bool Label::event(QEvent* e) {
    if (e->type() == NotifyEvent::eventType()) {
        auto* n = static_cast<NotifyEvent*>(e);
        if (n->message == WM_PLAYPROGRESS) emit progress(static_cast<int>(n->wParam));
        return true;
    }
    return QLabel::event(e);
}

}  // namespace kivo::runtime
