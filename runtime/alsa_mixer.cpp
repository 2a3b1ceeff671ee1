#include "alsa_mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <mutex>

namespace kivo::runtime {

namespace {

// The line codes the accessor knows: destinations 0..8, sources from 0x1000.
constexpr uint32_t kSpeakers = 4;
constexpr uint32_t kHeadphones = 5;
constexpr uint32_t kSourceLine = 0x1002;
constexpr uint32_t kSourceMicrophone = 0x1003;
constexpr uint32_t kSourceSynthesizer = 0x1004;
constexpr uint32_t kSourceCompactDisc = 0x1005;
constexpr uint32_t kSourceTelephone = 0x1006;
constexpr uint32_t kSourceWaveOut = 0x1008;
constexpr uint32_t kSourceAnalog = 0x100A;

constexpr uint32_t kApplicationMaximum = 65535;

// ALSA prints its errors on stderr by default; the mixer's failures are silent.
void quietErrors(const char*, int, const char*, int, const char*, ...) {}

class AlsaMixer : public VolumeMixer {
public:
    explicit AlsaMixer(std::string card) : card_(std::move(card)) {
        static std::once_flag quiet;
        std::call_once(quiet, [] { snd_lib_error_set_handler(&quietErrors); });
    }
    ~AlsaMixer() override { close(); }
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    int selectLine(uint32_t componentCode) override {
        close();
        const std::vector<std::string> names = alsaElementsFor(componentCode);
        if (names.empty() || !open()) return 0;
        // The line is the first element that has a volume; failing that, one that can mute.
        snd_mixer_elem_t* line = nullptr;
        for (const std::string& name : names) {
            snd_mixer_elem_t* element = find(name);
            if (element != nullptr && snd_mixer_selem_has_playback_volume(element)) {
                line = element;
                break;
            }
        }
        if (line == nullptr) {
            for (const std::string& name : names) {
                snd_mixer_elem_t* element = find(name);
                if (element != nullptr && snd_mixer_selem_has_playback_switch(element)) {
                    line = element;
                    break;
                }
            }
        }
        if (line == nullptr) {
            close();
            return 0;
        }
        const bool hasVolume = snd_mixer_selem_has_playback_volume(line) != 0;
        const bool hasMute = snd_mixer_selem_has_playback_switch(line) != 0;
        if (hasVolume) {
            long min = 0, max = 0;
            if (snd_mixer_selem_get_playback_volume_range(line, &min, &max) == 0 && max >= min) {
                volume_ = line;
                min_ = min;
                max_ = max;
                channels_.clear();
                for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
                    const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
                    if (snd_mixer_selem_has_playback_channel(line, channel)) {
                        channels_.push_back(channel);
                    }
                }
                if (channels_.empty()) channels_.push_back(SND_MIXER_SCHN_MONO);
            }
        }
        if (volume_ == nullptr && !hasMute) {
            close();
            return 0;
        }
        if (volume_ != nullptr && hasMute) return 1;
        return volume_ != nullptr ? -2 : -1;
    }

    uint32_t minimum() const override { return 0; }
    uint32_t maximum() const override { return volume_ != nullptr ? kApplicationMaximum : 0; }

    int setVolume(const std::vector<uint32_t>& values) override {
        if (volume_ == nullptr || values.empty()) return 0;
        // Somebody else may have changed the mixer meanwhile; take note before writing.
        snd_mixer_handle_events(mixer_);
        for (std::size_t i = 0; i < channels_.size(); ++i) {
            const uint32_t value = values[std::min(i, values.size() - 1)];
            if (snd_mixer_selem_set_playback_volume(volume_, channels_[i],
                                                    scaleToElement(value, min_, max_)) != 0) {
                return 0;
            }
        }
        return 1;
    }

private:
    bool open() {
        if (snd_mixer_open(&mixer_, 0) != 0) {
            mixer_ = nullptr;
            return false;
        }
        if (snd_mixer_attach(mixer_, card_.c_str()) != 0 ||
            snd_mixer_selem_register(mixer_, nullptr, nullptr) != 0 ||
            snd_mixer_load(mixer_) != 0) {
            close();
            return false;
        }
        return true;
    }

    void close() {
        if (mixer_ != nullptr) snd_mixer_close(mixer_);
        mixer_ = nullptr;
        volume_ = nullptr;
        min_ = max_ = 0;
        channels_.clear();
    }

    snd_mixer_elem_t* find(const std::string& name) const {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, name.c_str());
        return snd_mixer_find_selem(mixer_, id);
    }

    std::string card_;
    snd_mixer_t* mixer_ = nullptr;
    snd_mixer_elem_t* volume_ = nullptr;
    long min_ = 0;
    long max_ = 0;
    std::vector<snd_mixer_selem_channel_id_t> channels_;
};

}  // namespace

std::vector<std::string> alsaElementsFor(uint32_t componentCode) {
    switch (componentCode) {
        case kSpeakers:
            return {"Master", "Speaker", "PCM"};
        case kHeadphones:
            return {"Headphone"};
        case kSourceLine:
            return {"Line"};
        case kSourceMicrophone:
            return {"Mic"};
        case kSourceSynthesizer:
            return {"Synth"};
        case kSourceCompactDisc:
            return {"CD"};
        case kSourceTelephone:
            return {"Phone"};
        case kSourceWaveOut:
            return {"PCM"};
        case kSourceAnalog:
            return {"Aux"};
        default:
            return {};
    }
}

long scaleToElement(uint32_t value, long min, long max) {
    if (max <= min) return min;
    using Wide = unsigned __int128;
    const Wide span = Wide(max) - Wide(min);
    const Wide v = std::min(value, kApplicationMaximum);
    // Rounded to the nearest step, so 0 and 65535 reach both ends exactly.
    return long(Wide(min) + (v * span + kApplicationMaximum / 2) / kApplicationMaximum);
}

std::unique_ptr<VolumeMixer> makeAlsaMixer(const std::string& card) {
    return std::make_unique<AlsaMixer>(card);
}

void useAlsaMixer() {
    setVolumeMixerFactory([] { return makeAlsaMixer(); });
}

}  // namespace kivo::runtime
