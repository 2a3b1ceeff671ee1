// Feeds arbitrary bytes to the playlist file reader as a file's contents. Whatever the bytes,
// a list loaded and saved again must give back the very same bytes (a last line without CR LF
// gains one), so that a save never loses or changes a song the user did not touch.
#include <cstdint>
#include <string>
#include <string_view>

#include "playlist_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = kivo::parsePlaylist(bytes);
    for (const std::string& line : lines) {
        if (line.find("\r\n") != std::string::npos) __builtin_trap();
    }
    std::string expected(bytes);
    if (!expected.empty() && !expected.ends_with("\r\n")) expected += "\r\n";
    if (kivo::formatPlaylist(lines) != expected) __builtin_trap();
    return 0;
}
