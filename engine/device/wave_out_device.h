// The wave-out device as the output stage uses it: buffers are queued in order, played, and
// reported back one by one; pause and restart act at once; close refuses while buffers are
// still queued. Backends: ALSA (winmm's wave-out on Windows), a virtual device for tests and tools,
// a WAV-file writer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kivo::device {

// The PCM the device plays: signed little-endian, channels interleaved.
struct WaveFormat {
    int32_t channels = 2;
    int32_t sampleRate = 44100;
    int32_t bitsPerSample = 16;
    int32_t blockAlign() const { return bitsPerSample / 8 * channels; }
    int32_t bytesPerSecond() const { return blockAlign() * sampleRate; }
};

// One queued buffer. The device never copies the bytes before it has played them: the memory
// must stay valid from write until the buffer is reported done (or the device is reset).
// `user` belongs to the caller.
struct DeviceBuffer {
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    intptr_t user = 0;
    bool prepared = false;  // set by prepare, cleared by unprepare
    bool queued = false;    // set by write, cleared once the buffer is reported done
};

enum class DeviceResult : int32_t {
    Ok = 0,
    Error = 1,         // a failed call; also every call on a device that is not open
    StillPlaying = 33  // unprepare or close while buffers are queued
};

class WaveOutDevice {
public:
    // Called on the device's own thread after the device has consumed a buffer (after reset,
    // for every buffer that was still queued). Must not call back into the device.
    using BufferDone = std::function<void(DeviceBuffer*)>;

    virtual ~WaveOutDevice() = default;
    virtual DeviceResult open(const WaveFormat& format, BufferDone done) = 0;
    virtual DeviceResult prepare(DeviceBuffer* buffer) = 0;
    virtual DeviceResult write(DeviceBuffer* buffer) = 0;
    virtual DeviceResult pause() = 0;
    virtual DeviceResult restart() = 0;
    // Stops playback at once and reports every queued buffer done.
    virtual DeviceResult reset() = 0;
    virtual DeviceResult unprepare(DeviceBuffer* buffer) = 0;
    virtual DeviceResult close() = 0;
    // Why the last open failed, in the sound system's own words; empty when it does not say.
    virtual std::string openError() const { return {}; }
    // Whether the open device has stopped working (its sound server went away, the card was
    // unplugged). What is queued still comes back, at the pace of the sound, played into
    // nothing; the caller decides whether to stop.
    virtual bool lost() const { return false; }
};

// Which backend new players get. `spec`: "default" (PulseAudio when a sound server answers,
// else ALSA; winmm's wave-out on Windows), "pulse", "alsa" (ALSA's default device),
// "alsa:NAME", on Windows "waveout" and "waveout:N" instead of those three, "wav:FILE", "null"
// (a virtual device paced in real time that plays into nothing) or "virtual" (a virtual device
// set up by a test through setDeviceFactory).
using DeviceFactory = std::function<std::unique_ptr<WaveOutDevice>()>;

// Creates a device by spec; null for an unknown spec.
std::unique_ptr<WaveOutDevice> createDevice(const std::string& spec);

// The factory the output stage asks for its device; the "default" device until set.
void setDeviceFactory(DeviceFactory factory);
std::unique_ptr<WaveOutDevice> createDefaultDevice();

}  // namespace kivo::device
