#include "pumping_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace kivo::runtime {

void pumpingWait(int ms) {
    if (ms <= 0) return;
    // A nested loop handles every event of the thread and sleeps while there is none.
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void processPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace kivo::runtime
