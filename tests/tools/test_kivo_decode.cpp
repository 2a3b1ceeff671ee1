// kivo-decode as a user runs it: a WAV file that holds every decoded frame, raw output, the
// stream description, and one clear line with a failure status for what it cannot do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../engine/stream_bytes.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;  // stdout and stderr together
};

Outcome run(const std::string& arguments) {
    Outcome r;
    const std::string command = std::string(KIVO_DECODE_PROGRAM) + " " + arguments + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class KivoDecode : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kivo-decode-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string scratch(const char* name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST_F(KivoDecode, WritesAWaveFileOfEveryFrame) {
    struct Case {
        const char* file;
        uint32_t rate;
        uint16_t channels;
        uint32_t frames;
        uint32_t samplesPerFrame;
    } cases[] = {
        {"l3_128_id3v1v2.mp3", 44100, 2, 79, 1152},  // both tags
        {"l3_mpeg25_11k_32.mp3", 11025, 2, 42, 576},
        {"l3_mpeg2_22k_mono_64.mp3", 22050, 1, 80, 576},
        {"l2_192_stereo.mp2", 44100, 2, 77, 1152},
    };
    for (const Case& c : cases) {
        const std::string wav = scratch("out.wav");
        const Outcome r = run(kivo::test::streamFixture(c.file) + " " + wav);
        ASSERT_EQ(r.status, 0) << c.file << ": " << r.out;
        const auto b = kivo::test::readBytes(wav);
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(le32(b, 4), b.size() - 8);
        EXPECT_EQ(b[22], c.channels);
        EXPECT_EQ(le32(b, 24), c.rate);
        EXPECT_EQ(b[34], 16);
        EXPECT_EQ(le32(b, 40), c.frames * c.samplesPerFrame * c.channels * 2) << c.file;
    }
    // A WAV stream on standard output cannot be rewound: its sizes say "unknown".
    const std::string piped = scratch("piped.wav");
    ASSERT_EQ(run(kivo::test::streamFixture("l2_192_stereo.mp2") + " - | cat > " + piped).status,
              0);
    const auto p = kivo::test::readBytes(piped);
    ASSERT_EQ(p.size(), 44u + 77 * 1152 * 4);
    EXPECT_EQ(le32(p, 40), 0xFFFFFFFFu - 36);
    // Raw output to stdout is the same PCM without the header.
    const std::string raw = scratch("out.raw");
    ASSERT_EQ(run("--raw " + kivo::test::streamFixture("l2_192_stereo.mp2") + " - > " + raw).status,
              0);
    EXPECT_EQ(fs::file_size(raw), 77u * 1152 * 4);
}

TEST_F(KivoDecode, InfoDescribesTheStream) {
    Outcome r = run("--info " + kivo::test::streamFixture("l3_vbr_v2.mp3"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("layer: III"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("version: MPEG-1"), std::string::npos);
    EXPECT_NE(r.out.find("sample rate: 44100 Hz"), std::string::npos);
    EXPECT_NE(r.out.find("(variable)"), std::string::npos);
    EXPECT_NE(r.out.find("Xing header: yes"), std::string::npos);
    r = run("--info " + kivo::test::streamFixture("l3_free_320.mp3"));
    EXPECT_NE(r.out.find("free format"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Xing header: no"), std::string::npos);
    r = run("--info " + kivo::test::streamFixture("l3_mpeg25_11k_32.mp3"));
    EXPECT_NE(r.out.find("version: MPEG 2.5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frames: 42"), std::string::npos);
}

TEST_F(KivoDecode, FailuresAreOneLineAndNonZero) {
    std::vector<uint8_t> layer1;
    for (int i = 0; i < 40; ++i) kivo::test::appendFrame(layer1, {0xFF, 12, 0, 0, 0}, 416);
    const std::string layer1Path = scratch("layer1.mp1");
    FILE* f = std::fopen(layer1Path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(layer1.data(), 1, layer1.size(), f);
    std::fclose(f);
    const std::string text = scratch("text.mp3");
    f = std::fopen(text.c_str(), "wb");
    std::fputs("no audio here\n", f);
    std::fclose(f);

    const std::string mp3 = kivo::test::streamFixture("l3_128_joint.mp3");
    const struct {
        std::string arguments;
        const char* message;
    } cases[] = {
        {scratch("missing.mp3") + " " + scratch("a.wav"), "cannot read"},
        {dir_.string() + " " + scratch("a.wav"), "cannot read"},
        {text + " " + scratch("a.wav"), "no MPEG audio stream"},
        {layer1Path + " " + scratch("a.wav"), "Layer I is not supported"},
        {mp3 + " " + scratch("no/such/folder/a.wav"), "cannot write"},
        {mp3 + " /dev/full", "cannot write"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.arguments);
        EXPECT_NE(r.status, 0) << c.arguments;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.arguments << ": " << r.out;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line: " << r.out;
    }
    // Nothing half-written is left behind.
    EXPECT_FALSE(fs::exists(scratch("a.wav")));
    EXPECT_TRUE(fs::exists("/dev/full"));
}

}  // namespace
