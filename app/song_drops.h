// Files and folders dragged from the file manager onto the song list are added to the current
// playlist.
#pragma once

#include <QObject>

namespace kivo {

class Kivo;

class SongDrops : public QObject {
public:
    // Lets the song list of `kivo`'s main window take drops; lives as long as the list.
    explicit SongDrops(Kivo& kivo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Kivo& kivo_;
};

}  // namespace kivo
