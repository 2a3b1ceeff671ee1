// Feeds arbitrary bytes to the copy that runs as the message a later copy handed over. Every
// path received is one the sender could have sent: sending the received paths again gives the
// message up to its last NUL byte, so no path is split, joined with another or lost, and what a
// sender cut off in the middle of a path is dropped whole.
#include <cstdint>
#include <string>
#include <string_view>

#include "hand_over_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> files = kivo::handedOverFiles(message);
    for (const std::string& file : files) {
        if (file.find('\0') != std::string::npos) __builtin_trap();
    }
    const size_t lastNul = message.rfind('\0');
    const std::string_view whole =
        lastNul == std::string_view::npos ? std::string_view() : message.substr(0, lastNul + 1);
    if (kivo::handOverMessage(files) != whole) __builtin_trap();
    return 0;
}
