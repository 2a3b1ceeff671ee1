#include "play_sound.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "wave_clip.h"

namespace kivo::runtime {

namespace {

constexpr uint32_t kBufferBytes = 16384;

// Plays one clip at a time on a thread of its own.
class ClipPlayer {
public:
    ~ClipPlayer() { stop(); }

    void play(std::string bytes, bool loop) {
        stop();
        {
            std::lock_guard lock(mutex_);
            stopping_ = false;
        }
        playing_ = true;
        thread_ = std::thread([this, bytes = std::move(bytes), loop] {
            run(bytes, loop);
            playing_ = false;
        });
    }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    bool playing() const { return playing_; }

private:
    void run(const std::string& bytes, bool loop) {
        auto wave = parseWave(bytes);
        if (!wave) return;
        auto clip = decodeWave(*wave);
        if (!clip || stopRequested()) return;
        auto device = device::createDefaultDevice();
        if (!device) return;

        std::vector<device::DeviceBuffer> buffers;
        for (size_t at = 0; at < clip->pcm.size(); at += kBufferBytes) {
            device::DeviceBuffer b;
            b.data = clip->pcm.data() + at;
            b.bytes = static_cast<uint32_t>(std::min<size_t>(kBufferBytes, clip->pcm.size() - at));
            buffers.push_back(b);
        }
        size_t done = 0;
        auto onDone = [this, &done](device::DeviceBuffer*) {
            {
                std::lock_guard lock(mutex_);
                ++done;
            }
            wake_.notify_all();
        };
        if (device->open(clip->format, onDone) != device::DeviceResult::Ok) return;
        size_t queued = 0;
        for (auto& b : buffers) {
            if (device->prepare(&b) != device::DeviceResult::Ok) break;
        }
        do {
            {
                std::lock_guard lock(mutex_);
                done = 0;
            }
            queued = 0;
            for (auto& b : buffers) {
                if (!b.prepared || device->write(&b) != device::DeviceResult::Ok) break;
                ++queued;
            }
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return done >= queued || stopping_; });
        } while (loop && queued > 0 && !stopRequested());

        if (stopRequested()) {
            device->reset();  // every queued buffer is reported done
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::seconds(2), [&] { return done >= queued; });
        }
        for (auto& b : buffers) {
            if (b.prepared) device->unprepare(&b);
        }
        device->close();
    }

    bool stopRequested() {
        std::lock_guard lock(mutex_);
        return stopping_;
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::atomic<bool> playing_{false};
    std::thread thread_;
};

ClipPlayer& clipPlayer() {
    static ClipPlayer player;
    return player;
}

}  // namespace

bool playSound(std::string_view waveBytes, bool loop) {
    auto wave = parseWave(waveBytes);
    if (!wave || (wave->formatTag != kWaveFormatPcm && wave->formatTag != kWaveFormatMpegLayer3 &&
                  wave->formatTag != 0x0050)) {
        return false;
    }
    clipPlayer().play(std::string(waveBytes), loop);
    return true;
}

bool playSoundFile(const std::string& path, bool loop) {
    return playSound(readWholeFile(path), loop);
}

void stopSound() {
    clipPlayer().stop();
}

bool soundPlaying() {
    return clipPlayer().playing();
}

}  // namespace kivo::runtime
