#include "mpris_player.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "companion_message.h"
#include "held_player.h"
#include "kivo.h"
#include "outside_songs.h"
#include "playback_control.h"
#include "song_info.h"
#include "track_length.h"

namespace kivo {

namespace {

const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// A track id stays the same for a song as long as its path does.
QDBusObjectPath trackIdOf(const std::string& song) {
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(song), QCryptographicHash::Sha1);
    return QDBusObjectPath("/io/github/kivo/Kivo/Track/t" + QString::fromLatin1(digest.toHex()));
}

}  // namespace

MprisPlayer::MprisPlayer(Kivo& kivo, QObject* holder) : QDBusAbstractAdaptor(holder), kivo_(kivo) {}

std::string MprisPlayer::currentSong() const {
    const std::string song = kivo_.mainWindow().nowPlayingLabel->caption();
    return song == kWelcomeCaption ? std::string() : song;
}

int64_t MprisPlayer::lengthOf(const std::string& song) {
    if (song != measuredSong_) {
        measuredSong_ = song;
        measuredLength_ = song.empty() ? 0 : trackLengthMicroseconds(song);
    }
    return measuredLength_;
}

QString MprisPlayer::playbackStatus() const {
    switch (kivo_.player().state()) {
        case kPlayStatePlaying:
            return QStringLiteral("Playing");
        case kPlayStatePaused:
            return QStringLiteral("Paused");
        default:
            return QStringLiteral("Stopped");
    }
}

QVariantMap MprisPlayer::metadata() {
    const std::string song = currentSong();
    if (song.empty()) return {{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(kNoTrack))}};
    const QString path = QString::fromStdString(song);
    QVariantMap data{{"mpris:trackid", QVariant::fromValue(trackIdOf(song))},
                     {"xesam:title", QFileInfo(path).completeBaseName()},
                     {"xesam:url", QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)}};
    if (const int64_t length = lengthOf(song); length > 0) {
        data.insert("mpris:length", qlonglong(length));
    }
    // The tags once read in the background; the change is announced when they come.
    if (const SongTags* tags = kivo_.songInfo().find(song)) {
        if (!tags->title.empty()) data.insert("xesam:title", QString::fromStdString(tags->title));
        if (!tags->artist.empty()) {
            data.insert("xesam:artist", QStringList{QString::fromStdString(tags->artist)});
        }
        if (!tags->album.empty()) data.insert("xesam:album", QString::fromStdString(tags->album));
        if (tags->track > 0) data.insert("xesam:trackNumber", tags->track);
        if (tags->year > 0) {
            data.insert("xesam:contentCreated",
                        QStringLiteral("%1-01-01").arg(tags->year, 4, 10, QChar('0')));
        }
    }
    return data;
}

double MprisPlayer::volume() const {
    const runtime::SuperBar& slider = *kivo_.mainWindow().volumeSlider;
    return slider.maximum() > 0 ? double(slider.position()) / slider.maximum() : 0.0;
}

void MprisPlayer::setVolume(double volume) {
    runtime::SuperBar& slider = *kivo_.mainWindow().volumeSlider;
    // The slider's own handler sets the speakers and tells the user.
    slider.setPosition(int(std::lround(std::clamp(volume, 0.0, 1.0) * slider.maximum())));
    emit called();
}

qlonglong MprisPlayer::position() {
    if (kivo_.player().state() == kPlayStateIdle) return 0;
    return lengthOf(currentSong()) * kivo_.mainWindow().progressBar->position() / 100;
}

bool MprisPlayer::canGoNext() const {
    const runtime::ListBox& list = *kivo_.mainWindow().songList;
    return list.itemCount() > 0 && list.caretIndex() != list.itemCount() - 1;
}

bool MprisPlayer::canGoPrevious() const {
    const runtime::ListBox& list = *kivo_.mainWindow().songList;
    return list.itemCount() > 0 && list.current() != 0;
}

bool MprisPlayer::hasSongs() const {
    return kivo_.mainWindow().songList->itemCount() > 0;
}

bool MprisPlayer::canSeek() {
    return lengthOf(currentSong()) > 0;
}

void MprisPlayer::Next() {
    nextSong(kivo_);
    emit called();
}

void MprisPlayer::Previous() {
    previousSong(kivo_);
    emit called();
}

void MprisPlayer::Pause() {
    if (kivo_.player().state() == kPlayStatePlaying) PlayPause();
}

void MprisPlayer::PlayPause() {
    playPauseToggle(kivo_);
    emit called();
}

void MprisPlayer::Play() {
    if (kivo_.player().state() != kPlayStatePlaying) PlayPause();
}

void MprisPlayer::Stop() {
    if (kivo_.player().state() == kPlayStateIdle) return;
    MainWindow& window = kivo_.mainWindow();
    playRequest(kivo_, "");  // removes the player: the next play starts from the beginning
    setStoppedPictures(window);
    setPlayLook(window);
    window.percentLabel->setCaption("0%");
    window.progressBar->setPosition(0);
    showCompanionMessage(kivo_, "亲！您已停止播放\r\n\r\n【" + selectedSong(window) +
                                    "】\r\n\r\n请再次点击按钮就可以从头播放哦！嘻嘻~~~~~");
    emit called();
}

void MprisPlayer::seekToPercent(int percent) {
    MainWindow& window = kivo_.mainWindow();
    switch (kivo_.player().state()) {
        case kPlayStatePlaying:
            quickPlay(kivo_, percent - window.progressBar->position());
            break;
        case kPlayStatePaused:
            // Continuing starts from where the bar stands.
            window.progressBar->setPosition(percent);
            break;
        default:
            return;
    }
    emit Seeked(position());
    emit called();
}

void MprisPlayer::Seek(qlonglong Offset) {
    const int64_t length = lengthOf(currentSong());
    if (length <= 0) return;
    const int64_t target = std::max<int64_t>(0, position() + Offset);
    // Past the end is the next song, as the desktop expects.
    if (target >= length) return Next();
    seekToPercent(int(target * 100 / length));
}

void MprisPlayer::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    const std::string song = currentSong();
    const int64_t length = lengthOf(song);
    if (song.empty() || TrackId != trackIdOf(song) || Position < 0 || Position > length) return;
    seekToPercent(int(Position * 100 / length));
}

void MprisPlayer::OpenUri(const QString& Uri) {
    const QUrl url(Uri);
    if (!url.isLocalFile()) return;
    openOutsideSongs(kivo_, {url.toLocalFile().toStdString()});
    emit called();
}

}  // namespace kivo
