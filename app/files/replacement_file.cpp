#include "replacement_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kivo {

namespace {

// mkstemp's six letters and digits after the name.
constexpr std::string_view kTempSuffix = ".XXXXXX";

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isTempOf(std::string_view entry, const std::string& name) {
    const std::size_t stem = 1 + name.size() + 1;  // ".NAME."
    if (entry.size() != stem + kTempSuffix.size() - 1 || entry[0] != '.' ||
        entry.substr(1, name.size()) != name || entry[stem - 1] != '.') {
        return false;
    }
    return std::all_of(entry.begin() + long(stem), entry.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a symbolic link points at is the one to replace, not the link itself.
std::string resolveLink(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string path) : path_(resolveLink(path)) {
    tempPath_ = folderOf(path_) + "/." + nameOf(path_) + std::string(kTempSuffix);
    fd_ = ::mkstemp(tempPath_.data());
    if (fd_ < 0) return;
    // mkstemp makes the file private; give it the old file's mode, or the usual one for a new
    // file, so that replacing does not change who may read the list.
    struct stat old {};
    const mode_t mode =
        ::stat(path_.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~currentUmask());
    ::fchmod(fd_, mode);
}

ReplacementFile::~ReplacementFile() {
    discard();
}

bool ReplacementFile::write(std::string_view bytes) {
    if (fd_ < 0 || failed_) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ReplacementFile::commit() {
    if (fd_ < 0 || failed_) return false;
    const bool flushed = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    syncFolder(folderOf(path_));
    return true;
}

void ReplacementFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

void removeLeftoverReplacements(const std::string& path) {
    const std::string target = resolveLink(path);
    const std::string folder = folderOf(target);
    const std::string name = nameOf(target);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTempOf(entry->d_name, name)) continue;
        const std::string leftover = folder + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(leftover.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            ::unlink(leftover.c_str());
        }
    }
    ::closedir(dir);
}

bool replaceFileContents(const std::string& path, std::string_view bytes) {
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) return false;
    ReplacementFile file(path);
    return file.write(bytes) && file.commit();
}

}  // namespace kivo
