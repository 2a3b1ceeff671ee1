// Kivo on the session bus as org.mpris.MediaPlayer2.kivo, so that the desktop's media keys and
// media widgets control it. Tells the bus whenever what the desktop shows has changed.
#pragma once

#include <QObject>
#include <QTimer>
#include <QVariantMap>

namespace kivo {

class Kivo;
class MprisPlayer;

class MprisService : public QObject {
public:
    // Registers the player; without a session bus it stays silent.
    explicit MprisService(Kivo& kivo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVariantMap shownProperties();
    void announceChanges();

    MprisPlayer* player_;
    QVariantMap announced_;
    // Coalesces the many events of one action into one announcement.
    QTimer announcement_;
};

}  // namespace kivo
