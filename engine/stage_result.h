// Result codes of the stage and ring operations. Operations return these instead of throwing.
#pragma once

#include <cstdint>

namespace kivo {

enum StageResult : int32_t {
    kStageOk = 0,
    kOpenFailed = 1,           // file open failed for another cause
    kPastSpill = 2,            // a read reservation would run past the spill area
    kNoSpace = 7,              // no room for a write reservation; or resize below the content
    kOutOfMemory = 8,          // copying the path ran out of memory
    kAccessDenied = 9,         // file open: access denied
    kNotRegularFile = 10,      // file open: a folder, not a file
    kInvalidName = 11,         // file open: invalid name
    kNoSuchFile = 12,          // file open: no such file
    kTooManyOpenFiles = 13,    // file open: too many open files
    kNotConnected = 15,        // decoder stage lacks its source or output stage
    kReadingBegun = 16,        // resize refused: reading has already begun
    kNoInputRing = 17,         // decoder stage has no input ring
    kNotSupported = 20,        // operation not supported by this source
    kNotEnoughData = 24,       // not enough data for a read reservation yet
    kSeekFailed = 25,          // seek failed
    kSourceThreadFailed = 26,  // creating the source thread failed
    kReadFailed = 27,          // reading the file failed in the middle
    kClosed = 28,              // the ring or stage is being destroyed
    kMarkerDue = 29,           // a marker lies within the requested read span
    kEndOfStream = 33,         // end flag set and fewer bytes remain than requested
    kNoStream = 1001,          // no MPEG audio stream found
    kDecoderRefused = 1002,    // the decoder refused the stream
    kDecoderThreadFailed = 1003,
    kDeviceRefused = 1004,  // the sound device would not open
    kDeviceLost = 1005,     // the sound device stopped working while the song played
    kFileCutShort = 1006,   // the file ended before the audio it held when the song began
};

}  // namespace kivo
