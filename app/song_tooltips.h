// Song information where the main window's controls leave room for it without changing what
// they hold: the tooltip of each song in the list and of the now-playing label (artist, title,
// album and length, with the time heard), and of the progress bar (the time heard of the
// length). Built when the user points at a control; the tags are read in the background and the
// tooltip appears once they are there.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <string>

namespace kivo {

class Kivo;

class SongTooltips : public QObject {
public:
    explicit SongTooltips(Kivo& kivo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The tooltip text for `widget`, or empty while the song's tags are being read.
    QString textFor(QObject* widget, const QPoint& at, std::string* song);
    QString timeHeard(const std::string& song);
    // Shows the tooltip that waited for the tags of `path`, when the pointer is still there.
    void tagsRead(const QString& path);

    Kivo& kivo_;
    QObject* waiting_ = nullptr;  // the control whose tooltip waits for tags
    std::string waitingSong_;
    QPoint waitingAt_;
};

}  // namespace kivo
