// The playlist file format: one song path per line, every line (the last one too) ended by
// CR LF, an empty list is an empty file. Text is stored as the local code page's bytes (UTF-8
// here), unchanged, so paths that are not valid text survive a load and a save.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The lines of a playlist file. Every piece before a CR LF is a line, empty ones included; the
// rest after the last CR LF is a line only when it is not empty. A lone LF, like a NUL, is an
// ordinary byte of a line: cutting the list at a stray NUL would lose every song after it at
// the next save.
std::vector<std::string> parsePlaylist(std::string_view bytes);

// The file bytes for a list of paths: each path followed by CR LF.
std::string formatPlaylist(const std::vector<std::string>& paths);

}  // namespace kivo
