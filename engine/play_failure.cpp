#include "play_failure.h"

namespace kivo {

PlayFailure playFailureOf(StageResult result) {
    switch (result) {
        case kNotRegularFile:
            return kFailNotAFile;
        case kNoStream:
        case kDecoderRefused:
            return kFailNoAudio;
        case kDeviceRefused:
            return kFailDeviceRefused;
        case kDeviceLost:
            return kFailDeviceLost;
        case kFileCutShort:
            return kFailCutShort;
        case kOpenFailed:
        case kOutOfMemory:
        case kAccessDenied:
        case kInvalidName:
        case kNoSuchFile:
        case kTooManyOpenFiles:
        case kNotConnected:
        case kSourceThreadFailed:
        case kDecoderThreadFailed:
            return kFailCannotOpen;
        default:
            return kFailReadError;
    }
}

const char* playFailureText(PlayFailure failure) {
    switch (failure) {
        case kFailCannotOpen:
            return "cannot open";
        case kFailNotAFile:
            return "not a regular file";
        case kFailNoAudio:
            return "no MPEG audio stream";
        case kFailDeviceRefused:
            return "the sound device cannot open";
        case kFailReadError:
            return "read error";
        case kFailDeviceLost:
            return "the sound device went away";
        case kFailCutShort:
            return "the file was cut short while it played";
    }
    return "cannot play";
}

}  // namespace kivo
