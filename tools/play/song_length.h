// How long a song lasts, as the engine reckons it for its percentages: the Xing frame count,
// or the audio bytes over the first frame's length. Only the start of the file is read.
#pragma once

#include <string>

namespace kivo::play {

// Seconds, or a negative number when the file holds no stream to measure.
double songSeconds(const std::string& path);

// "m:ss".
std::string minutesAndSeconds(double seconds);

}  // namespace kivo::play
