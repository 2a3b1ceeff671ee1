// Kivo's Windows build, run under Wine as a Windows user would run it: the programs and test
// programs that tools/build-windows.sh made (KIVO_WINDOWS_BUILD names its folder), in a Wine
// prefix of their own whose wave-out plays into the tests' private sound server, where the
// null sink's monitor records what was heard.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device_test_support.h"
#include "pulse_server.h"
#include "waveout_sounds.h"

extern char** environ;

namespace kivo::device {
namespace {

namespace fs = std::filesystem;
using test::PulseEnvironment;

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string tail(const fs::path& log) {
    const std::vector<uint8_t> bytes = readFile(log);
    const size_t from = bytes.size() > 3000 ? bytes.size() - 3000 : 0;
    return std::string(bytes.begin() + static_cast<ptrdiff_t>(from), bytes.end());
}

// Runs `args` with standard output into `out` and standard error into `log`; the exit status,
// or -1 when the program could not run or was ended by a signal (the time limit among them).
int run(std::vector<std::string> args, const fs::path& out, const fs::path& log,
        int limitSeconds = 300) {
    args.insert(args.begin(), {"/usr/bin/timeout", std::to_string(limitSeconds)});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The sound server, then a Wine prefix in a temporary folder booted once for the whole
// program, whose sound goes to that server.
class WineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // The server stays up while the test suites run under Wine without playing anything.
        PulseEnvironment::running_ = PulseEnvironment::server_.start(KIVO_PULSEAUDIO, 900);
        const char* build = std::getenv("KIVO_WINDOWS_BUILD");
        if (!build || !*build) {
            why_ = "no Windows build: KIVO_WINDOWS_BUILD is not set (tools/test.sh sets it)";
            return;
        }
        build_ = build;
        if (!fs::exists(build_ / "bin" / "kivo-play.exe")) {
            why_ = "no Windows build in " + build_.string() + " (tools/build-windows.sh)";
            return;
        }
        if (!PulseEnvironment::running_) {
            why_ = "no sound server for Wine to play into: " + PulseEnvironment::server_.why();
            return;
        }
        wine_ = KIVO_WINE64;
        if (wine_.empty() || !fs::exists(wine_)) {
            why_ = "Wine cannot start: wine64 is not installed (tools/setup.sh installs it)";
            return;
        }
        char pattern[] = "/tmp/kivo-wine-XXXXXX";
        if (!::mkdtemp(pattern)) {
            why_ = "cannot make a temporary folder";
            return;
        }
        dir_ = pattern;
        ::setenv("WINEPREFIX", (dir_ / "prefix").c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        // Nothing asks to install Wine's .NET and browser engine, which nobody here needs.
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        // The first start of a prefix builds it, which takes a while; then wait until the
        // server of that start has ended, so that every test meets a finished prefix.
        const fs::path log = dir_ / "wineboot.log";
        if (run({wine_.string(), "wineboot", "-i"}, "/dev/null", log) != 0 ||
            run({(wine_.parent_path() / "wineserver").string(), "-w"}, "/dev/null", log) != 0) {
            why_ = "Wine cannot start: " + tail(log);
            return;
        }
        // One server for every run that follows, instead of one started and ended per run.
        run({(wine_.parent_path() / "wineserver").string(), "-p"}, "/dev/null", log);
        ready_ = true;
    }

    void TearDown() override {
        PulseEnvironment::server_.stop();
        if (dir_.empty()) return;
        run({(wine_.parent_path() / "wineserver").string(), "-k"}, "/dev/null", "/dev/null");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Runs a Windows program under Wine, standard output into `out`.
    static int runExe(const std::string& exe, const std::vector<std::string>& args,
                      const fs::path& out, const fs::path& log) {
        std::vector<std::string> all = {wine_.string(), exe};
        all.insert(all.end(), args.begin(), args.end());
        return run(all, out, log);
    }

    static inline bool ready_ = false;
    static inline std::string why_;
    static inline fs::path build_;
    static inline fs::path wine_;
    static inline fs::path dir_;
};

const auto* const kWine = ::testing::AddGlobalTestEnvironment(new WineEnvironment);

class UnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WineEnvironment::ready_) GTEST_SKIP() << WineEnvironment::why_;
        log_ =
            WineEnvironment::dir_ /
            (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".log");
    }

    static std::string program(const std::string& name) {
        return (WineEnvironment::build_ / "bin" / name).string();
    }
    static std::string testProgram(const std::string& name) {
        return (WineEnvironment::build_ / "tests" / name).string();
    }
    int runExe(const std::string& exe, const std::vector<std::string>& args,
               const fs::path& out = "/dev/null") {
        return WineEnvironment::runExe(exe, args, out, log_);
    }
    std::string log() const { return tail(log_); }

    // Runs some of the wave-out test program's tests while the sink's monitor records.
    std::vector<uint8_t> recordWaveOutTests(const std::string& filter) {
        int status = -1;
        auto recording = test::recordWhile([&] {
            status =
                runExe(testProgram("kivo_device_waveout_tests.exe"), {"--gtest_filter=" + filter});
        });
        EXPECT_EQ(status, 0) << log();
        return recording;
    }

    fs::path log_;
};

TEST_F(UnderWine, DecodeExeGivesTheLinuxBuildsPcmForEveryStream) {
    std::vector<fs::path> streams;
    for (const auto& entry : fs::directory_iterator(fs::path(KIVO_TEST_DATA) / "streams")) {
        streams.push_back(entry.path());
    }
    ASSERT_FALSE(streams.empty());
    std::sort(streams.begin(), streams.end());
    const fs::path linuxPcm = WineEnvironment::dir_ / "linux.raw";
    const fs::path windowsPcm = WineEnvironment::dir_ / "windows.raw";
    for (const fs::path& stream : streams) {
        ASSERT_EQ(
            run({KIVO_DECODE, "--raw", stream.string(), linuxPcm.string()}, "/dev/null", log_), 0)
            << log();
        // Through standard output, which Windows would open in text mode.
        EXPECT_EQ(runExe(program("kivo-decode.exe"), {"--raw", stream.string(), "-"}, windowsPcm),
                  0)
            << log();
        const auto expected = readFile(linuxPcm);
        EXPECT_FALSE(expected.empty()) << stream;
        EXPECT_TRUE(readFile(windowsPcm) == expected) << stream.filename() << " decodes otherwise";
    }
}

// The player stress test stays on Linux: it starts thousands of threads, each of which Wine
// takes long to start, and it looks for races, which the Linux thread sanitizer run finds.
TEST_F(UnderWine, DecoderEngineAndDeviceSuitesPass) {
    for (const char* suite :
         {"kivo_mpeg_tests.exe", "kivo_engine_tests.exe", "kivo_device_tests.exe"}) {
        const fs::path out = WineEnvironment::dir_ / (std::string(suite) + ".out");
        EXPECT_EQ(
            runExe(testProgram(suite), {"--gtest_brief=1", "--gtest_filter=-PlayerStress.*"}, out),
            0)
            << suite << ":\n"
            << tail(out) << log();
    }
}

TEST_F(UnderWine, WaveOutPlaysEverySampleInOrder) {
    const auto heard = test::soundingFrames(
        recordWaveOutTests("WaveOutDevice.PlaysEverySampleInOrderAndReportsBuffersOnlyOncePlayed"));
    const auto signal = test::makeSignal(test::kWholeSoundFrames, 2);
    EXPECT_EQ(heard.size(), signal.size());
    EXPECT_TRUE(heard == signal) << "the recorded sound differs from what was played";
}

TEST_F(UnderWine, WaveOutPauseSilencesAtOnceAndRestartNeitherLosesNorRepeatsASample) {
    const auto recording =
        recordWaveOutTests("WaveOutDevice.PauseHoldsTheBuffersAndRestartPlaysThemToTheEnd");
    const auto signal = test::makeSignal(test::kPausedSoundFrames, 2);
    EXPECT_EQ(test::replayedFrames(test::soundingFrames(recording), signal), 0)
        << "samples were lost or repeated around the pause";
    EXPECT_GE(test::longestInnerSilence(recording), 44100u * (test::kPauseForMs - 150) / 1000)
        << "the pause was not heard";
}

TEST_F(UnderWine, WaveOutResetStopsTheSoundAtOnce) {
    const auto heard = test::soundingFrames(recordWaveOutTests(
        "WaveOutDevice.CloseAnswersStillPlayingUntilAResetHasReturnedEveryBuffer"));
    const auto signal = test::makeSignal(test::kResetSoundFrames, 2);
    EXPECT_GT(heard.size(), 0u);
    EXPECT_LT(heard.size(), signal.size() / 2);
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), signal.begin()));
}

TEST_F(UnderWine, WaveOutRefusesHarmlesslyPlaysMonoAndIsTheDefault) {
    EXPECT_EQ(runExe(testProgram("kivo_device_waveout_tests.exe"),
                     {"--gtest_filter=-*EverySample*:*PauseHolds*:*CloseAnswers*"}),
              0)
        << log();
}

TEST_F(UnderWine, PlayExePlaysASongIntoTheSinkToItsLastSample) {
    const std::string song = std::string(KIVO_TEST_DATA) + "/play/l2-cbr.mp2";
    const fs::path decoded = WineEnvironment::dir_ / "song.raw";
    ASSERT_EQ(run({KIVO_DECODE, "--raw", song, decoded.string()}, "/dev/null", log_), 0) << log();
    int status = -1;
    const auto recording =
        test::recordWhile([&] { status = runExe(program("kivo-play.exe"), {song}); });
    EXPECT_EQ(status, 0) << log();
    const auto expected = test::soundingFrames(readFile(decoded));
    const auto heard = test::soundingFrames(recording);
    EXPECT_EQ(heard.size(), expected.size()) << "sound was lost or repeated";
    EXPECT_TRUE(heard == expected) << "what was heard differs from what was decoded";

    // A device that refuses to open is said once, and nothing plays.
    EXPECT_EQ(runExe(program("kivo-play.exe"), {"--device", "waveout:99", song}), 1);
    EXPECT_NE(log().find("cannot open the sound device \"waveout:99\""), std::string::npos)
        << log();
}

}  // namespace
}  // namespace kivo::device
