#include "text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace kivo::runtime {

CodePage localCodePage() {
    return CodePage::Utf8;
}

int32_t textLength(std::string_view text) {
    return static_cast<int32_t>(text.size());
}

std::string leftPart(std::string_view text, int32_t n) {
    if (n <= 0) return {};
    return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string rightPart(std::string_view text, int32_t n) {
    if (n <= 0) return {};
    size_t take = std::min(text.size(), static_cast<size_t>(n));
    return std::string(text.substr(text.size() - take));
}

int32_t compareText(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    int r = common ? std::memcmp(a.data(), b.data(), common) : 0;  // memcmp compares unsigned
    if (r != 0) return r < 0 ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::vector<std::string> splitText(std::string_view text, std::string_view delimiter,
                                   int32_t maxCount, CodePage codePage) {
    std::vector<std::string> pieces;
    if (text.empty() || maxCount == 0) return pieces;
    if (delimiter.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    int64_t remaining = maxCount < 0 ? std::numeric_limits<int64_t>::max() : maxCount;
    size_t pieceStart = 0;
    size_t at = 0;
    while (remaining > 0 && text.size() - at >= delimiter.size()) {
        if (text.compare(at, delimiter.size(), delimiter) == 0) {
            pieces.emplace_back(text.substr(pieceStart, at - pieceStart));
            at += delimiter.size();
            pieceStart = at;
            --remaining;
        } else if (codePage == CodePage::Gbk && static_cast<uint8_t>(text[at]) >= 0x80) {
            at += 2;  // a double-byte character never holds a delimiter
            if (at > text.size()) at = text.size();
        } else {
            ++at;
        }
    }
    if (remaining > 0 && pieceStart < text.size()) pieces.emplace_back(text.substr(pieceStart));
    return pieces;
}

std::string joinTexts(const std::vector<std::string>& texts) {
    std::string joined;
    for (const auto& t : texts) joined += t;
    return joined;
}

std::string toText(int32_t value) {
    return std::to_string(value);
}

std::string toText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string toText(bool value) {
    return value ? "真" : "假";
}

std::string bytesToText(std::string_view bytes) {
    return std::string(bytes.substr(0, bytes.find('\0')));
}

int32_t toInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);  // truncates toward zero
}

int32_t toInteger(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > int64_t{1} << 32) break;  // far enough to know it saturates
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace kivo::runtime
