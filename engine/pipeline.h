// One song's pipeline: the source stage reads the file into a byte ring, the decoder stage
// turns it into PCM blocks and markers in the PCM ring, and the output stage plays that ring on
// the sound device. The pipeline builds and links the three, starts, pauses and runs them, and
// takes them down in the order that keeps every link valid.
#pragma once

#include <cstdint>
#include <memory>

#include "notify_window.h"
#include "stage_message.h"
#include "stage_result.h"

namespace kivo {

class DecoderStage;
class OutputStage;
class SourceStage;

class Pipeline {
public:
    // The three stages, with `owner` receiving their reports, each stamped with `number`;
    // null when memory runs out.
    static std::unique_ptr<Pipeline> create(StageOwner* owner, WindowHandle notifyWindow,
                                            uint32_t number);
    // Stops the output (its thread, then the device), then the decoder, then the source.
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // Hands the path to the source, starts it and links the decoder and the output to the
    // rings; the first failure is returned.
    StageResult open(const char* path);
    // Where decoding begins, in percent of the song; applied before the first frame only.
    void setStartPercent(int32_t percent);
    // Pausing stops the sound at once; run starts the pipeline or continues it from the same
    // sample.
    void pause();
    void run();

private:
    Pipeline() = default;
    StageResult link(const char* path);

    std::unique_ptr<SourceStage> source_;
    std::unique_ptr<DecoderStage> decoder_;
    std::unique_ptr<OutputStage> output_;
};

}  // namespace kivo
