// The desktop's media controls (MPRIS 2, org.mpris.MediaPlayer2.Player): media keys and media
// widgets reach the player here. Every call does what the matching control of the main window
// does, the companion's message included; the properties read the window's own state.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>
#include <cstdint>
#include <string>

namespace kivo {

class Kivo;

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ hasSongs)
    Q_PROPERTY(bool CanPause READ hasSongs)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)

public:
    MprisPlayer(Kivo& kivo, QObject* holder);

    QString playbackStatus() const;
    // The player plays at its own speed only.
    double rate() const { return 1.0; }
    void setRate(double) {}
    // The current song: its track id, title (the file name without its extension until its
    // tags are read), artist, album, track, year, length and location.
    QVariantMap metadata();
    // The volume panel's slider, 0 to 1.
    double volume() const;
    void setVolume(double volume);
    // Microseconds into the current song, to the whole percent the progress bar shows.
    qlonglong position();
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool hasSongs() const;
    bool canSeek();
    bool canControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
    void OpenUri(const QString& Uri);

signals:
    void Seeked(qlonglong Position);
    // A call has changed what the player does.
    void called();

private:
    std::string currentSong() const;
    int64_t lengthOf(const std::string& song);
    // Goes to `percent` of the current song as the progress bar does.
    void seekToPercent(int percent);

    Kivo& kivo_;
    std::string measuredSong_;
    int64_t measuredLength_ = 0;
};

}  // namespace kivo
