#include "template_window.h"

#include <QString>

#include "qt_text.h"
#include "skin.h"

namespace kivo {

TemplateWindow::TemplateWindow(const WindowTemplate& layout, QWidget* owner)
    : runtime::LayeredWindow(layout.colourKey, owner), controls_(*this, layout) {
    setObjectName(runtime::toQString(layout.handle));
    // The desktop shows the program's name for every window (task bar, window lists).
    setWindowTitle(QStringLiteral("Kivo-mp3播放器"));
    setGeometry(layout.x, layout.y, layout.width, layout.height);
    dressWindow(controls_);
}

}  // namespace kivo
