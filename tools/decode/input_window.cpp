#include "input_window.h"

#include <sys/stat.h>
#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "audio_span.h"
#include "id3_tags.h"

namespace kivo::tools {

namespace {
// Tags in front beyond this count are left to the stream search.
constexpr int kMostLeadingTags = 8;

// The window's memory. On Linux it is asked for as one huge page where the kernel offers them:
// a long file fills all of it, and 512 small pages cost a page fault each, which is as much
// time as decoding several seconds of audio.
uint8_t* allocateWindow() {
#ifdef __linux__
    void* bytes = std::aligned_alloc(InputWindow::kWindowBytes, InputWindow::kWindowBytes);
    if (!bytes) throw std::bad_alloc();
    madvise(bytes, InputWindow::kWindowBytes, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(bytes);
#else
    return static_cast<uint8_t*>(::operator new(InputWindow::kWindowBytes));
#endif
}
}  // namespace

void InputWindow::FreeWindow::operator()(uint8_t* bytes) const {
#ifdef __linux__
    std::free(bytes);
#else
    ::operator delete(bytes);
#endif
}

InputWindow::~InputWindow() {
    if (ownsFile_) std::fclose(file_);
}

bool InputWindow::open(const std::string& path) {
    if (path == "-") {
#ifdef _WIN32
        if (_setmode(_fileno(stdin), _O_BINARY) == -1) return false;
#endif
        file_ = stdin;
    } else {
        file_ = std::fopen(path.c_str(), "rb");
        ownsFile_ = file_ != nullptr;
        if (!file_) return false;
    }
    buffer_.reset(allocateWindow());
    struct stat st {};
    if (fstat(fileno(file_), &st) == 0 && S_ISREG(st.st_mode)) {
        // A file is measured: only the audio between its tags is read.
        const AudioSpan audio = measureAudioSpan(file_);
        left_ = static_cast<uint64_t>(audio.size());
        audioBytes_ = left_;
    } else if (!skipLeadingTags()) {
        return false;
    }
    fill();
    return ok();
}

bool InputWindow::skipLeadingTags() {
    for (int tag = 0; tag < kMostLeadingTags; ++tag) {
        fill();
        if (failed_) return false;
        const uint64_t length = id3v2TagLength(buffer_.get(), filled_);
        if (length == 0) return true;
        // A tag longer than the window (a cover picture) is read past in window-sized steps.
        uint64_t skip = length;
        while (skip > 0 && filled_ > 0) {
            const size_t step = static_cast<size_t>(std::min<uint64_t>(skip, filled_));
            std::memmove(buffer_.get(), buffer_.get() + step, filled_ - step);
            filled_ -= step;
            skip -= step;
            if (skip > 0) fill();
            if (failed_) return false;
        }
    }
    return true;
}

void InputWindow::fill() {
    while (!ended_ && filled_ < kWindowBytes) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kWindowBytes - filled_, left_));
        const size_t n = want == 0 ? 0 : std::fread(buffer_.get() + filled_, 1, want, file_);
        filled_ += n;
        if (left_ != UINT64_MAX) left_ -= n;
        if (n < want && std::ferror(file_)) {
            // A directory opens but cannot be read.
            failed_ = true;
            ended_ = true;
        } else if (n == 0 || left_ == 0) {
            ended_ = true;
            if (audioBytes_ == 0) trimTrailingTags();
        }
    }
}

void InputWindow::trimTrailingTags() {
    const size_t look = std::min<size_t>(filled_, kTrailingTagLook);
    const uint64_t tags =
        trailingTagBytes(buffer_.get() + filled_ - look, look, dropped_ + filled_);
    filled_ -= static_cast<size_t>(std::min<uint64_t>(tags, filled_));
}

size_t InputWindow::slide(size_t position) {
    if (ended_ || filled_ - std::min(position, filled_) >= kAheadBytes) return 0;
    const size_t drop = std::min(position, filled_);
    std::memmove(buffer_.get(), buffer_.get() + drop, filled_ - drop);
    filled_ -= drop;
    dropped_ += drop;
    fill();
    return drop;
}

}  // namespace kivo::tools
