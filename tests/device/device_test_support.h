// Helpers shared by the device tests: buffers cut from one PCM signal, and a record of the
// buffers a device reported done.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "device/wave_out_device.h"

namespace kivo::device::test {

// A 16-bit signal in which no frame is silent and no stretch repeats: a lost or repeated piece
// shows up when what was played is compared with it.
inline std::vector<uint8_t> makeSignal(size_t frames, int channels) {
    std::vector<uint8_t> pcm(frames * channels * 2);
    uint32_t state = 12345;
    for (size_t i = 0; i < frames * channels; ++i) {
        state = state * 1664525u + 1013904223u;
        int16_t v = static_cast<int16_t>((state >> 16) % 16000 + 1000);
        if (state & 0x100) v = static_cast<int16_t>(-v);
        pcm[2 * i] = static_cast<uint8_t>(v);
        pcm[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }
    return pcm;
}

// Buffers over consecutive pieces of `pcm`, and the order in which they came back.
class BufferSet {
public:
    BufferSet(const std::vector<uint8_t>& pcm, uint32_t bytesPerBuffer) {
        for (size_t at = 0; at < pcm.size(); at += bytesPerBuffer) {
            auto b = std::make_unique<DeviceBuffer>();
            b->data = pcm.data() + at;
            b->bytes = static_cast<uint32_t>(std::min<size_t>(bytesPerBuffer, pcm.size() - at));
            b->user = static_cast<intptr_t>(buffers_.size());
            buffers_.push_back(std::move(b));
        }
    }

    WaveOutDevice::BufferDone callback() {
        return [this](DeviceBuffer* b) {
            std::lock_guard lock(mutex_);
            done_.push_back(b->user);
            doneAt_.push_back(std::chrono::steady_clock::now());
            changed_.notify_all();
        };
    }

    // Prepares and writes every buffer; false at the first refusal.
    bool queueAll(WaveOutDevice& device) {
        for (auto& b : buffers_) {
            if (device.prepare(b.get()) != DeviceResult::Ok) return false;
            if (device.write(b.get()) != DeviceResult::Ok) return false;
        }
        return true;
    }

    bool waitDone(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done_.size() >= count; });
    }

    std::vector<intptr_t> done() {
        std::lock_guard lock(mutex_);
        return done_;
    }
    std::chrono::steady_clock::time_point doneAt(size_t i) {
        std::lock_guard lock(mutex_);
        return doneAt_.at(i);
    }
    std::vector<intptr_t> inOrder() const {
        std::vector<intptr_t> order;
        for (size_t i = 0; i < buffers_.size(); ++i) order.push_back(static_cast<intptr_t>(i));
        return order;
    }

    size_t size() const { return buffers_.size(); }
    DeviceBuffer* operator[](size_t i) { return buffers_[i].get(); }

private:
    std::vector<std::unique_ptr<DeviceBuffer>> buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<intptr_t> done_;
    std::vector<std::chrono::steady_clock::time_point> doneAt_;
};

// Opens a device that must refuse, then checks that every other call is refused too and that
// no buffer comes back.
inline void expectRefusedAndHarmless(WaveOutDevice& device, const WaveFormat& format,
                                     BufferSet& buffers) {
    EXPECT_EQ(device.open(format, buffers.callback()), DeviceResult::Error);
    EXPECT_EQ(device.prepare(buffers[0]), DeviceResult::Error);
    EXPECT_EQ(device.write(buffers[0]), DeviceResult::Error);
    EXPECT_EQ(device.pause(), DeviceResult::Error);
    EXPECT_EQ(device.restart(), DeviceResult::Error);
    EXPECT_EQ(device.reset(), DeviceResult::Error);
    EXPECT_EQ(device.unprepare(buffers[0]), DeviceResult::Error);
    EXPECT_EQ(device.close(), DeviceResult::Error);
    EXPECT_TRUE(buffers.done().empty());
}

}  // namespace kivo::device::test
