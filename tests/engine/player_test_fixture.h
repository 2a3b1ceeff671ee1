// A player test's world: the stand-in decoder, a virtual sound device that records what it
// plays, and a window system that records what is posted.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoder_stage.h"
#include "device/device_backends.h"
#include "engine_test_support.h"
#include "player_entry.h"

namespace kivo::test {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setPipelineDecoderOps(&FakeDecoder::ops());
        setNotifyWindows(&windows);
        log = std::make_shared<device::VirtualDeviceLog>();
        device::setDeviceFactory([this] {
            device::VirtualDeviceOptions options;
            options.speed = speed;
            options.refuseOpen = refuseOpen;
            options.log = log;
            return device::createVirtualDevice(options);
        });
    }
    void TearDown() override {
        device::setDeviceFactory(nullptr);
        setNotifyWindows(nullptr);
        setPipelineDecoderOps(nullptr);
    }

    // A list of paths for CreatePlayer: each ended by NUL, one more NUL at the end.
    static std::string fileList(const std::vector<std::string>& paths) {
        std::string list;
        for (const std::string& path : paths) list += path + '\0';
        return list + '\0';
    }
    std::vector<int> played() const { return serialsOf(log->pcm(), 4608); }
    size_t endsPosted(WindowHandle window) const {
        size_t ends = 0;
        for (uintptr_t value : windows.progress(window)) ends += value == 100;
        return ends;
    }
    bool waitForEnds(WindowHandle window, size_t count,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return waitFor([&] { return endsPosted(window) >= count; }, limit);
    }

    double speed = 0;  // unpaced unless a test needs real time
    bool refuseOpen = false;
    ScratchFolder folder;
    RecordingWindows windows;
    std::shared_ptr<device::VirtualDeviceLog> log;
};

}  // namespace kivo::test
