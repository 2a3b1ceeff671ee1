#include "play_sound.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
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

// One clip on its thread: decodes it, queues it on a device of its own, waits until it has
// played (again and again when looping) or until it is told to stop.
class ClipRun {
public:
    ClipRun(std::string bytes, bool loop)
        : thread_([this, bytes = std::move(bytes), loop] {
              run(bytes, loop);
              finished_ = true;
          }) {}
    ~ClipRun() {
        requestStop();
        thread_.join();
    }

    void requestStop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
    }
    bool finished() const { return finished_; }

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
        for (auto& b : buffers) {
            if (device->prepare(&b) != device::DeviceResult::Ok) break;
        }
        size_t queued = 0;
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
    std::atomic<bool> finished_{false};
    std::thread thread_;  // last: starts once everything above exists
};

// The clip that plays and the ones still winding down. A new clip neither waits for the old
// one to stop nor plays beside it for longer than its device takes to be reset.
class ClipPlayer {
public:
    ~ClipPlayer() { stop(); }

    void play(std::string bytes, bool loop) {
        std::lock_guard lock(mutex_);
        for (auto& run : runs_) run->requestStop();
        // Those that have ended are joined at once; the others when they have.
        runs_.remove_if([](const std::unique_ptr<ClipRun>& run) { return run->finished(); });
        runs_.push_back(std::make_unique<ClipRun>(std::move(bytes), loop));
    }

    void stop() {
        std::list<std::unique_ptr<ClipRun>> ending;
        {
            std::lock_guard lock(mutex_);
            ending.swap(runs_);
        }
        for (auto& run : ending) run->requestStop();
        ending.clear();  // joins
    }

    bool playing() {
        std::lock_guard lock(mutex_);
        return !runs_.empty() && !runs_.back()->finished();
    }

private:
    std::mutex mutex_;
    std::list<std::unique_ptr<ClipRun>> runs_;
};

ClipPlayer& clipPlayer() {
    static ClipPlayer player;
    return player;
}

}  // namespace

bool playSound(std::string_view waveBytes, bool loop) {
    auto wave = parseWave(waveBytes);
    if (!wave || (wave->formatTag != kWaveFormatPcm && wave->formatTag != kWaveFormatMpegLayer3 &&
                  wave->formatTag != kWaveFormatMpeg)) {
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
