#include "hand_over_message.h"

namespace kivo {

std::string handOverMessage(const std::vector<std::string>& files) {
    std::string message;
    for (const std::string& file : files) {
        message += file;
        message += '\0';
    }
    return message;
}

std::vector<std::string> handedOverFiles(std::string_view message) {
    std::vector<std::string> files;
    for (size_t end; (end = message.find('\0')) != std::string_view::npos;) {
        files.emplace_back(message.substr(0, end));
        message.remove_prefix(end + 1);
    }
    return files;
}

}  // namespace kivo
