// The speakers' volume over the ALSA simple mixer, against the mixer of a private sound server
// (its "Master" element) reached through ALSA's default card.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "alsa_mixer.h"
#include "pulse_server.h"

namespace kivo::runtime {
namespace {

using device::test::PulseEnvironment;

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new PulseEnvironment);

constexpr uint32_t kSpeakers = 4;

// The element's volume per channel as a fresh look at the card shows it, so what was set must
// have reached the sound server.
struct ElementState {
    long min = 0, max = 0;
    std::vector<long> volumes;
};

ElementState readElement(const char* name) {
    ElementState state;
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) != 0) return state;
    if (snd_mixer_attach(mixer, "default") == 0 &&
        snd_mixer_selem_register(mixer, nullptr, nullptr) == 0 && snd_mixer_load(mixer) == 0) {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, name);
        if (snd_mixer_elem_t* element = snd_mixer_find_selem(mixer, id)) {
            snd_mixer_selem_get_playback_volume_range(element, &state.min, &state.max);
            for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
                const auto channel = snd_mixer_selem_channel_id_t(c);
                if (!snd_mixer_selem_has_playback_channel(element, channel)) continue;
                long volume = -1;
                snd_mixer_selem_get_playback_volume(element, channel, &volume);
                state.volumes.push_back(volume);
            }
        }
    }
    snd_mixer_close(mixer);
    return state;
}

class AlsaMixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PulseEnvironment::running_) {
            GTEST_SKIP() << "no sound server with a mixer: " << PulseEnvironment::server_.why();
        }
    }
    std::unique_ptr<VolumeMixer> mixer_ = makeAlsaMixer();
};

TEST_F(AlsaMixerTest, SpeakersLineIsTheMasterElementWithVolumeAndMute) {
    EXPECT_EQ(mixer_->selectLine(kSpeakers), 1);
    EXPECT_EQ(mixer_->minimum(), 0u);
    EXPECT_EQ(mixer_->maximum(), 65535u);
    const ElementState master = readElement("Master");
    ASSERT_EQ(master.volumes.size(), 2u) << "the null sink is stereo";
}

TEST_F(AlsaMixerTest, ValuesAreScaledToTheElementsRangePerChannel) {
    ASSERT_EQ(mixer_->selectLine(kSpeakers), 1);
    ASSERT_EQ(mixer_->setVolume({32767, 32767}), 1);
    ElementState master = readElement("Master");
    ASSERT_EQ(master.volumes.size(), 2u);
    const long half = scaleToElement(32767, master.min, master.max);
    EXPECT_NEAR(double(half - master.min) / double(master.max - master.min), 0.5, 0.001);
    EXPECT_EQ(master.volumes, (std::vector<long>{half, half}));

    ASSERT_EQ(mixer_->setVolume({0, 65535}), 1);
    EXPECT_EQ(readElement("Master").volumes, (std::vector<long>{master.min, master.max}));
    // One value given: every channel takes it.
    ASSERT_EQ(mixer_->setVolume({65535}), 1);
    EXPECT_EQ(readElement("Master").volumes, (std::vector<long>{master.max, master.max}));
    ASSERT_EQ(mixer_->setVolume({0, 0}), 1);
    EXPECT_EQ(readElement("Master").volumes, (std::vector<long>{master.min, master.min}));
}

TEST_F(AlsaMixerTest, CodesWithoutAnElementFailSilentlyAndCloseTheLine) {
    ASSERT_EQ(mixer_->selectLine(kSpeakers), 1);
    ASSERT_EQ(mixer_->setVolume({40000, 40000}), 1);
    const ElementState before = readElement("Master");
    // The PC speaker source has no counterpart; the sound server's card has no microphone
    // playback element; 0x1234 is no line code at all.
    for (uint32_t code : {0x1007u, 0x1003u, 0x1234u, 0u}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(mixer_->selectLine(code), 0);
        EXPECT_EQ(mixer_->minimum(), 0u);
        EXPECT_EQ(mixer_->maximum(), 0u);
        EXPECT_EQ(mixer_->setVolume({1000, 1000}), 0);
    }
    EXPECT_EQ(readElement("Master").volumes, before.volumes) << "nothing may have been set";
}

TEST(AlsaMixerWithoutCard, EverythingFailsWithBoundsZero) {
    std::unique_ptr<VolumeMixer> mixer = makeAlsaMixer("hw:97");
    EXPECT_EQ(mixer->selectLine(kSpeakers), 0);
    EXPECT_EQ(mixer->minimum(), 0u);
    EXPECT_EQ(mixer->maximum(), 0u);
    EXPECT_EQ(mixer->setVolume({32767, 32767}), 0);
    // Setting before any line was selected fails the same way.
    EXPECT_EQ(makeAlsaMixer()->setVolume({1}), 0);
}

TEST(AlsaMixerScale, BothEndsAreReachedAndNothingOverflows) {
    EXPECT_EQ(scaleToElement(0, 0, 65536), 0);
    EXPECT_EQ(scaleToElement(65535, 0, 65536), 65536);
    EXPECT_EQ(scaleToElement(32767, 0, 65536), 32767);  // 32767.4999...
    EXPECT_EQ(scaleToElement(32768, 0, 65536), 32769);
    EXPECT_EQ(scaleToElement(65535, 0, 31), 31);
    EXPECT_EQ(scaleToElement(32767, 0, 31), 15);
    EXPECT_EQ(scaleToElement(32768, 0, 31), 16);
    // Ranges below zero, as some cards give them.
    EXPECT_EQ(scaleToElement(0, -10239, 400), -10239);
    EXPECT_EQ(scaleToElement(65535, -10239, 400), 400);
    // Values above the application's range count as its maximum.
    EXPECT_EQ(scaleToElement(0xFFFFFFFFu, 0, 100), 100);
    // A range of one value, or an upside-down one, gives its minimum.
    EXPECT_EQ(scaleToElement(30000, 7, 7), 7);
    EXPECT_EQ(scaleToElement(30000, 9, 3), 9);
    EXPECT_EQ(scaleToElement(65535, LONG_MIN, LONG_MAX), LONG_MAX);
    EXPECT_EQ(scaleToElement(0, LONG_MIN, LONG_MAX), LONG_MIN);
}

}  // namespace
}  // namespace kivo::runtime
