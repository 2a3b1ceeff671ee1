#include "source_stage.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "id3_tags.h"

namespace kivo {

namespace {

StageResult openErrorOf(int error) {
    switch (error) {
        case ENOENT:
            return kNoSuchFile;
        case EACCES:
        case EPERM:
        case EISDIR:
            return kAccessDenied;
        case EINVAL:
        case ENAMETOOLONG:
            return kInvalidName;
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        default:
            return kOpenFailed;
    }
}

// The audio ends 128 bytes early when the file ends with an ID3v1 tag.
int64_t audioSizeOf(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    const int64_t length = std::ftell(file);
    if (length < 0) return 0;
    uint8_t tail[kId3v1Bytes];
    if (length >= static_cast<int64_t>(kId3v1Bytes) &&
        std::fseek(file, -static_cast<long>(kId3v1Bytes), SEEK_END) == 0) {
        const size_t got = std::fread(tail, 1, sizeof tail, file);
        if (endsWithId3v1(tail, got, static_cast<uint64_t>(length))) return length - 128;
    }
    return length;
}

// Leaves the file where the audio begins: after the whole of a leading ID3v2 tag, whatever its
// version (a large tag left to the frame search can hold more sync-like bytes than the search
// has attempts, and the file would never play). A file too short for a tag header stays where
// the probe left it.
void skipId3v2(std::FILE* file) {
    std::fseek(file, 0, SEEK_SET);
    uint8_t header[kId3v2HeaderBytes];
    if (std::fread(header, 1, sizeof header, file) < sizeof header) return;
    std::fseek(file, static_cast<long>(id3v2TagLength(header, sizeof header)), SEEK_SET);
}

}  // namespace

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
    std::error_code error;
    if (std::filesystem::is_directory(path_, error)) return kAccessDenied;
    errno = 0;
    file_ = std::fopen(path_.c_str(), "rb");
    if (!file_) return openErrorOf(errno);
    audioSize_ = audioSizeOf(file_);
    skipId3v2(file_);
    return kStageOk;
}

StageResult SourceStage::start(ByteRing** ring) {
    outputRing_ = std::make_unique<ByteRing>(kRingSize, kRingSpill);
    StageResult result = openFile();
    if (result == kStageOk && !reader_.start(&SourceStage::readerMain, this)) {
        result = kSourceThreadFailed;
    }
    if (result != kStageOk) {
        fail();
        return result;
    }
    *ring = outputRing_.get();
    return kStageOk;
}

StageResult SourceStage::size(uint32_t* size) const {
    *size =
        static_cast<uint32_t>(std::min<int64_t>(audioSize_, std::numeric_limits<uint32_t>::max()));
    return kStageOk;
}

StageResult SourceStage::seek(int64_t offset, int origin, int64_t* position) {
    std::lock_guard lock(fileMutex_);
    if (!file_ || !outputRing_) return kSeekFailed;
    StageResult result = kStageOk;
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
                // A read error counts as the end of the file.
                const size_t got = std::fread(span, 1, kChunkBytes, file_);
                if (ring.commitWrite(static_cast<uint32_t>(got)) != kStageOk) return;
                if (got < kChunkBytes) ring.setEnd(true);
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
