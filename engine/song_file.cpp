#include "song_file.h"

#include <cerrno>
#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kivo {

namespace {

StageResult openErrorOf(int error) {
    switch (error) {
        case ENOENT:
            return kNoSuchFile;
        case EACCES:
        case EPERM:
            return kAccessDenied;
        case EISDIR:
            return kNotRegularFile;
        case EINVAL:
        case ENAMETOOLONG:
            return kInvalidName;
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        default:
            return kOpenFailed;
    }
}

}  // namespace

#ifdef _WIN32

StageResult openSongFile(const std::string& path, std::FILE** file) {
    *file = nullptr;
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
        return kNotRegularFile;
    }
    errno = 0;
    *file = std::fopen(path.c_str(), "rb");
    return *file ? kStageOk : openErrorOf(errno);
}

#else

namespace {

// The process's own standard input, named as /dev/stdin: a program that hands over what a pipe
// brings it (kivo-play's "-") means to read it as it comes.
bool isStandardInput(const struct stat& info) {
    struct stat input {};
    return !S_ISDIR(info.st_mode) && ::fstat(STDIN_FILENO, &input) == 0 &&
           input.st_dev == info.st_dev && input.st_ino == info.st_ino;
}

}  // namespace

StageResult openSongFile(const std::string& path, std::FILE** file) {
    *file = nullptr;
    // Without O_NONBLOCK a pipe waits in open() for a writer; what is opened is looked at
    // before anything is read from it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return openErrorOf(errno);
    struct stat info {};
    StageResult result = kStageOk;
    if (::fstat(fd, &info) != 0) {
        result = kOpenFailed;
    } else if (!S_ISREG(info.st_mode) && !isStandardInput(info)) {
        result = kNotRegularFile;
    } else {
        // Reads of a regular file block as usual from here on.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) result = kOpenFailed;
    }
    if (result == kStageOk) {
        *file = ::fdopen(fd, "rb");
        if (*file) return kStageOk;
        result = openErrorOf(errno);
    }
    ::close(fd);
    return result;
}

#endif

}  // namespace kivo
