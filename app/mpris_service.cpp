#include "mpris_service.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEvent>

#include "kivo.h"
#include "mpris_player.h"
#include "mpris_root.h"
#include "single_instance.h"
#include "song_info.h"

namespace kivo {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.kivo");
constexpr int kAnnounceDelayMs = 50;

}  // namespace

MprisService::MprisService(Kivo& kivo) : player_(new MprisPlayer(kivo, this)) {
    new MprisRoot(kivo, this);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kObjectPath, this)) return;
    // A second player on the same bus (a copy under another name) takes a name of its own.
    if (!bus.registerService(kServiceName)) {
        bus.registerService(kServiceName + ".instance" + QString::number(::getpid()));
    }
    announced_ = shownProperties();
    announcement_.setSingleShot(true);
    announcement_.setInterval(kAnnounceDelayMs);
    connect(&announcement_, &QTimer::timeout, this, &MprisService::announceChanges);
    // The user's clicks and keys, the engine's progress and the calls from the bus are what
    // change the player.
    QCoreApplication::instance()->installEventFilter(this);
    connect(player_, &MprisPlayer::called, &announcement_, qOverload<>(&QTimer::start));
    connect(&kivo.songInfo(), &SongInfo::ready, &announcement_, qOverload<>(&QTimer::start));
    MainWindow& window = kivo.mainWindow();
    connect(window.nowPlayingLabel, &runtime::Label::progress, &announcement_,
            qOverload<>(&QTimer::start));
    connect(window.volumeSlider, &runtime::SuperBar::positionChanged, &announcement_,
            qOverload<>(&QTimer::start));
    connect(&kivo.instanceChannel(), &InstanceChannel::filesHandedOver, &announcement_,
            qOverload<>(&QTimer::start));
}

bool MprisService::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonRelease:
        case QEvent::KeyRelease:
        case QEvent::Drop:
            announcement_.start();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

QVariantMap MprisService::shownProperties() {
    return {{"PlaybackStatus", player_->playbackStatus()},
            {"Metadata", player_->metadata()},
            {"Volume", player_->volume()},
            {"CanGoNext", player_->canGoNext()},
            {"CanGoPrevious", player_->canGoPrevious()},
            {"CanPlay", player_->hasSongs()},
            {"CanPause", player_->hasSongs()},
            {"CanSeek", player_->canSeek()}};
}

void MprisService::announceChanges() {
    const QVariantMap now = shownProperties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    }
    announced_ = now;
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace kivo
