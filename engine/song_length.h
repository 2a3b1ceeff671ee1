// How long a song lasts, as the engine reckons it for its percentages: the Xing/Info frame
// count less what the encoder added, or the audio bytes over the mean length of the frames at
// its start. Only the start of the file is read.
#pragma once

#include <string>

namespace kivo {

// Seconds, or a negative number when the file holds no stream to measure.
double songSeconds(const std::string& path);

// "m:ss", or "h:mm:ss" from an hour on.
std::string clockTime(double seconds);

}  // namespace kivo
