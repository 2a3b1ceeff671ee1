// The invisible accessor of the speakers' master volume. The mixer itself sits behind
// VolumeMixer; until a platform mixer is installed, a mixer without lines stands in (bounds 0,
// every set fails).
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kivo::runtime {

class VolumeMixer {
public:
    virtual ~VolumeMixer() = default;
    // 1 both the volume and the mute control found, 0 neither, -1 only mute, -2 only volume.
    virtual int selectLine(uint32_t componentCode) = 0;
    virtual uint32_t minimum() const = 0;
    virtual uint32_t maximum() const = 0;
    // One value per channel given; further channels get the last value. 1 success, 0 failure.
    virtual int setVolume(const std::vector<uint32_t>& values) = 0;
};

// Which mixer new accessors get.
using VolumeMixerFactory = std::function<std::unique_ptr<VolumeMixer>()>;
void setVolumeMixerFactory(VolumeMixerFactory factory);

class SysVolume : public QObject {
    Q_OBJECT
public:
    explicit SysVolume(QObject* parent = nullptr);
    ~SysVolume() override;

    static constexpr uint32_t kSpeakers = 4;
    int selectLine(uint32_t componentCode);
    uint32_t minimum() const;
    uint32_t maximum() const;
    int setVolume(uint32_t left, uint32_t right);

private:
    std::unique_ptr<VolumeMixer> mixer_;
};

}  // namespace kivo::runtime
