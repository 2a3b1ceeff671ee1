#include "song_drops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <string>
#include <vector>

#include "kivo.h"
#include "outside_songs.h"

namespace kivo {

namespace {

std::vector<std::string> localPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

}  // namespace

SongDrops::SongDrops(Kivo& kivo) : QObject(kivo.mainWindow().songList), kivo_(kivo) {
    QWidget* viewport = kivo.mainWindow().songList->viewport();
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

bool SongDrops::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (localPaths(drag->mimeData()).empty()) {
                drag->ignore();
            } else {
                drag->acceptProposedAction();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> paths = localPaths(drop->mimeData());
            if (paths.empty()) return true;
            drop->acceptProposedAction();
            // Added once the drop has ended: a folder scan lets events run, and the file
            // manager waits for the drop's answer.
            QTimer::singleShot(0, this, [this, paths] { addOutsideSongs(kivo_, paths); });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace kivo
