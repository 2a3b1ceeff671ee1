// The whole engine, as a user runs it: kivo-play writes what it would play into a WAV file,
// and that must be exactly the PCM that kivo-decode gets from the decoder frame by frame,
// down to the last frame.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Wav {
    int channels = 0;
    int sampleRate = 0;
    int bits = 0;
    std::vector<uint8_t> pcm;
    bool valid = false;
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Reads a PCM WAV file chunk by chunk; the data chunk's size must match the bytes there are.
Wav readWav(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
    Wav wav;
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        return wav;
    }
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + at, b.begin() + at + 4);
        const uint32_t size = le32(b, at + 4);
        const size_t body = at + 8;
        if (id == "fmt " && body + 16 <= b.size()) {
            wav.channels = b[body + 2] | b[body + 3] << 8;
            wav.sampleRate = static_cast<int>(le32(b, body + 4));
            wav.bits = b[body + 14] | b[body + 15] << 8;
        } else if (id == "data") {
            if (body + size > b.size()) return wav;
            wav.pcm.assign(b.begin() + body, b.begin() + body + size);
            wav.valid = wav.channels > 0;
            return wav;
        }
        at = body + size + (size & 1);
    }
    return wav;
}

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error together
};

Outcome run(const std::string& command) {
    Outcome r;
    FILE* pipe = ::popen((command + " </dev/null 2>&1").c_str(), "r");
    if (!pipe) return r;
    char chunk[512];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) r.output.append(chunk, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kivo-e2e-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static fs::path data(const std::string& name) { return fs::path(KIVO_TEST_DATA) / name; }

    // What the decoder makes of the file.
    Wav decoded(const fs::path& song) {
        const fs::path out = dir_ / "decoded.wav";
        const Outcome r =
            run(std::string("'") + KIVO_DECODE + "' " + quoted(song) + " " + quoted(out));
        EXPECT_EQ(r.status, 0) << r.output;
        return readWav(out);
    }

    // What the player plays, through the engine's entry points and the WAV-file device.
    Wav played(const std::string& arguments, Outcome* runOut = nullptr, int status = 0) {
        const fs::path out = dir_ / "played.wav";
        const Outcome r =
            run(std::string("'") + KIVO_PLAY + "' --device wav:" + quoted(out) + " " + arguments);
        EXPECT_EQ(r.status, status) << r.output;
        if (runOut) *runOut = r;
        return readWav(out);
    }

    fs::path dir_;
};

class EveryKindOfStream : public EndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(EveryKindOfStream, PlaysExactlyWhatTheDecoderDecodesDownToTheLastFrame) {
    const fs::path song = data(GetParam());
    const Wav reference = decoded(song);
    ASSERT_TRUE(reference.valid);
    ASSERT_FALSE(reference.pcm.empty());
    const Wav heard = played(quoted(song));
    ASSERT_TRUE(heard.valid) << "kivo-play left no complete WAV file";
    EXPECT_EQ(heard.channels, reference.channels);
    EXPECT_EQ(heard.sampleRate, reference.sampleRate);
    EXPECT_EQ(heard.bits, 16);
    EXPECT_EQ(heard.pcm.size(), reference.pcm.size()) << "frames were lost or added";
    EXPECT_TRUE(heard.pcm == reference.pcm) << "the played PCM differs from the decoded PCM";
}

INSTANTIATE_TEST_SUITE_P(
    Files, EveryKindOfStream,
    ::testing::Values("play/l3-cbr-id3v1.mp3", "play/l3-vbr-xing-id3v2.mp3",
                      "play/l3-free-format.mp3", "play/l3-mpeg2-22050.mp3",
                      "play/l3-mpeg2-mono-24000.mp3", "play/l3-mpeg25-11025.mp3",
                      "play/l3-short-mpeg25.mp3", "play/l2-cbr.mp2", "play/l2-mpeg2-22050.mp2",
                      "play/l2-id3v1-id3v2.mp2", "play/l2-vbr.mp2", "streams/l2_192_stereo.mp2",
                      "streams/l3_128_id3v1.mp3", "streams/l3_128_id3v1v2.mp3",
                      "streams/l3_128_id3v2.mp3", "streams/l3_128_joint.mp3",
                      "streams/l3_320_joint.mp3", "streams/l3_free_320.mp3",
                      "streams/l3_mpeg25_11k_32.mp3", "streams/l3_mpeg2_22k_mono_64.mp3",
                      "streams/l3_vbr_v2.mp3"),
    [](const ::testing::TestParamInfo<const char*>& info) {
        std::string name = info.param;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST_F(EndToEnd, ARepeatedListPlaysEverySongInTurnEveryTime) {
    const fs::path first = data("play/l3-cbr-id3v1.mp3");
    const fs::path second = data("play/l3-vbr-xing-id3v2.mp3");
    const Wav a = decoded(first);
    const Wav b = decoded(second);
    ASSERT_TRUE(a.valid && b.valid);
    std::vector<uint8_t> expected;
    for (int pass = 0; pass < 2; ++pass) {
        expected.insert(expected.end(), a.pcm.begin(), a.pcm.end());
        expected.insert(expected.end(), b.pcm.begin(), b.pcm.end());
    }
    const Wav heard = played("--repeat 2 " + quoted(first) + " " + quoted(second));
    ASSERT_TRUE(heard.valid);
    EXPECT_EQ(heard.pcm.size(), expected.size());
    EXPECT_TRUE(heard.pcm == expected);
}

TEST_F(EndToEnd, StandardInputPlaysWhatTheFileDoes) {
    const fs::path song = data("streams/l3_128_id3v1v2.mp3");  // tags at both ends
    const Wav reference = decoded(song);
    const fs::path out = dir_ / "piped.wav";
    const Outcome r =
        run("(cat " + quoted(song) + " | '" + KIVO_PLAY + "' --device wav:" + quoted(out) + " -)");
    EXPECT_EQ(r.status, 0) << r.output;
    const Wav heard = readWav(out);
    ASSERT_TRUE(heard.valid);
    EXPECT_TRUE(heard.pcm == reference.pcm);
}

TEST_F(EndToEnd, AStartPercentageSkipsTheBeginningOfTheSong) {
    const fs::path song = data("play/l2-cbr.mp2");
    const Wav whole = decoded(song);
    ASSERT_TRUE(whole.valid);
    const Wav heard = played("--start 50 " + quoted(song));
    ASSERT_TRUE(heard.valid);
    // The seek lands about half way and the rest of the song plays out to its end.
    EXPECT_GT(heard.pcm.size(), whole.pcm.size() * 4 / 10);
    EXPECT_LT(heard.pcm.size(), whole.pcm.size() * 6 / 10);
    ASSERT_LE(heard.pcm.size(), whole.pcm.size());
    // Once past the frame the seek lands in, every frame is the song's own down to the last:
    // the same samples, but for the rounding of a filter bank that started elsewhere.
    const size_t skip = 2 * 4608;
    ASSERT_GT(heard.pcm.size(), skip);
    int worst = 0;
    for (size_t i = skip; i + 1 < heard.pcm.size(); i += 2) {
        const size_t j = whole.pcm.size() - heard.pcm.size() + i;
        const int a = static_cast<int16_t>(heard.pcm[i] | heard.pcm[i + 1] << 8);
        const int b = static_cast<int16_t>(whole.pcm[j] | whole.pcm[j + 1] << 8);
        worst = std::max(worst, std::abs(a - b));
    }
    EXPECT_LE(worst, 1);
}

TEST_F(EndToEnd, FilesThatCannotPlayAreNamedWithTheirReasonTheOthersPlayAndTheRunFails) {
    const fs::path song = data("play/l2-mpeg2-22050.mp2");
    const Wav reference = decoded(song);
    const fs::path picture = dir_ / "pic.png";
    std::ofstream(picture, std::ios::binary) << "\x89PNG\r\n\x1a\n" << std::string(5000, 'x');
    std::ofstream(dir_ / "empty.mp3", std::ios::binary).flush();
    Outcome r;
    const Wav heard =
        played(quoted(dir_ / "missing.mp3") + " " + quoted(picture) + " " + quoted(song) + " " +
                   quoted(dir_) + " " + quoted(dir_ / "empty.mp3"),
               &r, 1);
    for (const std::string& line : std::vector<std::string>{
             "missing.mp3: cannot open (No such file or directory)\n",
             "pic.png: no MPEG audio stream\n", dir_.string() + ": not a regular file\n",
             "empty.mp3: no MPEG audio stream\n"}) {
        EXPECT_NE(r.output.find("kivo-play: "), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(line), std::string::npos) << line << r.output;
    }
    ASSERT_TRUE(heard.valid);
    EXPECT_TRUE(heard.pcm == reference.pcm);

    // Without end, a list where nothing can play stops after one pass.
    r = run(std::string("'") + KIVO_PLAY + "' --repeat 0 --device null " + quoted(picture) + " " +
            quoted(dir_ / "missing.mp3"));
    EXPECT_EQ(r.status, 1) << r.output;
    size_t said = 0;
    for (size_t at = r.output.find("kivo-play: "); at != std::string::npos;
         at = r.output.find("kivo-play: ", at + 1)) {
        ++said;
    }
    EXPECT_EQ(said, 2u) << r.output;
}

TEST_F(EndToEnd, ASoundDeviceThatCannotOpenIsSaidInOneLineAndFailsTheRun) {
    const fs::path song = data("play/l2-cbr.mp2");
    Outcome r =
        run(std::string("'") + KIVO_PLAY + "' --device alsa:kivo_no_such_device " + quoted(song));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("cannot open the sound device"), std::string::npos) << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    // A sound server that is not there: the reason is the server library's.
    r = run("PULSE_SERVER=unix:" + quoted(dir_ / "no-server") + " '" + KIVO_PLAY +
            "' --device pulse " + quoted(song));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("cannot open the sound device \"pulse\": Connection refused"),
              std::string::npos)
        << r.output;

    r = run(std::string("'") + KIVO_PLAY + "' --device wav:" + quoted(dir_ / "no" / "x.wav") + " " +
            quoted(song));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("cannot write"), std::string::npos) << r.output;

    r = run(std::string("'") + KIVO_PLAY + "' --device oss " + quoted(song));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("unknown sound device"), std::string::npos) << r.output;
}

TEST_F(EndToEnd, WrongArgumentsAreAUsageErrorHelpAndVersionAreNot) {
    for (const char* arguments :
         {"", "--repeat", "--repeat x song.mp3", "--bogus song.mp3", "--repeat -1 song.mp3",
          "--start 101 song.mp3", "--start -5 song.mp3"}) {
        // Said on standard error only.
        const Outcome r = run(std::string("('") + KIVO_PLAY + "' " + arguments + " 2>/dev/null)");
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.output, "") << arguments;
    }
    Outcome r = run(std::string("('") + KIVO_PLAY + "' --help 2>/dev/null)");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("usage: kivo-play"), std::string::npos) << r.output;
    r = run(std::string("('") + KIVO_PLAY + "' --version 2>/dev/null)");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("kivo-play ", 0), 0u) << r.output;
}

TEST_F(EndToEnd, KeysGoToTheNextSongAndJumpWithinIt) {
    // Three songs of 2 s on the real-time null device: 6 s without keys. Two n go to the last
    // song, and the right arrow, pressed twenty times, jumps to its end.
    const fs::path song = data("streams/l3_128_joint.mp3");
    const auto start = std::chrono::steady_clock::now();
    FILE* pipe =
        ::popen((std::string("'") + KIVO_PLAY + "' --device null " + quoted(song) + " " +
                 quoted(song) + " " + quoted(song) + " > " + quoted(dir_ / "out") + " 2>&1")
                    .c_str(),
                "w");
    ASSERT_NE(pipe, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::fputs("nn", pipe);
    std::fflush(pipe);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 20; ++i) std::fputs("\033[C", pipe);
    std::fflush(pipe);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    std::ifstream in(dir_ / "out");
    const std::string out{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(out.find("playing 3/3"), std::string::npos) << out;
}

TEST_F(EndToEnd, QuitsOnQFromItsInput) {
    // The null device plays in real time, so the song would last a second; q ends it first.
    const fs::path song = data("play/l3-mpeg25-11025.mp3");
    const auto start = std::chrono::steady_clock::now();
    FILE* pipe = ::popen((std::string("'") + KIVO_PLAY + "' --repeat 0 --device null " +
                          quoted(song) + " >/dev/null 2>&1")
                             .c_str(),
                         "w");
    ASSERT_NE(pipe, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::fputs("q", pipe);
    std::fflush(pipe);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Without the q the endless repeat would never end; the test's own limit would catch it.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
