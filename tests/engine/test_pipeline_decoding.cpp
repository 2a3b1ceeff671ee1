// The whole pipeline with the real decoder: what reaches the sound device is exactly what
// decoding the file frame by frame gives, from the first frame to the last.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "player_test_fixture.h"
#include "stream_rules.h"

namespace kivo {
namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Decodes a clean stream frame after frame from its first sync until a frame no longer fits.
std::vector<uint8_t> decodeDirectly(std::vector<uint8_t> bytes) {
    const size_t size = bytes.size();
    bytes.resize(size + kFrameSpanBytes, 0);  // the decoder may look past the last frame
    const ptrdiff_t first = findSync(bytes.data(), size, 0);
    FrameHeader header{};
    int32_t frameLength = 0;
    if (first < 0 ||
        !findThreeFrames(bytes.data() + first, std::min(kStreamPeekBytes, size - first), &header,
                         &frameLength)) {
        return {};
    }
    const mpeg::DecoderOps& ops = mpeg::processDecoderOps();
    if (ops.decoderInit(&header, frameLength, 0, 0, 0, 24000) == 0) return {};
    mpeg::PcmFormat format{};
    ops.decoderGetFormat(&format);
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> block(static_cast<size_t>(format.valuesPerFrame) * 2);
    for (size_t at = static_cast<size_t>(first); at + 4 <= size;) {
        const FrameHeader h = mpeg::parseFrameHeader(&bytes[at]);
        const int32_t length = (h.bitrateIndex == 0 ? frameLength : mpeg::frameLengthOf(h)) +
                               h.padding * mpeg::paddingUnitOf(h);
        if (!mpeg::isFrameSync(bytes[at], bytes[at + 1]) || at + length > size) break;
        const uint64_t result = ops.decoderDecodeFrame(&bytes[at], block.data());
        if (mpeg::consumedBytes(result) == 0) break;
        pcm.insert(pcm.end(), block.begin(), block.begin() + mpeg::producedBytes(result));
        at += mpeg::consumedBytes(result);
    }
    return pcm;
}

class PipelineDecoding : public test::PlayerTest {};

TEST_F(PipelineDecoding, DevicePlaysEveryDecodedFrame) {
    setPipelineDecoderOps(nullptr);  // each pipeline with a decoder of its own
    const std::string folder = std::string(KIVO_TEST_DATA) + "/conformance";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".bit") continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        const std::vector<uint8_t> expected = decodeDirectly(readFile(path));
        ASSERT_FALSE(expected.empty());
        log = std::make_shared<device::VirtualDeviceLog>();
        Player* player = CreatePlayer(fileList({path}).c_str(), 1);
        Play(player);
        EXPECT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
        RemovePlayer(player);
        const std::vector<uint8_t> played = log->pcm();
        EXPECT_EQ(played.size(), expected.size());
        EXPECT_TRUE(played == expected);
        ++files;
    }
    EXPECT_GT(files, 0);
}

// Three songs playing at once in three players: a decoder shared between their pipelines would
// mix one stream's reservoir and synthesis history into another's.
TEST_F(PipelineDecoding, PlayersDecodingAtOnceEachPlayTheirOwnSongExactly) {
    setPipelineDecoderOps(nullptr);
    const std::string folder = std::string(KIVO_TEST_DATA) + "/conformance/";
    const std::vector<std::string> paths = {folder + "l3-compl.bit", folder + "l3-he_mode.bit",
                                            folder + "l2-test32.bit"};
    std::mutex lock;
    std::vector<std::shared_ptr<device::VirtualDeviceLog>> logs;
    device::setDeviceFactory([&] {
        device::VirtualDeviceOptions options;
        options.speed = 4;  // slow enough that the three overlap
        options.log = std::make_shared<device::VirtualDeviceLog>();
        std::lock_guard<std::mutex> guard(lock);
        logs.push_back(options.log);
        return device::createVirtualDevice(options);
    });
    std::vector<Player*> players;
    for (const std::string& path : paths) {
        players.push_back(CreatePlayer(fileList({path}).c_str(), 1));
        Play(players.back());
    }
    for (Player* player : players) {
        EXPECT_TRUE(test::waitFor([&] { return GetPlayState(player) == kPlayStateIdle; }));
        RemovePlayer(player);
    }
    // Devices open in whichever order the pipelines get there: each song must have been played
    // whole and unmixed by exactly one of them.
    ASSERT_EQ(logs.size(), paths.size());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> expected = decodeDirectly(readFile(path));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(std::count_if(logs.begin(), logs.end(),
                                [&](const auto& log) { return log->pcm() == expected; }),
                  1);
    }
}

}  // namespace
}  // namespace kivo
