#include "mpris_root.h"

#include <QTimer>

#include "kivo.h"
#include "window_behaviours.h"

namespace kivo {

MprisRoot::MprisRoot(Kivo& kivo, QObject* holder) : QDBusAbstractAdaptor(holder), kivo_(kivo) {}

QString MprisRoot::identity() const {
    return QStringLiteral("Kivo");
}

QString MprisRoot::desktopEntry() const {
    return QStringLiteral("io.github.kivo.Kivo");
}

QStringList MprisRoot::uriSchemes() const {
    return {QStringLiteral("file")};
}

QStringList MprisRoot::mimeTypes() const {
    return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/mp3")};
}

void MprisRoot::Raise() {
    MainWindow& window = kivo_.mainWindow();
    window.showNormal();
    window.raise();
    window.activateWindow();
}

void MprisRoot::Quit() {
    // After the answer has left: the program ends at once.
    QTimer::singleShot(0, this, [this] { closeMainWindow(kivo_); });
}

}  // namespace kivo
