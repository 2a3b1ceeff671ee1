#include "flush_window_system.h"

#include <QGuiApplication>

#ifdef KIVO_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace kivo::runtime {

void flushWindowSystem() {
#ifdef KIVO_HAVE_XCB
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform answers too, without a connection.
    if (x11 != nullptr && x11->connection() != nullptr) xcb_flush(x11->connection());
#endif
}

}  // namespace kivo::runtime
