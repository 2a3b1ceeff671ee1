// Why a song could not play. The player tells its notify window with WM_PLAYFAILED (wParam is
// one of these) and the programs name the reason to the user.
#pragma once

#include <cstdint>

#include "stage_result.h"

namespace kivo {

enum PlayFailure : int32_t {
    kFailCannotOpen = 1,     // missing, unreadable or not allowed
    kFailNotAFile = 2,       // a folder or another thing that is not a file
    kFailNoAudio = 3,        // no MPEG audio stream the decoder plays
    kFailDeviceRefused = 4,  // the sound device would not open
    kFailReadError = 5,      // reading stopped on an error in the middle of the song
    kFailDeviceLost = 6,     // the sound device stopped working in the middle of the song
    kFailCutShort = 7,       // the file became shorter while the song played
};

// The reason a stage's failure result gives.
PlayFailure playFailureOf(StageResult result);

// A few words for the reason, in English, for command-line programs.
const char* playFailureText(PlayFailure failure);

}  // namespace kivo
