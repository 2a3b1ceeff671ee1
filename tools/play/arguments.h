// kivo-play's command line: the options and the files to play. Reading it touches nothing else
// (no device, no output), so that any argv can be fed to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

struct PlayOptions {
    int32_t repeat = 1;
    int32_t startPercent = 0;
    bool quiet = false;
    // PulseAudio when a sound server answers, else ALSA; winmm's wave-out on Windows.
    std::string device = "default";
    std::vector<std::string> files;
};

// What the command line asks for.
enum class PlayCommand { Play, Help, Version, Wrong };

// Reads argv[1] to argv[argc - 1]. On Wrong, *problem says what is wrong in a line for standard
// error, or is empty when no file was named.
PlayCommand parsePlayArguments(int argc, const char* const* argv, PlayOptions* options,
                               std::string* problem);

}  // namespace kivo
