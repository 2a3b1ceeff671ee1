// How long a song plays, for the desktop's media controls, which show and seek by time while
// the player itself counts in whole percent.
#pragma once

#include <cstdint>
#include <string>

namespace kivo {

// The playing time of the MPEG audio file at `path` in microseconds, from its frames; 0 when
// the file cannot be read or holds no stream.
int64_t trackLengthMicroseconds(const std::string& path);

}  // namespace kivo
