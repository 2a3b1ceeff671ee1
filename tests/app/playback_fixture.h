// A player application that really plays: the engine's progress reaches the window, and every
// song goes to a virtual sound device of its own whose log the test reads. Songs are copies
// of the short stream fixtures, each of its own sampling rate, so a device's format tells
// which song it played.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "device/device_backends.h"
#include "notify_windows_qt.h"
#include "random_range.h"
#include "skin.h"

namespace kivo {

// The three songs and their sampling rates.
inline constexpr int kRateA = 44100;  // about 2 s, stereo
inline constexpr int kRateB = 22050;  // mono
inline constexpr int kRateC = 11025;  // MPEG 2.5

class PlaybackTest : public AppTest {
protected:
    PlaybackTest() {
        device::setDeviceFactory([this] {
            auto log = std::make_shared<device::VirtualDeviceLog>();
            device::VirtualDeviceOptions options;
            {
                std::lock_guard lock(mutex_);
                logs_.push_back(log);
                options.speed = speed_;
                options.refuseOpen = refuseOpen_;
                options.lostAfterBytes = std::exchange(loseNextDeviceAfter_, 0);
            }
            options.log = log;
            return device::createVirtualDevice(options);
        });
        std::filesystem::create_directories(songFolder_);
    }
    ~PlaybackTest() override {
        kivo_->player().remove();
        device::setDeviceFactory(nullptr);
    }

    // 1 plays in real time, 0 as fast as the engine decodes.
    void setSpeed(double speed) {
        std::lock_guard lock(mutex_);
        speed_ = speed;
    }
    // Every sound device refuses to open, as on a machine without one.
    void refuseSoundDevices() {
        std::lock_guard lock(mutex_);
        refuseOpen_ = true;
    }
    // The next device opened is lost once it has played `bytes`, as when the sound server dies.
    void loseNextDeviceAfter(uint64_t bytes) {
        std::lock_guard lock(mutex_);
        loseNextDeviceAfter_ = bytes;
    }

    // A copy of fixture song 'A', 'B' or 'C' under `name` in `folder` (the song folder unless
    // given); returns its path.
    std::string song(char which, const std::string& name, std::string folder = {}) {
        static const char* const kSources[] = {"l3_128_joint.mp3", "l3_mpeg2_22k_mono_64.mp3",
                                               "l3_mpeg25_11k_32.mp3"};
        if (folder.empty()) folder = songFolder_;
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/" + name;
        std::filesystem::copy_file(
            std::string(KIVO_TEST_DATA) + "/streams/" + kSources[which - 'A'], path,
            std::filesystem::copy_options::overwrite_existing);
        return path;
    }

    // Fills the song list without touching a playlist file.
    void showSongs(const std::vector<std::string>& paths) {
        window().songList->removeAll();
        for (const std::string& path : paths) window().songList->addItem(path);
    }

    // The sampling rates of the devices that played something, in the order they were opened;
    // the start-up sound's 24 kHz is left out.
    std::vector<int> playedRates() const {
        std::lock_guard lock(mutex_);
        std::vector<int> rates;
        for (const auto& log : logs_) {
            const int rate = log->format().sampleRate;
            if (log->pcmBytes() != 0 && rate != 24000) rates.push_back(rate);
        }
        return rates;
    }
    std::shared_ptr<device::VirtualDeviceLog> lastLog() const {
        std::lock_guard lock(mutex_);
        return logs_.empty() ? nullptr : logs_.back();
    }
    size_t deviceCount() const {
        std::lock_guard lock(mutex_);
        return logs_.size();
    }

    // Whether a device after the first `devicesBefore` plays a song of that sampling rate.
    // (A player removed meanwhile may have opened a device of its own just before.)
    bool playsAfter(size_t devicesBefore, int rate) {
        return waitUntil([&] {
            std::lock_guard lock(mutex_);
            for (size_t i = devicesBefore; i < logs_.size(); ++i) {
                if (logs_[i]->pcmBytes() != 0 && logs_[i]->format().sampleRate == rate) return true;
            }
            return false;
        });
    }

    // Handles the window's events until `done` holds; false after `limitMs`.
    static bool waitUntil(const std::function<bool()>& done, int limitMs = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > limitMs) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return true;
    }

    void doubleClick(int index) {
        window().songList->setCurrent(index);
        emit window().songList->doubleClicked();
    }
    bool showsPlayLook() {
        return window().playButton->caption() == "播放" &&
               window().playButton->normalPicture() == skinPicture("playButton-play.gif");
    }

    // The engine's progress event as the label receives it.
    void progress(int percent) { emit window().nowPlayingLabel->progress(percent); }

    int state() { return kivo_->player().state(); }

    std::unique_ptr<runtime::QtNotifyWindows, void (*)(runtime::QtNotifyWindows*)> notify_ =
        runtime::installNotifyWindows();
    std::string songFolder_ = folder_.path() + "/songs";

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<device::VirtualDeviceLog>> logs_;
    double speed_ = 0;
    bool refuseOpen_ = false;
    uint64_t loseNextDeviceAfter_ = 0;
};

// What the engine posts to a label, in the order it is delivered, with the thread it is
// delivered on. Seen before the label handles it, so nested handling does not reorder it.
class ProgressRecorder : public QObject {
public:
    explicit ProgressRecorder(QObject* label) : label_(label) { label->installEventFilter(this); }
    ~ProgressRecorder() override { label_->removeEventFilter(this); }

    std::vector<int> values;
    bool otherThread = false;
    bool ended() const { return std::find(values.begin(), values.end(), 100) != values.end(); }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == runtime::NotifyEvent::eventType()) {
            const auto* notify = static_cast<runtime::NotifyEvent*>(e);
            if (notify->message == WM_PLAYPROGRESS) {
                values.push_back(int(notify->wParam));
                otherThread |= QThread::currentThread() != label_->thread();
            }
        }
        return false;
    }

private:
    QObject* label_;
};

// Keeps the engine's progress below 100 from a label. Each progress event runs the status
// animation, whose waits handle events inside it, and events that come during a run ask for
// another: while short songs play one after another in real time, a run that starts inside a
// test's own wait returns only once the songs stop. Tests of requests and messages hold the
// progress back; the ends still come through and move the list on.
class ProgressHeldBack : public QObject {
public:
    explicit ProgressHeldBack(QObject* label) : label_(label) { label->installEventFilter(this); }
    ~ProgressHeldBack() override { label_->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != runtime::NotifyEvent::eventType()) return false;
        const auto* notify = static_cast<runtime::NotifyEvent*>(e);
        return notify->message == WM_PLAYPROGRESS && notify->wParam < 100;
    }

private:
    QObject* label_;
};

// The C library generator as the runtime draws from it, found from three of its outputs, so a
// test can foretell the next draws and count the draws made since.
class GeneratorWatch {
public:
    GeneratorWatch() {
        const uint32_t a = uint32_t(runtime::nextCrtRandom());
        const uint32_t b = uint32_t(runtime::nextCrtRandom());
        const uint32_t c = uint32_t(runtime::nextCrtRandom());
        // The output is bits 16..30 of the state: try the 17 bits it does not show.
        for (uint32_t hidden = 0; hidden < (1u << 17); ++hidden) {
            const uint32_t s = (a << 16) | (hidden & 0xFFFF) | ((hidden >> 16) << 31);
            const uint32_t t = step(s);
            if (output(t) == b && output(step(t)) == c) {
                state_ = step(t);
                found_ = true;
                break;
            }
        }
    }
    bool found() const { return found_; }
    // The output of the draw after `skip` more draws.
    int32_t upcoming(int skip = 0) const {
        uint32_t s = state_;
        for (int i = 0; i <= skip; ++i) s = step(s);
        return int32_t(output(s));
    }
    // How many draws were made since the watch was set up (or last asked); -1 if more than 64.
    // Asking draws too; the watch follows.
    int drawsSince() {
        const uint32_t a = uint32_t(runtime::nextCrtRandom());
        const uint32_t b = uint32_t(runtime::nextCrtRandom());
        uint32_t s = state_;
        for (int k = 0; k <= 64; ++k) {
            const uint32_t t = step(s);
            if (output(t) == a && output(step(t)) == b) {
                state_ = step(t);
                return k;
            }
            s = t;
        }
        return -1;
    }

private:
    static uint32_t step(uint32_t s) { return s * 214013u + 2531011u; }
    static uint32_t output(uint32_t s) { return (s >> 16) & 0x7FFF; }
    uint32_t state_ = 0;
    bool found_ = false;
};

}  // namespace kivo
