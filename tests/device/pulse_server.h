// A private sound server for the ALSA tests: a PulseAudio daemon with one null sink, in its
// own runtime folder, reached through ALSA's default device; and a recorder on the sink's
// monitor that captures what was played. The sink never rewinds: a rewind cannot take back
// what its monitor has already recorded, and the start of a sound would go missing.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kivo::device::test {

class PulseServer {
public:
    static constexpr const char* kSink = "kivo_null";

    // Starts the daemon and points this process at it; false with `why()` when it cannot run.
    // The daemon ends by itself once it has had no client for `idleSeconds`.
    bool start(const std::string& pulseaudio, int idleSeconds = 20) {
        if (pulseaudio.empty() || ::access(pulseaudio.c_str(), X_OK) != 0) {
            why_ = "pulseaudio is not installed (tools/setup.sh installs it)";
            return false;
        }
        char pattern[] = "/tmp/kivo-pulse-XXXXXX";
        if (!::mkdtemp(pattern)) {
            why_ = "cannot make a temporary folder";
            return false;
        }
        dir_ = pattern;
        const auto runtime = dir_ / "runtime";
        std::filesystem::create_directories(runtime / "pulse");
        ::chmod(runtime.c_str(), 0700);
        socket_ = dir_ / "native";
        std::ofstream(dir_ / "default.pa")
            << "load-module module-native-protocol-unix auth-anonymous=1 socket="
            << socket_.string() << "\nload-module module-null-sink sink_name=" << kSink
            << " rate=44100 channels=2 format=s16le norewinds=1"
            << "\nset-default-sink " << kSink << "\n";
        // Clients must never start a daemon of their own when this one is gone.
        std::ofstream(dir_ / "client.conf") << "autospawn = no\n";
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("PULSE_RUNTIME_PATH", (runtime / "pulse").c_str(), 1);
        ::setenv("PULSE_SERVER", ("unix:" + socket_.string()).c_str(), 1);
        ::setenv("PULSE_CLIENTCONFIG", (dir_ / "client.conf").c_str(), 1);

        // As root the daemon warns that it is meant for a user session, and runs all the same.
        // It ends by itself once idle, so a test program that dies leaves no server behind.
        const std::string command =
            "HOME='" + dir_.string() + "' '" + pulseaudio + "' -n -F '" +
            (dir_ / "default.pa").string() +
            "' --daemonize=yes --exit-idle-time=" + std::to_string(idleSeconds) +
            " --use-pid-file=yes"
            " --log-target=file:" +
            (dir_ / "log").string() + " </dev/null >/dev/null 2>>'" + (dir_ / "log").string() + "'";
        if (std::system(command.c_str()) != 0) {
            why_ = "pulseaudio did not start: " + lastLogLine();
            return false;
        }
        for (int i = 0; i < 200 && !std::filesystem::exists(socket_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        if (!std::filesystem::exists(socket_)) {
            why_ = "pulseaudio started but never opened its socket: " + lastLogLine();
            stop();
            return false;
        }
        return true;
    }

    // Ends the daemon with `signal`: SIGKILL for a server that dies at once, as in a crash.
    void stop(int signal = SIGTERM) {
        if (dir_.empty()) return;
        std::ifstream pidFile(dir_ / "runtime" / "pulse" / "pid");
        pid_t pid = 0;
        if (pidFile >> pid && pid > 0) {
            ::kill(pid, signal);
            for (int i = 0; i < 100 && running(pid); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        dir_.clear();
    }

    ~PulseServer() { stop(); }

    const std::string& why() const { return why_; }
    const std::filesystem::path& dir() const { return dir_; }

private:
    // A daemon that has ended stays a zombie until the init process gets round to it.
    static bool running(pid_t pid) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return ::kill(pid, 0) == 0;
        const size_t name = line.rfind(')');
        return name == std::string::npos || line.compare(name, 3, ") Z") != 0;
    }

    std::string lastLogLine() {
        std::ifstream log(dir_ / "log");
        std::string line, last;
        while (std::getline(log, line)) {
            if (line.rfind("E:", 0) == 0 || last.empty()) last = line;
        }
        return last.empty() ? "no log" : last;
    }

    std::filesystem::path dir_;
    std::filesystem::path socket_;
    std::string why_;
};

// `parec` on the null sink's monitor, writing raw 16-bit stereo at 44100 Hz into a file.
class MonitorRecorder {
public:
    bool start(const std::string& parec, const std::filesystem::path& file) {
        file_ = file;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Only the recording goes to a file; the recorder never holds the test's own output
        // open, so a test that dies cannot leave its runner waiting on a stray recorder.
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string device = std::string("--device=") + PulseServer::kSink + ".monitor";
        std::vector<std::string> args = {parec,
                                         device,
                                         "--raw",
                                         "--format=s16le",
                                         "--rate=44100",
                                         "--channels=2",
                                         "--latency-msec=20"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int error =
            posix_spawn(&pid_, parec.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            pid_ = 0;
            return false;
        }
        // The monitor delivers silence all the time, so a growing file means it records.
        for (int i = 0; i < 200; ++i) {
            std::error_code ec;
            if (std::filesystem::file_size(file, ec) > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        stop();
        return false;
    }

    // Ends the recording and returns what it holds.
    std::vector<uint8_t> stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = 0;
        }
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    ~MonitorRecorder() { stop(); }

private:
    pid_t pid_ = 0;
    std::filesystem::path file_;
};

// The server runs for the whole test program, started before any test opens ALSA: ALSA decides
// once per process whether its default device leads to the sound server. One test file
// registers it with ::testing::AddGlobalTestEnvironment.
class PulseEnvironment : public ::testing::Environment {
public:
    void SetUp() override { running_ = server_.start(KIVO_PULSEAUDIO); }
    void TearDown() override { server_.stop(); }

    static inline PulseServer server_;
    static inline bool running_ = false;
};

// Records the null sink's monitor while `play` runs, and 400 ms of sound more for the server's
// and the recorder's own latency. KIVO_KEEP_RECORDING=FILE keeps a copy for a closer look.
template <typename Play>
std::vector<uint8_t> recordWhile(Play play) {
    MonitorRecorder recorder;
    const auto file = PulseEnvironment::server_.dir() / "monitor.raw";
    if (!recorder.start(KIVO_PAREC, file)) {
        ADD_FAILURE() << "parec could not record the null sink's monitor";
        return {};
    }
    play();
    // The tail may still be in the server or in the recorder's pipe: keep recording until the
    // monitor has delivered another 400 ms, however long a loaded machine takes for it.
    std::error_code ec;
    const uintmax_t atEnd = std::filesystem::file_size(file, ec);
    const uintmax_t tailBytes = 44100 * 4 * 400 / 1000;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::filesystem::file_size(file, ec) < atEnd + tailBytes &&
           std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    auto recording = recorder.stop();
    if (const char* keep = std::getenv("KIVO_KEEP_RECORDING")) {
        std::ofstream(keep, std::ios::binary)
            .write(reinterpret_cast<const char*>(recording.data()),
                   static_cast<std::streamsize>(recording.size()));
    }
    return recording;
}

// The frames of a 16-bit stereo recording that are not silent, in order.
inline std::vector<uint8_t> soundingFrames(const std::vector<uint8_t>& pcm) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        if (pcm[i] | pcm[i + 1] | pcm[i + 2] | pcm[i + 3]) {
            out.insert(out.end(), pcm.begin() + i, pcm.begin() + i + 4);
        }
    }
    return out;
}

// Waits until the recording under way holds `bytes` of sounding frames; false after `limit`.
inline bool waitUntilHeard(size_t bytes, std::chrono::milliseconds limit) {
    const auto file = PulseEnvironment::server_.dir() / "monitor.raw";
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> pcm{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
        if (soundingFrames(pcm).size() >= bytes) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The longest run of silent frames between the first and the last sounding frame.
inline size_t longestInnerSilence(const std::vector<uint8_t>& pcm) {
    size_t longest = 0, run = 0;
    bool begun = false;
    for (size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        const bool silent = !(pcm[i] | pcm[i + 1] | pcm[i + 2] | pcm[i + 3]);
        if (!silent) {
            if (begun) longest = std::max(longest, run);
            begun = true;
            run = 0;
        } else {
            ++run;
        }
    }
    return longest;
}

// How many frames were heard twice when `heard` is `signal` with a stretch replayed once
// (0: heard exactly); -1 when anything was lost or heard out of order.
inline long replayedFrames(const std::vector<uint8_t>& heard, const std::vector<uint8_t>& signal) {
    if (heard.size() < signal.size()) return -1;
    const size_t extra = heard.size() - signal.size();
    const auto split = std::mismatch(heard.begin(), heard.end(), signal.begin(), signal.end());
    const size_t k = static_cast<size_t>(split.first - heard.begin());
    // After the split the rest of the signal follows, starting `extra` bytes before the split.
    if (k < extra || !std::equal(heard.begin() + k, heard.end(), signal.begin() + (k - extra))) {
        return -1;
    }
    return static_cast<long>(extra / 4);
}

}  // namespace kivo::device::test
