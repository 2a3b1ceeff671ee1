// The backends by name, for the factory and for programs that pick one themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/virtual_device.h"
#include "device/wav_writer.h"
#include "device/wave_out_device.h"

namespace kivo::device {

// ALSA playback on the named PCM ("default" is what the desktop routes to). Without
// `pauseInPlace` a pause drops what ALSA holds and replays it from the played position, as it
// does anyway on a PCM that cannot pause.
std::unique_ptr<WaveOutDevice> createAlsaDevice(const std::string& pcmName,
                                                bool pauseInPlace = true);

// PulseAudio playback on the server's default sink (PipeWire desktops answer too).
std::unique_ptr<WaveOutDevice> createPulseDevice();
// Whether a sound server answers; the default device is PulseAudio then, ALSA otherwise.
bool soundServerAnswers();

// Unpaced: every buffer goes into the WAV file as soon as it is queued (and not paused).
std::unique_ptr<WaveOutDevice> createWavDevice(const std::string& path);
// The same over a writer that outlives the device, so that successive devices fill one file.
std::unique_ptr<WaveOutDevice> createWavDevice(std::shared_ptr<WavWriter> writer);

std::unique_ptr<WaveOutDevice> createVirtualDevice(VirtualDeviceOptions options);

#ifdef _WIN32
// winmm's wave-out device number `deviceId`; the wave mapper picks the system's default one.
constexpr uint32_t kWaveMapper = 0xFFFFFFFF;
std::unique_ptr<WaveOutDevice> createWaveOutDevice(uint32_t deviceId = kWaveMapper);
#endif

}  // namespace kivo::device
