#include "tick_timer.h"

namespace kivo::runtime {

Timer::Timer(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &Timer::tick);
}

void Timer::setIntervalMs(int ms) {
    interval_ = ms > 0 ? ms : 0;
    if (interval_ == 0) {
        timer_.stop();
    } else {
        timer_.start(interval_);
    }
}

}  // namespace kivo::runtime
