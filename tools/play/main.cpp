// kivo-play [--repeat N] [--start PERCENT] [--device pulse|alsa[:NAME]|wav:FILE|null] FILE...
// (on Windows --device waveout[:N]|wav:FILE|null)
//
// Plays the files through the engine's entry points, looked up by name as the player
// application looks them up, and shows the song with a progress bar fed by the engine's
// progress messages. Space pauses and resumes, q quits; the program ends with the list. A file
// that cannot play is named on standard error with the reason, the others still play, and
// the exit status is then 1.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/device_backends.h"
#include "message_window.h"
#include "player_entry.h"
#include "song_length.h"
#include "terminal.h"

namespace {

using namespace kivo;

volatile sig_atomic_t interrupted = 0;

void onSignal(int) {
    interrupted = 1;
}

#ifdef _WIN32
constexpr const char* kDeviceChoices = "waveout[:N]|wav:FILE|null";
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kDeviceChoices = "pulse|alsa[:NAME]|wav:FILE|null";
constexpr const char* kPathSeparators = "/";
#endif

struct Options {
    int32_t repeat = 1;
    int32_t startPercent = 0;
    // PulseAudio when a sound server answers, else ALSA; winmm's wave-out on Windows.
    std::string device = "default";
    std::vector<std::string> files;
};

int usage() {
    std::fprintf(stderr,
                 "usage: kivo-play [--repeat N] [--start PERCENT] "
                 "[--device %s] FILE...\n"
                 "  --repeat N   play the list N times (0: without end); 1 by default\n"
                 "  space pauses and resumes, q quits\n",
                 kDeviceChoices);
    return 2;
}

bool parseInt(const char* text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool parseArguments(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--repeat" && hasValue) {
            if (!parseInt(argv[++i], &options->repeat)) return false;
        } else if (arg == "--start" && hasValue) {
            if (!parseInt(argv[++i], &options->startPercent)) return false;
        } else if (arg == "--device" && hasValue) {
            options->device = argv[++i];
        } else if (arg == "--") {
            for (++i; i < argc; ++i) options->files.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    return !options->files.empty();
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Installs the device every player of this run gets; false (with the reason said) when the
// sound device cannot be opened. The engine is not asked: a player without a device stays
// silent by design, so the check is made here, once, before anything starts.
bool installDevice(const std::string& spec) {
    if (spec.rfind("wav:", 0) == 0 && spec.size() > 4) {
        const std::string path = spec.substr(4);
        FILE* probe = std::fopen(path.c_str(), "wb");
        if (!probe) {
            std::fprintf(stderr, "kivo-play: cannot write the sound file %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        std::fclose(probe);
        // One writer for the whole run: every song of the list goes into the one file.
        auto writer = std::make_shared<device::WavWriter>(path);
        device::setDeviceFactory([writer] { return device::createWavDevice(writer); });
        return true;
    }
#ifdef _WIN32
    if (spec == "default") return installDevice("waveout");
#else
    if (spec == "default") return installDevice(device::soundServerAnswers() ? "pulse" : "alsa");
#endif
    auto probe = device::createDevice(spec);
    if (!probe) {
        std::fprintf(stderr, "kivo-play: unknown sound device \"%s\"\n", spec.c_str());
        return false;
    }
    if (probe->open({2, 44100, 16}, nullptr) != device::DeviceResult::Ok) {
        const std::string why = probe->openError();
        std::fprintf(stderr, "kivo-play: cannot open the sound device \"%s\"%s%s\n", spec.c_str(),
                     why.empty() ? "" : ": ", why.c_str());
        return false;
    }
    probe->close();
    device::setDeviceFactory([spec] { return device::createDevice(spec); });
    return true;
}

// The engine's entries, looked up by name before each call as the application does.
class Engine {
public:
    Engine() { resolver_.bind(&engineInitialise, &engineLookup, &engineRelease); }

    Player* createPlayer(const std::vector<char>& list, int32_t repeat) {
        auto entry = resolver_.lookupAs<CreatePlayerEntry>("CreatePlayer");
        return entry ? entry(list.data(), repeat) : nullptr;
    }
    void newPlay(Player* p, WindowHandle window, int32_t start) {
        if (auto entry = resolver_.lookupAs<NewPlayEntry>("NewPlay"))
            entry(p, window, nullptr, start);
    }
    void setPauseState(Player* p, int32_t pause) {
        if (auto entry = resolver_.lookupAs<SetPauseStateEntry>("SetPauseState")) entry(p, pause);
    }
    int32_t getPlayState(Player* p) {
        auto entry = resolver_.lookupAs<GetPlayStateEntry>("GetPlayState");
        return entry ? entry(p) : 0;
    }
    void removePlayer(Player* p) {
        if (auto entry = resolver_.lookupAs<RemovePlayerEntry>("RemovePlayer")) entry(p);
    }

private:
    EntryResolver resolver_;
};

// The status line: song, bar and percentage, redrawn in place on a terminal; on anything else
// one line per song.
class StatusLine {
public:
    StatusLine() : tty_(::isatty(STDOUT_FILENO)) {}

    // A song starts; it is shown once its first sound is heard, so that one that cannot play
    // is never shown as playing.
    void song(const std::string& name, size_t index, size_t count, double seconds) {
        name_ = name;
        percent_ = 0;
        seconds_ = seconds;
        index_ = index;
        count_ = count;
        shown_ = false;
    }
    void progress(int percent) {
        percent_ = percent;
        if (tty_) {
            draw();
        } else if (!shown_) {
            std::printf("playing %zu/%zu: %s\n", index_ + 1, count_, name_.c_str());
            std::fflush(stdout);
        }
        shown_ = true;
    }
    void paused(bool paused) {
        paused_ = paused;
        if (tty_ && shown_) draw();
    }
    void finish() {
        if (tty_) std::printf("\n");
        std::fflush(stdout);
    }
    // A line of its own on standard error, without tearing the status line.
    void say(const std::string& line) {
        if (tty_) std::printf("\r\033[K");
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", line.c_str());
        if (tty_ && shown_) draw();
    }

private:
    void draw() {
        constexpr int kWidth = 30;
        const int filled = std::clamp(percent_, 0, 100) * kWidth / 100;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(kWidth - filled), '-');
        std::string name = name_.size() > 40 ? name_.substr(0, 37) + "..." : name_;
        // The time heard, from the same percentage the bar shows.
        std::string time;
        if (seconds_ > 0) {
            time = "  " + play::minutesAndSeconds(seconds_ * percent_ / 100) + " / " +
                   play::minutesAndSeconds(seconds_);
        }
        std::printf("\r\033[K%s [%s] %3d%%%s%s", name.c_str(), bar.c_str(), percent_, time.c_str(),
                    paused_ ? "  (paused)" : "");
        std::fflush(stdout);
    }

    bool tty_;
    std::string name_;
    int percent_ = 0;
    double seconds_ = -1;
    size_t index_ = 0;
    size_t count_ = 0;
    bool shown_ = false;
    bool paused_ = false;
};

// The line that names a file that cannot play and why.
std::string failureLine(const std::string& file, int32_t reason, const std::string& deviceSpec) {
    std::string line = "kivo-play: " + file + ": " + playFailureText(PlayFailure(reason));
    if (reason == kFailCannotOpen) {
        errno = 0;
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            std::fclose(f);
        } else {
            line += std::string(" (") + std::strerror(errno) + ")";
        }
    } else if (reason == kFailDeviceRefused) {
        // The device is asked again, for the sound system's own reason.
        if (auto probe = device::createDevice(deviceSpec)) {
            if (probe->open({2, 44100, 16}, nullptr) == device::DeviceResult::Ok) {
                probe->close();
            } else if (const std::string why = probe->openError(); !why.empty()) {
                line += " (" + why + ")";
            }
        }
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseArguments(argc, argv, &options)) return usage();

    const std::vector<std::string>& files = options.files;
    if (!installDevice(options.device)) return 1;

    std::vector<char> list;
    for (const std::string& file : files) {
        list.insert(list.end(), file.begin(), file.end());
        list.push_back('\0');
    }
    list.push_back('\0');

#ifdef _WIN32
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#else
    // Without SA_RESTART, so that the wait ends at once.
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#endif

    play::MessageWindow window;
    setNotifyWindows(&window);
    play::RawKeys keys;
    Engine engine;
    StatusLine status;

    Player* player = engine.createPlayer(list, options.repeat);
    if (!player) {
        std::fprintf(stderr, "kivo-play: out of memory\n");
        return 1;
    }
    const size_t songsToPlay =
        options.repeat > 0 ? files.size() * static_cast<size_t>(options.repeat) : 0;
    size_t songsEnded = 0;
    size_t failures = 0;
    bool failed = false;  // the song that ends next could not play
    auto startSong = [&](size_t index) {
        status.song(baseName(files[index]), index, files.size(), play::songSeconds(files[index]));
    };
    startSong(0);
    engine.newPlay(player, play::MessageWindow::kHandle, options.startPercent);

    // Keys only from a terminal or a pipe that is still open.
    bool watchKeys = keys.active() || !::isatty(STDIN_FILENO);
    using Clock = std::chrono::steady_clock;
    Clock::time_point idleSince{};
    bool finished = false;
    while (!finished && !interrupted) {
        const play::Wakeup ready = keys.wait(window, watchKeys, 250);
        if (ready.failed) break;

        while (auto message = window.take()) {
            if (message->message == WM_PLAYFAILED) {
                ++failures;
                failed = true;
                status.say(failureLine(files[songsEnded % files.size()],
                                       static_cast<int32_t>(message->wParam), options.device));
                continue;
            }
            if (message->message != WM_PLAYPROGRESS) continue;
            const int percent = static_cast<int>(message->wParam);
            if (percent < 100) {
                status.progress(percent);
                continue;
            }
            if (!failed) status.progress(100);
            failed = false;
            ++songsEnded;
            if (songsToPlay != 0 && songsEnded >= songsToPlay) {
                finished = true;
                break;
            }
            startSong(songsEnded % files.size());
        }

        if (ready.key) {
            const int key = keys.read();
            if (key == 0 && !keys.active()) watchKeys = false;  // the input has ended
            if (key == 'q' || key == 'Q') break;
            if (key == ' ') {
                const int32_t state = engine.getPlayState(player);
                if (state == kPlayStatePlaying) engine.setPauseState(player, 1);
                if (state == kPlayStatePaused) engine.setPauseState(player, 0);
                status.paused(engine.getPlayState(player) == kPlayStatePaused);
            }
        }

        // A song that could not start sends no message; a player that has stayed idle for a
        // second has nothing left to play.
        if (engine.getPlayState(player) == kPlayStateIdle) {
            if (idleSince == Clock::time_point{}) idleSince = Clock::now();
            if (Clock::now() - idleSince > std::chrono::seconds(1)) finished = true;
        } else {
            idleSince = {};
        }
    }

    engine.removePlayer(player);
    window.destroy();
    setNotifyWindows(nullptr);
    status.finish();
    device::setDeviceFactory(nullptr);  // the WAV file is complete once its writer goes
    return failures > 0 ? 1 : 0;
}
