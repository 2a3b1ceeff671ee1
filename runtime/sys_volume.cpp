#include "sys_volume.h"

namespace kivo::runtime {

namespace {

// A system without a mixer: no line is found and nothing can be set.
class NoMixer : public VolumeMixer {
public:
    int selectLine(uint32_t) override { return 0; }
    uint32_t minimum() const override { return 0; }
    uint32_t maximum() const override { return 0; }
    int setVolume(const std::vector<uint32_t>&) override { return 0; }
};

VolumeMixerFactory& mixerFactory() {
    static VolumeMixerFactory factory;
    return factory;
}

}  // namespace

void setVolumeMixerFactory(VolumeMixerFactory factory) {
    mixerFactory() = std::move(factory);
}

SysVolume::SysVolume(QObject* parent) : QObject(parent) {
    if (mixerFactory()) mixer_ = mixerFactory()();
    if (!mixer_) mixer_ = std::make_unique<NoMixer>();
}

SysVolume::~SysVolume() = default;

int SysVolume::selectLine(uint32_t componentCode) {
    return mixer_->selectLine(componentCode);
}

uint32_t SysVolume::minimum() const {
    return mixer_->minimum();
}

uint32_t SysVolume::maximum() const {
    return mixer_->maximum();
}

int SysVolume::setVolume(uint32_t left, uint32_t right) {
    return mixer_->setVolume({left, right});
}

}  // namespace kivo::runtime
