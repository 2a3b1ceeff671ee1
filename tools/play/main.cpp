// kivo-play [-q] [--repeat N] [--start PERCENT] [--device pulse|alsa[:NAME]|wav:FILE|null] FILE...
// (on Windows --device waveout[:N]|wav:FILE|null)
//
// Plays the files through the engine's entry points, looked up by name as the player
// application looks them up, one player per song as the application holds them, and shows the
// song with a progress bar and its time fed by the engine's progress messages. Space pauses and
// resumes, the arrow keys jump 5 % back or on (the song starts anew there, as the engine
// starts songs), n and p go to the next and the previous file, q quits; the program ends with
// the list. A file that cannot play is named on standard error with the reason, the others
// still play, and the exit status is then 1.
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

#include "arguments.h"
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

#ifndef KIVO_VERSION
#define KIVO_VERSION "0"
#endif

// How far the arrow keys jump, in percent of the song.
constexpr int kSeekStep = 5;

void printUsage(FILE* to) {
    std::fprintf(to,
                 "usage: kivo-play [-q] [--repeat N] [--start PERCENT] "
                 "[--device %s] FILE...\n",
                 kDeviceChoices);
}

int usage() {
    printUsage(stderr);
    std::fputs("Try 'kivo-play --help' for more.\n", stderr);
    return 2;
}

void printHelp() {
    printUsage(stdout);
    std::fputs(
        "Plays MPEG audio files (Layer III and Layer II) through Kivo's engine.\n"
        "\n"
        "  --repeat N        play the list N times (0: without end); 1 by default\n"
        "  --start PERCENT   begin the first song there (0 to 100)\n"
        "  --device DEVICE   the sound device; the sound server's, else ALSA's default\n"
        "  -q                no status line, only what goes wrong\n"
        "  -h, --help        this text\n"
        "  --version         the program's version\n"
        "\n"
        "Keys: space pauses and resumes, left and right arrows jump 5 % back and on,\n"
        "n and p go to the next and the previous file, q quits.\n"
        "The exit status is 0 when every file played, 1 when one could not, 2 for a wrong\n"
        "command line.\n",
        stdout);
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
    explicit StatusLine(bool quiet) : tty_(::isatty(STDOUT_FILENO)), quiet_(quiet) {}

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
        if (quiet_) {
        } else if (tty_) {
            draw();
        } else if (!shown_) {
            std::printf("playing %zu/%zu: %s\n", index_ + 1, count_, name_.c_str());
            std::fflush(stdout);
        }
        shown_ = true;
    }
    void paused(bool paused) {
        paused_ = paused;
        if (tty_ && shown_ && !quiet_) draw();
    }
    void finish() {
        if (tty_ && !quiet_) std::printf("\n");
        std::fflush(stdout);
    }
    // A line of its own on standard error, without tearing the status line.
    void say(const std::string& line) {
        const bool drawn = tty_ && !quiet_;
        if (drawn) std::printf("\r\033[K");
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", line.c_str());
        if (drawn && shown_) draw();
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
            time = "  " + clockTime(seconds_ * percent_ / 100) + " / " + clockTime(seconds_);
        }
        std::printf("\r\033[K%s [%s] %3d%%%s%s", name.c_str(), bar.c_str(), percent_, time.c_str(),
                    paused_ ? "  (paused)" : "");
        std::fflush(stdout);
    }

    bool tty_;
    bool quiet_;
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

// The list as kivo-play walks it: the song playing, the passes made, and whether this pass
// played anything (a pass in which nothing could play would go round without end).
class SongList {
public:
    SongList(size_t count, int32_t repeat) : count_(count), repeat_(repeat) {}
    size_t current() const { return index_; }
    // Moves to the next song; false when the list is done.
    bool next(bool played) {
        passPlayed_ = passPlayed_ || played;
        if (++index_ < count_) return true;
        index_ = 0;
        ++pass_;
        const bool nothingPlayed = !passPlayed_;
        passPlayed_ = false;
        return !nothingPlayed && (repeat_ == 0 || pass_ < repeat_);
    }
    void previous() {
        if (index_ > 0) --index_;
    }

private:
    size_t count_;
    int32_t repeat_;  // 0: without end
    size_t index_ = 0;
    int32_t pass_ = 0;
    bool passPlayed_ = false;
};

// Where an arrow key jumps to from the percentage heard.
int32_t seekTarget(int key, int percent) {
    const int step = key == play::kKeyRight ? kSeekStep : -kSeekStep;
    return std::clamp(percent + step, 0, 100);
}

}  // namespace

int main(int argc, char** argv) {
    PlayOptions options;
    std::string problem;
    switch (parsePlayArguments(argc, argv, &options, &problem)) {
        case PlayCommand::Wrong:
            if (!problem.empty()) std::fprintf(stderr, "kivo-play: %s\n", problem.c_str());
            return usage();
        case PlayCommand::Help:
            printHelp();
            return 0;
        case PlayCommand::Version:
            std::printf("kivo-play %s\n", KIVO_VERSION);
            return 0;
        case PlayCommand::Play:
            break;
    }

    const std::vector<std::string>& files = options.files;
    if (!installDevice(options.device)) return 1;

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
#ifdef _WIN32
    const bool audioOnStandardInput = false;
#else
    // "-" is standard input, played once from its start without seeking.
    const bool audioOnStandardInput = std::find(files.begin(), files.end(), "-") != files.end();
#endif
    play::RawKeys keys(audioOnStandardInput);
    Engine engine;
    StatusLine status(options.quiet);
    SongList list(files.size(), options.repeat);

    Player* player = nullptr;
    int percent = 0;
    size_t failures = 0;
    bool failed = false;  // the song that ends next could not play
    // One player per song: the old one goes with every message it left for the window.
    auto startSong = [&](int32_t startPercent) {
        if (player) engine.removePlayer(player);
        while (window.take()) {
        }
        const std::string& file = files[list.current()];
        const bool standardInput = audioOnStandardInput && file == "-";
        const std::string source = standardInput ? "/dev/stdin" : file;
        std::vector<char> one(source.begin(), source.end());
        one.push_back('\0');
        one.push_back('\0');
        player = engine.createPlayer(one, 1);
        if (!player) return false;
        percent = std::clamp(startPercent, 0, 99);
        failed = false;
        status.song(standardInput ? "standard input" : baseName(file), list.current(), files.size(),
                    standardInput ? -1 : songSeconds(file));
        engine.newPlay(player, play::MessageWindow::kHandle, startPercent);
        return true;
    };
    auto fromPipe = [&] { return audioOnStandardInput && files[list.current()] == "-"; };
    bool finished = !startSong(options.startPercent);
    if (finished) std::fprintf(stderr, "kivo-play: out of memory\n");

    // Keys only from a terminal or a pipe that is still open.
    bool watchKeys = keys.active() || (!audioOnStandardInput && !::isatty(STDIN_FILENO));
    using Clock = std::chrono::steady_clock;
    Clock::time_point idleSince{};
    auto advance = [&](bool played) { finished = !list.next(played) || !startSong(0); };
    while (!finished && !interrupted) {
        const play::Wakeup ready = keys.wait(window, watchKeys, 250);
        if (ready.failed) break;

        while (auto message = window.take()) {
            if (message->message == WM_PLAYFAILED) {
                ++failures;
                failed = true;
                status.say(failureLine(files[list.current()], static_cast<int32_t>(message->wParam),
                                       options.device));
                // Without its sound device the rest of the list cannot be heard either.
                if (message->wParam == kFailDeviceLost) {
                    finished = true;
                    break;
                }
                continue;
            }
            if (message->message != WM_PLAYPROGRESS) continue;
            percent = static_cast<int>(message->wParam);
            if (percent < 100) {
                status.progress(percent);
                continue;
            }
            if (!failed) status.progress(100);
            advance(!failed);
            break;  // the messages left were the old player's
        }

        if (ready.key && !finished) {
            const int key = keys.read();
            if (key == 0 && !keys.active()) watchKeys = false;  // the input has ended
            if (key == 'q' || key == 'Q') break;
            if (key == ' ') {
                const int32_t state = engine.getPlayState(player);
                if (state == kPlayStatePlaying) engine.setPauseState(player, 1);
                if (state == kPlayStatePaused) engine.setPauseState(player, 0);
                status.paused(engine.getPlayState(player) == kPlayStatePaused);
            } else if (fromPipe()) {
                // Standard input cannot go back or jump: only n (and q) act on it.
                if (key == 'n' || key == 'N') advance(false);
            } else if (key == play::kKeyLeft || key == play::kKeyRight) {
                finished = !startSong(seekTarget(key, percent));
                status.paused(false);
            } else if (key == 'n' || key == 'N') {
                advance(false);
            } else if (key == 'p' || key == 'P') {
                list.previous();
                finished = !startSong(0);
            }
        }

        // A player that has stayed idle for a second without saying so has ended its song.
        if (!finished && engine.getPlayState(player) == kPlayStateIdle) {
            if (idleSince == Clock::time_point{}) idleSince = Clock::now();
            if (Clock::now() - idleSince > std::chrono::seconds(1)) {
                idleSince = {};
                advance(false);
            }
        } else {
            idleSince = {};
        }
    }

    if (player) engine.removePlayer(player);
    window.destroy();
    setNotifyWindows(nullptr);
    status.finish();
    device::setDeviceFactory(nullptr);  // the WAV file is complete once its writer goes
    return failures > 0 ? 1 : 0;
}
