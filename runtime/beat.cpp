#include "beat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaMethod>
#include <QPointer>

namespace kivo::runtime {

Beat::Beat(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kMs);
    connect(&timer_, &QTimer::timeout, this, &Beat::onTimer);
}

Beat& Beat::instance() {
    static QPointer<Beat> beat;
    if (!beat) beat = new Beat(QCoreApplication::instance());
    return *beat;
}

void Beat::connectNotify(const QMetaMethod& signal) {
    if (signal == QMetaMethod::fromSignal(&Beat::tick) && !timer_.isActive()) timer_.start();
}

void Beat::onTimer() {
    // Nobody left to step: the thread sleeps until somebody listens again.
    if (!isSignalConnected(QMetaMethod::fromSignal(&Beat::tick))) {
        timer_.stop();
        return;
    }
    emit tick();
}

void pumpingWaitOnBeat(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QElapsedTimer waited;
    waited.start();
    // Ends on the tick nearest to `ms` from now, and not before the first.
    QObject::connect(&Beat::instance(), &Beat::tick, &loop, [&] {
        if (waited.elapsed() + Beat::kMs / 2 >= ms) loop.quit();
    });
    loop.exec();
}

}  // namespace kivo::runtime
