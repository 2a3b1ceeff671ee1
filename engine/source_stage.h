// The first stage of a pipeline: opens the MP3 file, measures its audio (the bytes between the
// tags in front and those at the end), steps over the tags in front and copies the file in
// 8192-byte chunks into the ring the decoder stage reads. Also answers the decoder's size
// query and seeks within the audio.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "audio_span.h"
#include "pipeline_stage.h"
#include "worker_thread.h"

namespace kivo {

class SourceStage : public PipelineStage {
public:
    static constexpr uint32_t kRingSize = 65536;
    static constexpr uint32_t kRingSpill = 8192;
    static constexpr uint32_t kChunkBytes = 8192;

    explicit SourceStage(StageOwner* owner) : PipelineStage(owner) {}
    ~SourceStage() override;

    StageResult setPath(const char* path);
    const std::string& path() const { return path_; }

    // Creates the ring, opens the file and starts the reader, which waits for the first kick.
    // On failure StageFailed is posted and the open error (or kSourceThreadFailed) returned.
    StageResult start(ByteRing** ring);
    // The audio bytes of the file (without its tags).
    StageResult size(uint32_t* size) const;
    // Repositions the file (origin as for fseek, SEEK_SET counting from the start of the
    // audio) and empties the ring; never in the middle of a chunk being read. kSeekFailed
    // leaves *position at fseek's answer.
    StageResult seek(int64_t offset, int origin, int64_t* position);

private:
    StageResult openFile();
    static void readerMain(void* stage);
    void readChunks();
    // At the end of the file: whether it ended before the audio measured when it opened.
    bool cutShort() const;

    std::string path_;
    std::FILE* file_ = nullptr;
    AudioSpan audio_;
    WorkerThread reader_;
    std::mutex fileMutex_;  // one chunk read or one seek at a time
};

}  // namespace kivo
