// A mixer for the application's tests: bounds of our choosing, and a record of every line
// selected and every volume set.
#pragma once

#include <memory>
#include <vector>

#include "sys_volume.h"

namespace kivo {

struct FakeMixerLog {
    uint32_t maximum = 65535;
    uint32_t minimum = 0;
    std::vector<uint32_t> lines;
    std::vector<std::vector<uint32_t>> volumes;
};

class FakeMixer : public runtime::VolumeMixer {
public:
    explicit FakeMixer(std::shared_ptr<FakeMixerLog> log) : log_(std::move(log)) {}
    int selectLine(uint32_t code) override {
        log_->lines.push_back(code);
        selected_ = log_->maximum > 0;
        return selected_ ? 1 : 0;
    }
    uint32_t minimum() const override { return selected_ ? log_->minimum : 0; }
    uint32_t maximum() const override { return selected_ ? log_->maximum : 0; }
    int setVolume(const std::vector<uint32_t>& values) override {
        if (!selected_) return 0;
        log_->volumes.push_back(values);
        return 1;
    }

private:
    std::shared_ptr<FakeMixerLog> log_;
    bool selected_ = false;
};

// Installed before the application is built, so its accessor gets the fake; a test base class
// listed before AppTest.
class FakeMixerInstalled {
protected:
    FakeMixerInstalled() {
        runtime::setVolumeMixerFactory([log = mixer_] { return std::make_unique<FakeMixer>(log); });
    }
    ~FakeMixerInstalled() { runtime::setVolumeMixerFactory(nullptr); }

    std::shared_ptr<FakeMixerLog> mixer_ = std::make_shared<FakeMixerLog>();
};

}  // namespace kivo
