#include <cstdlib>
#include <mutex>
#include <utility>

#include "device/device_backends.h"

namespace kivo::device {

namespace {

std::mutex factoryMutex;
DeviceFactory installedFactory;

bool startsWith(const std::string& s, const char* prefix, std::string* rest) {
    const std::string p(prefix);
    if (s.compare(0, p.size(), p) != 0) return false;
    *rest = s.substr(p.size());
    return true;
}

}  // namespace

std::unique_ptr<WaveOutDevice> createDevice(const std::string& spec) {
    std::string rest;
#ifdef _WIN32
    if (spec == "default" || spec == "waveout") return createWaveOutDevice();
    if (startsWith(spec, "waveout:", &rest)) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(rest.c_str(), &end, 10);
        if (rest.empty() || *end != '\0' || id >= kWaveMapper) return nullptr;
        return createWaveOutDevice(static_cast<uint32_t>(id));
    }
#else
    if (spec == "default")
        return soundServerAnswers() ? createPulseDevice() : createAlsaDevice("default");
    if (spec == "pulse") return createPulseDevice();
    if (spec == "alsa") return createAlsaDevice("default");
    if (startsWith(spec, "alsa:", &rest)) {
        return rest.empty() ? nullptr : createAlsaDevice(rest);
    }
#endif
    if (startsWith(spec, "wav:", &rest)) return rest.empty() ? nullptr : createWavDevice(rest);
    if (spec == "null") {
        VirtualDeviceOptions options;
        options.recordPcm = false;
        return createVirtualDevice(std::move(options));
    }
    // "virtual" plays in real time, "virtual:N" N times as fast, "virtual:0" unpaced.
    if (spec == "virtual") return createVirtualDevice({});
    if (startsWith(spec, "virtual:", &rest)) {
        char* end = nullptr;
        const double speed = std::strtod(rest.c_str(), &end);
        if (rest.empty() || *end != '\0' || !(speed >= 0)) return nullptr;
        VirtualDeviceOptions options;
        options.speed = speed;
        return createVirtualDevice(std::move(options));
    }
    return nullptr;
}

void setDeviceFactory(DeviceFactory factory) {
    std::lock_guard lock(factoryMutex);
    installedFactory = std::move(factory);
}

std::unique_ptr<WaveOutDevice> createDefaultDevice() {
    DeviceFactory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = installedFactory;
    }
    if (factory) return factory();
    return createDevice("default");
}

}  // namespace kivo::device
