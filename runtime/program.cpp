#include "program.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files.h"
#include "play_sound.h"

namespace kivo::runtime {

namespace {

std::string readLink(const std::string& path) {
    std::string target(4096, '\0');
    ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return {};
    target.resize(static_cast<size_t>(n));
    // The kernel marks a replaced or removed program file; the name is still the one it ran as.
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.ends_with(kDeleted)) target.resize(target.size() - kDeleted.size());
    return target;
}

std::string baseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string programPath() {
    return readLink("/proc/self/exe");
}

// The kernel keeps the first 15 bytes of the program's name as the command; when the
// program file itself is out of reach (another user's process), that and the first command
// argument are all there is.
std::string exeNameOf(const std::string& procDir) {
    std::string exe = readLink(procDir + "/exe");
    if (!exe.empty()) return baseName(exe);
    std::string comm = readWholeFile(procDir + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (comm.size() >= 15) {
        std::string cmdline = readWholeFile(procDir + "/cmdline");
        std::string argv0 = baseName(cmdline.substr(0, cmdline.find('\0')));
        if (argv0.starts_with(comm)) return argv0;
    }
    return comm;
}

// A process that has ended but was not yet reaped by its parent still has a /proc entry; it
// runs nothing and must not count as a running copy.
bool isZombie(const std::string& procDir) {
    std::string stat = readWholeFile(procDir + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

struct EndState {
    std::vector<std::function<void()>> hooks;
    std::function<void(int)> terminate;
};

EndState& endState() {
    static EndState state;
    return state;
}

}  // namespace

std::string runDirectory() {
    std::string path = programPath();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string programFileName() {
    return baseName(programPath());
}

std::vector<ProcessEntry> processList() {
    std::vector<ProcessEntry> list;
    DIR* proc = ::opendir("/proc");
    if (!proc) return list;
    while (dirent* entry = ::readdir(proc)) {
        std::string_view name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        std::string dir = "/proc/" + std::string(name);
        if (isZombie(dir)) continue;
        std::string exe = exeNameOf(dir);
        if (exe.empty()) continue;  // gone meanwhile
        // The folder of a process belongs to the user it runs as.
        struct stat owner {};
        const int uid = ::stat(dir.c_str(), &owner) == 0 ? int(owner.st_uid) : -1;
        list.push_back({std::atoi(entry->d_name), std::move(exe), uid});
    }
    ::closedir(proc);
    return list;
}

void addEndProgramHook(std::function<void()> hook) {
    endState().hooks.push_back(std::move(hook));
}

void setProcessTerminator(std::function<void(int)> terminate) {
    endState().terminate = std::move(terminate);
}

void endProgram() {
    auto& state = endState();
    auto hooks = std::move(state.hooks);
    state.hooks.clear();
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) (*it)();
    stopSound();
    if (state.terminate) state.terminate(0);
    std::fflush(nullptr);
    ::_exit(0);
}

int screenWidth() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

int screenHeight() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

}  // namespace kivo::runtime
