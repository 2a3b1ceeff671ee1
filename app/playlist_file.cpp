#include "playlist_file.h"

namespace kivo {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}

std::vector<std::string> parsePlaylist(std::string_view bytes) {
    // In UTF-8 a CR LF can never sit inside a character, so a plain byte scan is exact.
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = bytes.find(kLineEnd); end != std::string_view::npos;
         end = bytes.find(kLineEnd, start)) {
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + kLineEnd.size();
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string formatPlaylist(const std::vector<std::string>& paths) {
    std::size_t size = 0;
    for (const auto& path : paths) size += path.size() + kLineEnd.size();
    std::string text;
    text.reserve(size);
    for (const auto& path : paths) {
        text += path;
        text += kLineEnd;
    }
    return text;
}

}  // namespace kivo
