// The last stage of a pipeline and its head: it owns the decoder and source stages, opens the
// chain, carries pause and run to the sound device, and plays the PCM ring. Device buffers
// point straight into the ring; a block leaves the ring only after the device has played it,
// strictly in the order the blocks were queued.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "device/wave_out_device.h"
#include "marker_ring.h"
#include "pipeline_stage.h"
#include "worker_thread.h"

namespace kivo {

class DecoderStage;
class SourceStage;

class OutputStage : public PipelineStage {
public:
    // The thread starts at once and waits for the first run.
    explicit OutputStage(StageOwner* owner);
    // Stops and joins the output thread, resets and closes the device, then destroys the
    // decoder and the source stage.
    ~OutputStage() override;

    void setSource(std::unique_ptr<SourceStage> source);
    void setDecoder(std::unique_ptr<DecoderStage> decoder);
    // Hands the path to the source, starts it and opens the decoder on its ring; the first
    // failure is returned.
    StageResult openChain(const char* path);
    void setStartPercent(int32_t percent);

    // Pausing stops the sound at once; run continues it from the same sample.
    void pause() override;
    void run() override;
    StageResult resetOutput() override;

private:
    enum class Next { Block, Again, End };

    StageResult openChainLocked(const char* path);
    static void threadMain(void* stage);
    void play();
    StageResult openDevice(const OutputFormat& format);
    void closeDevice();
    Next nextBlock(uint8_t** block);
    Next takeMarker();
    bool queueBlock(uint8_t* block);
    device::DeviceBuffer* takeFreeHeader();
    bool releasePlayed();
    bool drain();
    void bufferDone(device::DeviceBuffer* buffer);
    // Wakes the output thread from its sleep on the queue (after a pause or a stop request).
    void wakeOutputThread();

    std::unique_ptr<SourceStage> source_;
    std::unique_ptr<DecoderStage> decoder_;
    MarkerRing* pcmRing_ = nullptr;
    WorkerThread thread_;

    // Written by the output thread under mutex_, so that pause and run see a whole device.
    std::unique_ptr<device::WaveOutDevice> device_;
    bool deviceOpen_ = false;   // an open was attempted
    bool deviceReady_ = false;  // and succeeded
    OutputFormat format_;
    uint32_t blockBytes_ = 0;

    // Guards the buffers' user values, which the device's completion changes: 0 free, n > 0
    // queued as the n-th buffer, -n played and not yet released.
    std::mutex completionLock_;
    // Signalled when the device reports a buffer played, and on pause and stop: the output
    // thread sleeps on it while every buffer is queued or while it drains.
    std::condition_variable bufferPlayed_;
    std::vector<device::DeviceBuffer> headers_;
    uint32_t lastIssued_ = 0;
    uint32_t lastReleased_ = 0;
    uint32_t queuedBytes_ = 0;  // handed to the device and not yet released from the ring
};

}  // namespace kivo
