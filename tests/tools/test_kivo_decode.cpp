// kivo-decode as a user runs it: a WAV file that holds the song's samples (exactly those the
// encoder was given, when it said how many it added), raw output, standard input and output,
// the stream description, the usual command-line manners, and one clear line with a failure
// status for what it cannot do.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

TEST_F(KivoDecode, WritesAWaveFileOfTheSongsSamples) {
    // The lame files hold 2 s of sound; the Layer II file has no encoder's tag: every frame.
    struct Case {
        const char* file;
        uint32_t rate;
        uint16_t channels;
        uint32_t samples;
    } cases[] = {
        {"l3_128_id3v1v2.mp3", 44100, 2, 88200},  // both tags
        {"l3_mpeg25_11k_32.mp3", 11025, 2, 22050},
        {"l3_mpeg2_22k_mono_64.mp3", 22050, 1, 44100},
        {"l2_192_stereo.mp2", 44100, 2, 77 * 1152},
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
        EXPECT_EQ(le32(b, 40), c.samples * c.channels * 2) << c.file;
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
    EXPECT_NE(r.out.find("Xing header: Xing (78 frames)"), std::string::npos);
    EXPECT_NE(r.out.find("encoder: LAME3.100"), std::string::npos);
    EXPECT_NE(r.out.find("encoder delay: 576 samples"), std::string::npos);
    EXPECT_NE(r.out.find("padding: 1080 samples"), std::string::npos);
    EXPECT_NE(r.out.find("samples: 88200"), std::string::npos);
    r = run("--info " + kivo::test::streamFixture("l3_free_320.mp3"));
    EXPECT_NE(r.out.find("free format"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Xing header: Info"), std::string::npos);
    r = run("--info " + kivo::test::streamFixture("l3_mpeg25_11k_32.mp3"));
    EXPECT_NE(r.out.find("version: MPEG 2.5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frames: 41"), std::string::npos);
    EXPECT_NE(r.out.find("duration: 0:02.000"), std::string::npos);
    r = run("--info " + kivo::test::streamFixture("l3_128_id3v1v2.mp3"));
    EXPECT_NE(r.out.find("title: Kivo test\nartist: Kivo\nalbum: Fixtures\n"), std::string::npos)
        << r.out;
    r = run("--info " + kivo::test::streamFixture("l2_192_stereo.mp2"));
    EXPECT_NE(r.out.find("Xing header: no"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("encoder delay"), std::string::npos);
}

TEST_F(KivoDecode, BrokenTagTextIsShownAsUtf8) {
    // Text marked UTF-8 that is not, a lone UTF-16 surrogate, and a surrogate written as UTF-8
    // in front of a song: each broken piece prints as U+FFFD, the rest as it is.
    auto frame = [](const char* id, const std::string& text) {
        return std::string(id) + std::string("\0\0\0", 3) + char(text.size()) +
               std::string(2, '\0') + text;
    };
    const std::string frames = frame("TIT2", std::string("\3A\x80"
                                                         "B",
                                                         4)) +
                               frame("TPE1", std::string("\1\xFF\xFE\x00\xD8x\0", 7)) +
                               frame("TALB", "\3\xED\xA0\x80");
    std::string tag = std::string("ID3\3\0\0\0\0\0", 9) + char(frames.size()) + frames;
    std::ifstream song(kivo::test::streamFixture("l3_128_joint.mp3"), std::ios::binary);
    const std::string path = scratch("broken.mp3");
    std::ofstream(path, std::ios::binary) << tag << song.rdbuf();
    const Outcome r = run("--info " + path);
    EXPECT_NE(r.out.find("title: A\uFFFDB\nartist: \uFFFDx\nalbum: \uFFFD\n"), std::string::npos)
        << r.out;
}

TEST_F(KivoDecode, LatinMarkedTagTextIsShownAsGbkWhenItIsGbk) {
    // An ID3v1 tag as Chinese encoders write it: GBK title, Latin-1 artist, UTF-8 album.
    std::string tail = std::string("TAG") + std::string(125, '\0');
    tail.replace(3, 6, "\xC6\xDF\xC0\xEF\xCF\xE3");  // 七里香
    tail.replace(33, 7, "Beyonc\xE9");
    tail.replace(63, 6, "\xE4\xB8\x93\xE8\xBE\x91");  // 专辑
    std::ifstream song(kivo::test::streamFixture("l3_128_joint.mp3"), std::ios::binary);
    const std::string path = scratch("gbk.mp3");
    std::ofstream(path, std::ios::binary) << song.rdbuf() << tail;
    const Outcome r = run("--info " + path);
    EXPECT_NE(r.out.find("title: 七里香\nartist: Beyoncé\nalbum: 专辑\n"), std::string::npos)
        << r.out;
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

// A 16-bit WAV file of `samples` samples: a tone gliding upwards over a little noise, different
// in the two channels, so that an offset of even one sample shows.
void writeSourceWav(const std::string& path, uint32_t rate, uint16_t channels, uint32_t samples) {
    std::vector<uint8_t> b;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t data = samples * channels * 2;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(channels, 2), put(rate, 4), put(rate * channels * 2, 4);
    put(channels * 2u, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    uint32_t noise = 1;
    for (uint32_t i = 0; i < samples; ++i) {
        for (uint16_t c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / rate;
            noise = noise * 1664525u + 1013904223u;
            const double v = 9000 * std::sin(2 * M_PI * (200 + 150 * c) * t * (1 + t)) +
                             static_cast<int32_t>(noise >> 20) - 2048;
            put(static_cast<uint32_t>(static_cast<int32_t>(v)), 2);
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

std::vector<int16_t> wavSamples(const std::string& path) {
    const auto b = kivo::test::readBytes(path);
    std::vector<int16_t> v;
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        v.push_back(static_cast<int16_t>(b[i] | b[i + 1] << 8));
    return v;
}

// How closely `decoded` follows `source` when shifted by `lag` values (either polarity).
double likeness(const std::vector<int16_t>& decoded, const std::vector<int16_t>& source, int lag) {
    double both = 0, a = 0, b = 0;
    for (size_t i = 4096; i + 4096 < source.size(); ++i) {
        const double x = decoded[i + lag], y = source[i];
        both += x * y, a += x * x, b += y * y;
    }
    return std::fabs(both) / std::sqrt(a * b);
}

TEST_F(KivoDecode, LameSongsDecodeToExactlyTheSamplesLameWasGiven) {
    if (std::system("lame --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no lame";
    struct Case {
        uint32_t rate;
        const char* options;
    } cases[] = {
        {44100, "-b 128"}, {44100, "-V 2"}, {44100, "--freeformat -b 320"},
        {22050, "-b 64"},  {22050, "-V 4"}, {22050, "--freeformat -b 160"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " " + c.options);
        const uint32_t samples = c.rate * 137 / 100;  // not a whole number of frames
        const std::string source = scratch("source.wav"), mp3 = scratch("song.mp3");
        writeSourceWav(source, c.rate, 2, samples);
        ASSERT_EQ(
            std::system(
                ("lame --quiet " + std::string(c.options) + " " + source + " " + mp3).c_str()),
            0);
        const std::string wav = scratch("out.wav");
        ASSERT_EQ(run(mp3 + " " + wav).status, 0);
        const auto decoded = wavSamples(wav);
        ASSERT_EQ(decoded.size(), samples * 2u);
        // In step with the source: not a sample early or late.
        const auto given = wavSamples(source);
        const double inStep = likeness(decoded, given, 0);
        EXPECT_GT(inStep, 0.9);
        EXPECT_GT(inStep, likeness(decoded, given, 2));
        EXPECT_GT(inStep, likeness(decoded, given, -2));
        // A pipe gives the same; --no-gapless keeps the Info frame, the delay and the padding.
        const std::string piped = scratch("piped.raw");
        ASSERT_EQ(run("--raw - - < " + mp3 + " > " + piped).status, 0);
        const auto wavBytes = kivo::test::readBytes(wav);
        EXPECT_EQ(kivo::test::readBytes(piped),
                  std::vector<uint8_t>(wavBytes.begin() + 44, wavBytes.end()));
        ASSERT_EQ(run("--no-gapless " + mp3 + " " + wav).status, 0);
        const size_t frame = c.rate == 44100 ? 1152 : 576;
        EXPECT_EQ(wavSamples(wav).size() % (frame * 2), 0u);
        EXPECT_GT(wavSamples(wav).size(), decoded.size() + frame * 2);
    }
}

TEST_F(KivoDecode, CommandLineManners) {
    const std::string mp3 = kivo::test::streamFixture("l3_128_joint.mp3");
    const std::string err = scratch("stderr");
    // Standard output alone; standard error goes to `err`.
    auto runSplit = [&](const std::string& arguments, std::string* out) {
        out->clear();
        FILE* p =
            popen((std::string(KIVO_DECODE_PROGRAM) + " " + arguments + " 2>" + err).c_str(), "r");
        if (!p) return -1;
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, p)) out->append(buffer, n);
        const int status = pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    // Help and version on standard output, success.
    EXPECT_EQ(runSplit("--help", &out), 0);
    EXPECT_NE(out.find("usage: kivo-decode"), std::string::npos);
    EXPECT_NE(out.find("--no-gapless"), std::string::npos);
    EXPECT_EQ(runSplit("--version", &out), 0);
    EXPECT_EQ(out.rfind("kivo-decode ", 0), 0u) << out;
    // A wrong command line: the usage on standard error, nothing on standard output, status 2.
    for (const std::string& arguments :
         std::vector<std::string>{"", "--bogus " + mp3 + " x.wav", mp3, "--info",
                                  "--info --raw " + mp3, mp3 + " a.wav b.wav"}) {
        EXPECT_EQ(runSplit(arguments, &out), 2) << arguments;
        EXPECT_EQ(out, "") << arguments;
        const auto text = kivo::test::readBytes(err);
        EXPECT_NE(std::string(text.begin(), text.end()).find("usage:"), std::string::npos);
    }
    // The input is never written over, under its own name or another.
    const std::string copy = scratch("song.mp3"), link = scratch("link.mp3");
    fs::copy_file(mp3, copy);
    fs::create_symlink(copy, link);
    for (const std::string& output : {copy, link, "./" + fs::relative(copy).string()}) {
        const Outcome r = run(copy + " " + output);
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_NE(r.out.find("not written over"), std::string::npos) << r.out;
        EXPECT_EQ(kivo::test::readBytes(copy), kivo::test::readBytes(mp3));
    }
}

}  // namespace
