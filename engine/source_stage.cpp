#include "source_stage.h"

#include <limits>

#include "audio_span.h"
#include "song_file.h"

namespace kivo {

SourceStage::~SourceStage() {
    requestStop();
    if (outputRing_) outputRing_->close();  // a reservation wait must not outlive the stage
    reader_.join();
    if (file_) std::fclose(file_);
}

StageResult SourceStage::setPath(const char* path) {
    try {
        path_ = path ? path : "";
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kStageOk;
}

StageResult SourceStage::openFile() {
    const StageResult opened = openSongFile(path_, &file_);
    if (opened == kStageOk) audio_ = measureAudioSpan(file_);
    return opened;
}

StageResult SourceStage::start(ByteRing** ring) {
    outputRing_ = std::make_unique<ByteRing>(kRingSize, kRingSpill);
    StageResult result = openFile();
    if (result == kStageOk && !reader_.start(&SourceStage::readerMain, this)) {
        result = kSourceThreadFailed;
    }
    if (result != kStageOk) {
        fail(result);
        return result;
    }
    *ring = outputRing_.get();
    return kStageOk;
}

StageResult SourceStage::size(uint32_t* size) const {
    *size = static_cast<uint32_t>(
        std::min<int64_t>(audio_.size(), std::numeric_limits<uint32_t>::max()));
    return kStageOk;
}

StageResult SourceStage::seek(int64_t offset, int origin, int64_t* position) {
    std::lock_guard lock(fileMutex_);
    if (!file_ || !outputRing_) return kSeekFailed;
    StageResult result = kStageOk;
    // Offsets from the start count from where the audio begins, after the tags.
    if (origin == SEEK_SET) offset += audio_.start;
    const int answer = std::fseek(file_, static_cast<long>(offset), origin);
    if (answer != 0) {
        *position = answer;
        result = kSeekFailed;
    } else {
        *position = std::ftell(file_);
    }
    // The ring may hold bytes from before the seek and its end flag; both go.
    if (outputRing_->reset() == kClosed) return kClosed;
    kick();
    return result;
}

bool SourceStage::cutShort() const {
    // Standard input read as it comes was never measured: its end is where it ends.
    const long at = std::ftell(file_);
    return at >= 0 && at < audio_.end;
}

void SourceStage::readerMain(void* stage) {
    static_cast<SourceStage*>(stage)->readChunks();
}

void SourceStage::readChunks() {
    if (waitForWake()) return;
    ByteRing& ring = *outputRing_;
    while (!stopRequested()) {
        if (ring.end()) {
            waitForWake();  // nothing to read until a seek resets the ring
            continue;
        }
        if (paused()) {
            waitWhilePaused();
            continue;
        }
        bool full = false;
        {
            std::lock_guard lock(fileMutex_);
            uint8_t* span = nullptr;
            const StageResult reserved = ring.reserveWrite(kChunkBytes, &span);
            if (reserved == kClosed) return;
            if (reserved == kNoSpace) {
                full = true;
            } else {
                const size_t got = std::fread(span, 1, kChunkBytes, file_);
                if (ring.commitWrite(static_cast<uint32_t>(got)) != kStageOk) return;
                if (got < kChunkBytes) ring.setEnd(true);
                // A song cut short by a failing disk is said, not passed off as its end.
                if (got < kChunkBytes && std::ferror(file_)) {
                    fail(kReadFailed);
                    return;
                }
                // So is a file made shorter while it plays (a download started anew, an
                // editor that rewrites it in place).
                if (got < kChunkBytes && cutShort()) {
                    fail(kFileCutShort);
                    return;
                }
            }
        }
        if (full) {
            waitForWake();
        } else {
            kickConsumer();
        }
    }
}

}  // namespace kivo
