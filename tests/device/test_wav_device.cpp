#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "device/device_backends.h"
#include "device_test_support.h"

namespace kivo::device {
namespace {

using test::BufferSet;
using test::makeSignal;

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t get16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WavDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kivo-wav-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Plays `pcm` through a device and returns once the device is closed.
    static void play(WaveOutDevice& device, const WaveFormat& format,
                     const std::vector<uint8_t>& pcm) {
        BufferSet buffers(pcm, 4608);
        ASSERT_EQ(device.open(format, buffers.callback()), DeviceResult::Ok);
        ASSERT_TRUE(buffers.queueAll(device));
        ASSERT_TRUE(buffers.waitDone(buffers.size()));
        EXPECT_EQ(buffers.done(), buffers.inOrder());
        ASSERT_EQ(device.close(), DeviceResult::Ok);
    }

    std::filesystem::path dir_;
};

TEST_F(WavDeviceTest, FileHoldsExactlyThePlayedPcmUnderACompleteHeader) {
    const auto path = dir_ / "out.wav";
    const auto pcm = makeSignal(22050 + 7, 1);
    auto device = createWavDevice(path.string());
    play(*device, {1, 22050, 16}, pcm);

    const auto file = readFile(path);
    ASSERT_EQ(file.size(), 44 + pcm.size());
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(get32(file, 4), 36 + pcm.size());
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(get32(file, 16), 16u);
    EXPECT_EQ(get16(file, 20), 1);  // PCM
    EXPECT_EQ(get16(file, 22), 1);
    EXPECT_EQ(get32(file, 24), 22050u);
    EXPECT_EQ(get32(file, 28), 44100u);
    EXPECT_EQ(get16(file, 32), 2);
    EXPECT_EQ(get16(file, 34), 16);
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    EXPECT_EQ(get32(file, 40), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), file.begin() + 44));
}

TEST_F(WavDeviceTest, SuccessiveDevicesOverOneWriterAddSongAfterSong) {
    const auto path = dir_ / "list.wav";
    auto writer = std::make_shared<WavWriter>(path.string());
    const auto first = makeSignal(3000, 2);
    const auto second = makeSignal(5000, 2);
    play(*createWavDevice(writer), {2, 44100, 16}, first);
    play(*createWavDevice(writer), {2, 44100, 16}, second);
    // The header is complete after every close, before the writer goes away.
    auto file = readFile(path);
    ASSERT_EQ(file.size(), 44 + first.size() + second.size());
    EXPECT_EQ(get32(file, 40), first.size() + second.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), file.begin() + 44));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), file.begin() + 44 + first.size()));

    // One file has one format: a song in another format is refused, and the file is kept.
    auto other = createWavDevice(writer);
    EXPECT_EQ(other->open({1, 22050, 16}, nullptr), DeviceResult::Error);
    other.reset();
    writer.reset();
    EXPECT_EQ(readFile(path).size(), file.size());
}

TEST_F(WavDeviceTest, UnwritablePathIsARefusedOpen) {
    auto device = createWavDevice((dir_ / "no-such-folder" / "out.wav").string());
    EXPECT_EQ(device->open({2, 44100, 16}, nullptr), DeviceResult::Error);
    EXPECT_EQ(device->reset(), DeviceResult::Error);
    EXPECT_EQ(device->close(), DeviceResult::Error);
}

TEST_F(WavDeviceTest, PausedDeviceWritesNothingUntilRestarted) {
    const auto path = dir_ / "paused.wav";
    const auto pcm = makeSignal(10000, 2);
    BufferSet buffers(pcm, 4608);
    auto device = createWavDevice(path.string());
    ASSERT_EQ(device->open({2, 44100, 16}, buffers.callback()), DeviceResult::Ok);
    ASSERT_EQ(device->pause(), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(*device));
    EXPECT_FALSE(buffers.waitDone(1, std::chrono::milliseconds(50)));
    ASSERT_EQ(device->restart(), DeviceResult::Ok);
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    ASSERT_EQ(device->close(), DeviceResult::Ok);
    EXPECT_EQ(readFile(path).size(), 44 + pcm.size());
}

TEST(DeviceFactory, PicksTheBackendBySpec) {
#ifdef _WIN32
    EXPECT_NE(createDevice("waveout"), nullptr);
    EXPECT_NE(createDevice("waveout:0"), nullptr);
    for (const char* bad : {"waveout:", "waveout:x", "waveout:-1", "alsa"}) {
        EXPECT_EQ(createDevice(bad), nullptr) << bad;
    }
#else
    EXPECT_NE(createDevice("alsa"), nullptr);
    EXPECT_NE(createDevice("alsa:hw:0,0"), nullptr);
#endif
    EXPECT_NE(createDevice("wav:/tmp/x.wav"), nullptr);
    EXPECT_NE(createDevice("null"), nullptr);
    EXPECT_NE(createDevice("virtual"), nullptr);
    EXPECT_NE(createDevice("virtual:8"), nullptr);
    EXPECT_NE(createDevice("virtual:0"), nullptr);
    for (const char* bad : {"", "alsa:", "wav:", "virtual:", "virtual:-1", "virtual:x", "oss"}) {
        EXPECT_EQ(createDevice(bad), nullptr) << bad;
    }
}

TEST(DeviceFactory, NullDevicePlaysAndReportsLikeAnyOther) {
    auto device = createDevice("virtual:0");
    const auto pcm = makeSignal(5000, 2);
    BufferSet buffers(pcm, 4608);
    ASSERT_EQ(device->open({2, 44100, 16}, buffers.callback()), DeviceResult::Ok);
    ASSERT_TRUE(buffers.queueAll(*device));
    ASSERT_TRUE(buffers.waitDone(buffers.size()));
    EXPECT_EQ(device->close(), DeviceResult::Ok);
}

TEST(DeviceFactory, DefaultDeviceComesFromTheInstalledFactory) {
    auto log = std::make_shared<VirtualDeviceLog>();
    setDeviceFactory([log] {
        VirtualDeviceOptions options;
        options.speed = 0;
        options.log = log;
        return createVirtualDevice(options);
    });
    auto device = createDefaultDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->open({2, 44100, 16}, nullptr), DeviceResult::Ok);
    EXPECT_EQ(device->close(), DeviceResult::Ok);
    EXPECT_EQ(log->count("open"), 1u);
    setDeviceFactory(nullptr);
    EXPECT_NE(createDefaultDevice(), nullptr);  // ALSA's default device again
    EXPECT_EQ(log->count("open"), 1u);
}

}  // namespace
}  // namespace kivo::device
