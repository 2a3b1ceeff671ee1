#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "device/virtual_device.h"
#include "files.h"
#include "play_sound.h"
#include "wave_clip.h"

namespace kivo::runtime {
namespace {

std::string le16(uint16_t v) {
    return {char(v & 0xFF), char(v >> 8)};
}
std::string le32(uint32_t v) {
    return le16(uint16_t(v)) + le16(uint16_t(v >> 16));
}

std::string chunk(const std::string& id, const std::string& body) {
    std::string c = id + le32(uint32_t(body.size())) + body;
    if (body.size() & 1) c += '\0';
    return c;
}

std::string pcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data) {
    uint16_t align = uint16_t(channels * bits / 8);
    std::string fmt =
        le16(1) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
    std::string body = "WAVE" + chunk("fmt ", fmt) + chunk("data", data);
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

std::string mp3Clip() {
    return readWholeFile(KIVO_TEST_DATA "/runtime/tone_mp3.wav");
}

// Plays through virtual devices that record into `log`, unpaced unless `speed` is given.
struct VirtualSound {
    std::shared_ptr<device::VirtualDeviceLog> log = std::make_shared<device::VirtualDeviceLog>();
    explicit VirtualSound(double speed = 0) {
        device::setDeviceFactory([log = log, speed] {
            device::VirtualDeviceOptions options;
            options.speed = speed;
            options.log = log;
            return std::make_unique<device::VirtualDevice>(options);
        });
    }
    ~VirtualSound() {
        stopSound();
        device::setDeviceFactory(nullptr);
    }
    bool waitUntilDone() {
        for (int i = 0; i < 500 && soundPlaying(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !soundPlaying();
    }
};

TEST(WaveClipTest, ReadsTheChunksOfAnMpegLayer3Clip) {
    auto wave = parseWave(mp3Clip());
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->formatTag, kWaveFormatMpegLayer3);
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->sampleRate, 24000u);
    EXPECT_EQ(wave->bytesPerSecond, 4000u);
    EXPECT_GT(wave->data.size(), 3000u);
}

TEST(WaveClipTest, TheShippedClipsDecode) {
    // The start-up sound: Layer 3 in a WAVE block, 1 channel, 24,000 Hz, 4,000 bytes/s.
    std::string startup = readWholeFile(KIVO_TEST_DATA "/../../assets/sounds/startup.wav");
    auto wave = parseWave(startup);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->formatTag, kWaveFormatMpegLayer3);
    EXPECT_EQ(wave->sampleRate, 24000u);
    EXPECT_EQ(wave->bytesPerSecond, 4000u);
    auto pcm = decodeWave(*wave);
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->format.sampleRate, 24000);
    EXPECT_GT(pcm->pcm.size(), 24000u);  // more than half a second
    auto web = parseWave(readWholeFile(KIVO_TEST_DATA "/../../assets/sounds/web.wav"));
    ASSERT_TRUE(web);
    EXPECT_TRUE(decodeWave(*web));
}

TEST(WaveClipTest, RefusesWhatIsNoWave) {
    EXPECT_FALSE(parseWave(""));
    EXPECT_FALSE(parseWave("RIFF\x04\0\0\0WAVX"));
    std::string noData =
        "RIFF" + le32(4 + 24) + "WAVE" +
        chunk("fmt ", le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16));
    EXPECT_FALSE(parseWave(noData));
    EXPECT_FALSE(playSound(noData));
    EXPECT_FALSE(playSound("not a wave at all"));
}

TEST(WaveClipTest, DataChunkLongerThanTheBlockIsCut) {
    std::string wave = pcmWave(1, 8000, 16, std::string(100, '\x01'));
    wave.replace(wave.size() - 100 - 4, 4, le32(1000000));  // the data chunk claims a megabyte
    auto parsed = parseWave(wave);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->data.size(), 100u);
}

TEST(WaveClipTest, PcmOfEveryWidthBecomesSixteenBits) {
    auto eight = decodeWave(*parseWave(pcmWave(1, 8000, 8, std::string("\x80\xFF\x00", 3))));
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->format.bitsPerSample, 16);
    EXPECT_EQ(eight->pcm, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x7F, 0x00, 0x80}));
    auto wide =
        decodeWave(*parseWave(pcmWave(2, 44100, 24, std::string("\x11\x22\x33\x44\x55\x66", 6))));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->format.channels, 2);
    EXPECT_EQ(wide->pcm, (std::vector<uint8_t>{0x22, 0x33, 0x55, 0x66}));
    EXPECT_FALSE(decodeWave(*parseWave(pcmWave(1, 8000, 16, ""))));  // nothing to play
    // A damaged rate no device takes, one that would turn negative on the way among them.
    for (uint32_t rate : {768001u, 0xFF7E1F40u}) {
        EXPECT_FALSE(decodeWave(*parseWave(pcmWave(1, rate, 8, "\x80\x80")))) << rate;
    }
}

TEST(WaveClipTest, MpegLayer3DecodesWithItsOwnDecoder) {
    auto clip = decodeWave(*parseWave(mp3Clip()));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->format.channels, 1);
    EXPECT_EQ(clip->format.sampleRate, 24000);
    size_t samples = clip->pcm.size() / 2;
    // 18000 samples were encoded; the coder adds up to a few frames of delay and padding.
    EXPECT_GE(samples, 18000u);
    EXPECT_LE(samples, 18000u + 4 * 576);
    // A 440 Hz tone at about a third of full scale: measure its level in the middle.
    double sum = 0;
    size_t counted = 0;
    for (size_t i = 4000; i < 14000; ++i, ++counted) {
        int16_t v = int16_t(clip->pcm[2 * i] | clip->pcm[2 * i + 1] << 8);
        sum += double(v) * v;
    }
    double rms = std::sqrt(sum / double(counted));
    EXPECT_NEAR(rms, 12000 / std::sqrt(2.0), 1500);
}

TEST(WaveClipTest, CutOrDamagedClipsNeverReadPastTheirBytes) {
    const std::string clip = mp3Clip();
    for (size_t cut = 0; cut < clip.size(); cut += 7) {
        // A copy of exactly `cut` bytes, so that a sanitizer sees any read beyond it.
        std::vector<char> bytes(clip.begin(), clip.begin() + std::ptrdiff_t(cut));
        auto wave = parseWave(std::string_view(bytes.data(), bytes.size()));
        if (wave) decodeWave(*wave);
    }
    uint32_t state = 12345;
    for (int round = 0; round < 20; ++round) {
        std::string damaged = clip;
        for (int i = 0; i < 40; ++i) {
            state = state * 1664525u + 1013904223u;
            size_t at = 80 + state % (damaged.size() - 80);  // inside the data chunk
            damaged[at] = char(state >> 24);
        }
        auto wave = parseWave(damaged);
        ASSERT_TRUE(wave);
        decodeWave(*wave);  // whatever comes out, it comes out safely
    }
}

TEST(PlaySoundTest, PcmClipPlaysThroughTheDeviceLayer) {
    VirtualSound sound;
    std::string data;
    for (int i = 0; i < 40000; ++i) data += le16(uint16_t(i));
    ASSERT_TRUE(playSound(pcmWave(1, 22050, 16, data)));
    ASSERT_TRUE(sound.waitUntilDone());
    EXPECT_EQ(sound.log->pcmBytes(), data.size());
    auto pcm = sound.log->pcm();
    EXPECT_EQ(std::string(pcm.begin(), pcm.end()), data);
    EXPECT_EQ(sound.log->format().sampleRate, 22050);
    EXPECT_EQ(sound.log->count("close"), 1u);
}

TEST(PlaySoundTest, MpegClipPlaysThroughTheDeviceLayer) {
    VirtualSound sound;
    std::string clip = mp3Clip();
    auto expected = decodeWave(*parseWave(clip));
    ASSERT_TRUE(expected);
    ASSERT_TRUE(playSound(clip));
    ASSERT_TRUE(sound.waitUntilDone());
    EXPECT_EQ(sound.log->pcm(), expected->pcm);
    EXPECT_EQ(sound.log->format().channels, 1);
    EXPECT_EQ(sound.log->format().sampleRate, 24000);
}

TEST(PlaySoundTest, ClipFromAFile) {
    VirtualSound sound;
    ASSERT_TRUE(playSoundFile(KIVO_TEST_DATA "/runtime/tone_mp3.wav"));
    ASSERT_TRUE(sound.waitUntilDone());
    EXPECT_GT(sound.log->pcmBytes(), 30000u);
    EXPECT_FALSE(playSoundFile(KIVO_TEST_DATA "/runtime/missing.wav"));
}

TEST(PlaySoundTest, TheCallerContinuesAtOnceAndStopEndsTheClip) {
    VirtualSound sound(1.0);  // real time: 2 s of sound
    std::string data(2 * 22050 * 2, '\x10');
    auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(playSound(pcmWave(1, 22050, 16, data)));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1500));
    EXPECT_TRUE(soundPlaying());
    for (int i = 0; i < 500 && sound.log->pcmBytes() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stopSound();
    EXPECT_FALSE(soundPlaying());
    EXPECT_GT(sound.log->pcmBytes(), 0u);
    EXPECT_LT(sound.log->pcmBytes(), data.size());
    EXPECT_EQ(sound.log->count("reset"), 1u);
    EXPECT_EQ(sound.log->count("close"), 1u);
}

TEST(PlaySoundTest, ANewClipReplacesThePlayingOne) {
    VirtualSound sound(1.0);
    std::string data(2 * 8000 * 2, '\x10');
    ASSERT_TRUE(playSound(pcmWave(1, 8000, 16, data)));
    for (int i = 0; i < 500 && sound.log->count("open") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(playSound(pcmWave(1, 8000, 16, data)));
    EXPECT_TRUE(soundPlaying());
    for (int i = 0; i < 500 && sound.log->count("open") < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stopSound();
    EXPECT_EQ(sound.log->count("open"), 2u);
    EXPECT_EQ(sound.log->count("close"), 2u);
}

// A device that never finishes a buffer and whose reset is slow until the test lets it go.
class StuckDevice : public device::WaveOutDevice {
public:
    struct Shared {
        std::mutex mutex;
        std::condition_variable cv;
        bool released = false;
        int opened = 0;
        int resetsDone = 0;
    };
    explicit StuckDevice(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    device::DeviceResult open(const device::WaveFormat&, BufferDone done) override {
        done_ = std::move(done);
        std::lock_guard lock(shared_->mutex);
        ++shared_->opened;
        shared_->cv.notify_all();
        return device::DeviceResult::Ok;
    }
    device::DeviceResult prepare(device::DeviceBuffer* b) override {
        b->prepared = true;
        return device::DeviceResult::Ok;
    }
    device::DeviceResult write(device::DeviceBuffer* b) override {
        b->queued = true;
        queued_.push_back(b);
        return device::DeviceResult::Ok;
    }
    device::DeviceResult pause() override { return device::DeviceResult::Ok; }
    device::DeviceResult restart() override { return device::DeviceResult::Ok; }
    device::DeviceResult reset() override {
        std::unique_lock lock(shared_->mutex);
        shared_->cv.wait_for(lock, std::chrono::seconds(5), [&] { return shared_->released; });
        ++shared_->resetsDone;
        lock.unlock();
        for (auto* b : queued_) {
            b->queued = false;
            done_(b);
        }
        queued_.clear();
        return device::DeviceResult::Ok;
    }
    device::DeviceResult unprepare(device::DeviceBuffer* b) override {
        b->prepared = false;
        return device::DeviceResult::Ok;
    }
    device::DeviceResult close() override { return device::DeviceResult::Ok; }

private:
    std::shared_ptr<Shared> shared_;
    BufferDone done_;
    std::vector<device::DeviceBuffer*> queued_;
};

TEST(PlaySoundTest, ANewClipDoesNotWaitForTheOldOneToStop) {
    auto shared = std::make_shared<StuckDevice::Shared>();
    device::setDeviceFactory([shared] { return std::make_unique<StuckDevice>(shared); });
    std::string clip = pcmWave(1, 8000, 16, std::string(1600, '\x10'));
    ASSERT_TRUE(playSound(clip));
    {
        std::unique_lock lock(shared->mutex);
        ASSERT_TRUE(shared->cv.wait_for(lock, std::chrono::seconds(5),
                                        [&] { return shared->opened == 1; }));
    }
    ASSERT_TRUE(playSound(clip));  // the old clip's reset hangs meanwhile
    {
        std::unique_lock lock(shared->mutex);
        EXPECT_EQ(shared->resetsDone, 0);
        // The new clip reaches its device while the old one still hangs in its reset.
        EXPECT_TRUE(shared->cv.wait_for(lock, std::chrono::seconds(5),
                                        [&] { return shared->opened == 2; }));
        EXPECT_EQ(shared->resetsDone, 0);
        shared->released = true;
    }
    shared->cv.notify_all();
    stopSound();
    EXPECT_EQ(shared->resetsDone, 2);
    device::setDeviceFactory(nullptr);
}

TEST(PlaySoundTest, NoDeviceMeansSilence) {
    device::setDeviceFactory([] {
        device::VirtualDeviceOptions options;
        options.refuseOpen = true;
        return std::make_unique<device::VirtualDevice>(options);
    });
    EXPECT_TRUE(playSound(pcmWave(1, 8000, 16, std::string(400, '\0'))));
    stopSound();
    EXPECT_FALSE(soundPlaying());
    device::setDeviceFactory(nullptr);
}

}  // namespace
}  // namespace kivo::runtime
