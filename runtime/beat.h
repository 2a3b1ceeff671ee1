// The beat that what moves in the windows steps on: one tick every 100 ms on the window
// thread, while anything listens. Pictures that change on the same tick are repainted
// together, so a turning disc and the status beside it wake the window once, not twice.
#pragma once

#include <QObject>
#include <QTimer>

namespace kivo::runtime {

class Beat : public QObject {
    Q_OBJECT
public:
    static constexpr int kMs = 100;

    // The window thread's beat; it ticks only while a slot is connected to tick().
    static Beat& instance();

signals:
    void tick();

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    explicit Beat(QObject* parent);
    void onTimer();

    QTimer timer_;
};

// Waits like pumpingWait, for about `ms` rounded to whole beats, and returns on a tick.
void pumpingWaitOnBeat(int ms);

}  // namespace kivo::runtime
