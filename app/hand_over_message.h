// The message by which a later copy of the program hands the files of its command line to the
// copy that runs: each path ended by a NUL byte, which no path holds; the end of the
// connection ends the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

std::string handOverMessage(const std::vector<std::string>& files);

// The paths of a received message. A piece after the last NUL is a sender cut off in the
// middle of a path and is dropped; an empty path stays (nothing is found under it).
std::vector<std::string> handedOverFiles(std::string_view message);

}  // namespace kivo
