// kivo-decode's input read through a window of constant size, so that a file of any length
// decodes in the same memory: the audio between the tags, from a file or from standard input
// (a pipe, read once in order: its trailing tags are recognised only at its end).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace kivo::tools {

class InputWindow {
public:
    // Enough for the stream search (a megabyte and a look-ahead) with room to slide.
    static constexpr size_t kWindowBytes = size_t{2} << 20;
    // Bytes kept ahead of the reader while the input goes on: more than any frame or tag
    // header needs.
    static constexpr size_t kAheadBytes = size_t{64} << 10;

    InputWindow() = default;
    InputWindow(const InputWindow&) = delete;
    InputWindow& operator=(const InputWindow&) = delete;
    ~InputWindow();

    // Opens `path` ("-" is standard input), steps over the tags in front and fills the window.
    // False with errno set when it cannot be read.
    bool open(const std::string& path);

    // The bytes in the window.
    std::span<const uint8_t> bytes() const { return {buffer_.get(), filled_}; }
    // Drops the bytes before `position` (an offset into bytes()) when fewer than kAheadBytes
    // follow it, and reads on. How many bytes were dropped; false from ok() on a read error.
    size_t slide(size_t position);
    bool ok() const { return !failed_; }

    // The audio's length when the input is a file, 0 for a pipe; bytes dropped so far.
    uint64_t audioBytes() const { return audioBytes_; }
    uint64_t dropped() const { return dropped_; }

private:
    void fill();
    // At the end of a pipe: the ID3v1 and APE tags behind the audio leave the window.
    void trimTrailingTags();
    bool skipLeadingTags();

    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    struct FreeWindow {
        void operator()(uint8_t* bytes) const;
    };
    // Left unset until read into: zeroing two megabytes would cost a short file's decode.
    std::unique_ptr<uint8_t[], FreeWindow> buffer_;
    size_t filled_ = 0;
    uint64_t left_ = UINT64_MAX;  // audio bytes still to read from a file
    uint64_t audioBytes_ = 0;
    uint64_t dropped_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

}  // namespace kivo::tools
