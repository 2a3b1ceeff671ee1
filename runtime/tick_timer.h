// A periodic tick. Writing an interval restarts it; 0 stops it.
#pragma once

#include <QObject>
#include <QTimer>

namespace kivo::runtime {

class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);

    void setIntervalMs(int ms);
    int intervalMs() const { return interval_; }
    bool isRunning() const { return timer_.isActive(); }

signals:
    void tick();

private:
    QTimer timer_;
    int interval_ = 0;
};

}  // namespace kivo::runtime
