#include "music_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace kivo {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool writable(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
        return user->pw_dir;
    }
    return "/tmp";
}

std::string besideProgram(const std::string& programDir) {
    return programDir + "/music";
}

// Installed programs never write beside themselves, not even when run by root, for whom a
// system folder is writable.
bool installedCopy(const std::string& programDir) {
    constexpr std::string_view kBin = "/bin";
    return std::string_view(programDir).ends_with(kBin) &&
           exists(programDir.substr(0, programDir.size() - kBin.size()) +
                  "/share/applications/io.github.kivo.Kivo.desktop");
}

}  // namespace

std::string userMusicFolder() {
    // Relative values of XDG_DATA_HOME are invalid and ignored, as the base directory rules say.
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string base =
        data != nullptr && data[0] == '/' ? std::string(data) : homeFolder() + "/.local/share";
    return base + "/kivo/music";
}

std::string musicFolder(const std::string& programDir) {
    const std::string beside = besideProgram(programDir);
    if (installedCopy(programDir)) return userMusicFolder();
    if (isFolder(beside)) return writable(beside) ? beside : userMusicFolder();
    if (!exists(beside) && writable(programDir)) return beside;
    return userMusicFolder();
}

void createMusicFolder(const std::string& programDir) {
    const std::string folder = musicFolder(programDir);
    if (folder == besideProgram(programDir)) {
        ::mkdir(folder.c_str(), 0777);
        return;
    }
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0777);
        if (slash == std::string::npos) break;
    }
}

std::string playlistFilePath(const std::string& programDir, const std::string& name) {
    return musicFolder(programDir) + "/" + name + ".ini";
}

std::string playlistReadPath(const std::string& programDir, const std::string& name) {
    const std::string inUse = playlistFilePath(programDir, name);
    const std::string beside = besideProgram(programDir) + "/" + name + ".ini";
    if (inUse == beside || exists(inUse) || ::access(beside.c_str(), R_OK) != 0) return inUse;
    return beside;
}

}  // namespace kivo
