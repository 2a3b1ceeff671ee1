// What the engine tests share: a scratch folder, synthetic MP3 streams whose frames carry a
// serial number, a stand-in decoder that turns each frame into one block of PCM holding that
// serial, a recorder for stage reports and a window system that records posts.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mpeg/decoder_ops.h"
#include "mpeg/frame_length.h"
#include "notify_window.h"
#include "player_entry.h"
#include "stage_message.h"

namespace kivo::test {

class ScratchFolder {
public:
    ScratchFolder() {
        // A name nobody holds yet; create_directory answers false for one that exists.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto dir = std::filesystem::temp_directory_path() /
                             ("kivo-engine-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(dir, error)) path_ = dir.string();
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = path_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Header bytes 1..3 of a frame (byte 0 is 0xFF).
struct FrameKind {
    uint8_t b1 = 0xFB;  // MPEG-1 Layer III, no CRC
    uint8_t b2 = 0x90;  // 128 kbit/s, 44.1 kHz, no padding: 417 bytes
    uint8_t b3 = 0x40;  // joint stereo
};
inline constexpr FrameKind kLayer3At48k{0xFB, 0x94, 0x40};  // 384 bytes
inline constexpr FrameKind kLayer1{0xFF, 0x90, 0x40};
inline constexpr FrameKind kLayer2Mpeg2{0xF5, 0x80, 0xC0};  // 64 kbit/s, 22.05 kHz, mono

inline int32_t frameBytesOf(FrameKind kind) {
    const uint8_t header[4] = {0xFF, kind.b1, kind.b2, kind.b3};
    const mpeg::FrameHeader h = mpeg::parseFrameHeader(header);
    return mpeg::frameLengthOf(h) + h.padding * mpeg::paddingUnitOf(h);
}

// Frame body: byte 4 is a magic the stand-in decoder checks, bytes 5 and 6 the serial in two
// 7-bit halves (so that no byte of it forms a sync), zeros after.
inline constexpr uint8_t kFrameMagic = 0x5A;

inline void appendFrame(std::vector<uint8_t>& out, int serial, FrameKind kind = {}) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(frameBytesOf(kind)), 0);
    out[at] = 0xFF;
    out[at + 1] = kind.b1;
    out[at + 2] = kind.b2;
    out[at + 3] = kind.b3;
    out[at + 4] = kFrameMagic;
    out[at + 5] = static_cast<uint8_t>((serial >> 7) & 0x7F);
    out[at + 6] = static_cast<uint8_t>(serial & 0x7F);
}

inline std::vector<uint8_t> frames(int count, FrameKind kind = {}, int firstSerial = 0) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) appendFrame(out, firstSerial + i, kind);
    return out;
}

inline void appendBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// The stand-in decoder: one process-wide instance, as the real one.
struct FakeDecoder {
    static inline std::mutex mutex;
    static inline mpeg::FrameHeader header{};
    static inline int32_t frameBytes = 0;
    static inline int inits = 0;
    static inline int refusals = 0;

    static int32_t init(const mpeg::FrameHeader* h, int32_t bytes, int32_t, int32_t, int32_t,
                        int32_t) {
        std::lock_guard lock(mutex);
        ++inits;
        if (h->layerCode != 1 && h->layerCode != 2) return 0;
        header = *h;
        frameBytes = bytes;
        return 1;
    }
    static int32_t channels() { return header.mode == 3 ? 1 : 2; }
    static int32_t samples() { return header.layerCode == 2 || header.id == 1 ? 1152 : 576; }
    static void format(mpeg::PcmFormat* f) {
        std::lock_guard lock(mutex);
        *f = mpeg::PcmFormat{
            channels(), samples() * channels(), mpeg::sampleRateOf(header), 16, frameBytes, 0};
    }
    static uint64_t decode(const uint8_t* frame, void* pcm) {
        std::lock_guard lock(mutex);
        if (!mpeg::isFrameSync(frame[0], frame[1]) || frame[4] != kFrameMagic) {
            ++refusals;
            return 0;
        }
        const mpeg::FrameHeader h = mpeg::parseFrameHeader(frame);
        const int32_t length = mpeg::frameLengthOf(h) + h.padding * mpeg::paddingUnitOf(h);
        const int serial = (frame[5] << 7) | frame[6];
        const uint32_t values = static_cast<uint32_t>(samples() * channels());
        auto* out = static_cast<int16_t*>(pcm);
        for (uint32_t i = 0; i < values; ++i) out[i] = static_cast<int16_t>(serial);
        return static_cast<uint32_t>(length) | (uint64_t{values * 2} << 32);
    }
    static const mpeg::DecoderOps& ops() {
        static const mpeg::DecoderOps table{&init, &format, &decode};
        return table;
    }
    static void resetCounts() {
        std::lock_guard lock(mutex);
        inits = refusals = 0;
    }
};

// The serial of every block in a stretch of PCM made by the stand-in decoder.
inline std::vector<int> serialsOf(const std::vector<uint8_t>& pcm, uint32_t blockBytes) {
    std::vector<int> serials;
    for (size_t at = 0; at + blockBytes <= pcm.size(); at += blockBytes) {
        serials.push_back(pcm[at] | (pcm[at + 1] << 8));
    }
    return serials;
}

inline std::vector<int> range(int first, int end) {
    std::vector<int> out;
    for (int i = first; i < end; ++i) out.push_back(i);
    return out;
}

class RecordingOwner : public StageOwner {
public:
    void postStageMessage(StageMessagePtr message) override {
        std::lock_guard lock(mutex_);
        codes_.push_back(message->code());
    }
    std::vector<int32_t> codes() const {
        std::lock_guard lock(mutex_);
        return codes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<int32_t> codes_;
};

struct Post {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
};

class RecordingWindows : public NotifyWindows {
public:
    WindowHandle createWindow() {
        std::lock_guard lock(mutex_);
        live_.insert(++lastWindow_);
        return lastWindow_;
    }
    void destroyWindow(WindowHandle window) {
        std::lock_guard lock(mutex_);
        live_.erase(window);
    }
    bool isWindow(WindowHandle window) override {
        std::lock_guard lock(mutex_);
        return live_.count(window) > 0;
    }
    bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t) override {
        std::lock_guard lock(mutex_);
        // Like the window system: a post to a window that is gone is lost.
        if (live_.count(window) == 0) return false;
        posts_.push_back({window, message, wParam});
        return true;
    }
    // The progress values posted to `window`, in order.
    std::vector<uintptr_t> progress(WindowHandle window) const {
        return values(window, WM_PLAYPROGRESS);
    }
    // The failure reasons posted to `window`, in order.
    std::vector<uintptr_t> failures(WindowHandle window) const {
        return values(window, WM_PLAYFAILED);
    }
    std::vector<uintptr_t> values(WindowHandle window, uint32_t message) const {
        std::lock_guard lock(mutex_);
        std::vector<uintptr_t> values;
        for (const Post& post : posts_) {
            if (post.window == window && post.message == message) values.push_back(post.wParam);
        }
        return values;
    }
    size_t postCount() const {
        std::lock_guard lock(mutex_);
        return posts_.size();
    }
    std::vector<Post> posts() const {
        std::lock_guard lock(mutex_);
        return posts_;
    }

private:
    mutable std::mutex mutex_;
    std::set<WindowHandle> live_;
    WindowHandle lastWindow_ = 0x1000;
    std::vector<Post> posts_;
};

// Polls `done` every millisecond for at most `limit`; false when time ran out.
template <typename Done>
bool waitFor(Done done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace kivo::test
