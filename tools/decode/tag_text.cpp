#include "tag_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "id3_tags.h"

namespace kivo::tools {

namespace {

// Tags larger than this (cover pictures) are read no further: text frames come first.
constexpr size_t kMostTagBytes = size_t{1} << 20;

uint32_t synchsafe(const uint8_t* p) {
    return uint32_t(p[0] & 0x7F) << 21 | (p[1] & 0x7F) << 14 | (p[2] & 0x7F) << 7 | (p[3] & 0x7F);
}

constexpr uint32_t kReplacement = 0xFFFD;

// A lone surrogate or a number beyond Unicode (from a broken tag) becomes U+FFFD.
void appendUtf8(std::string& out, uint32_t c) {
    if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
        out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                char(0x80 | (c & 0x3F))};
    }
}

std::string utf16(const uint8_t* p, size_t n, bool bigEndian) {
    if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        bigEndian = p[0] == 0xFE;
        p += 2, n -= 2;
    }
    std::string out;
    for (size_t i = 0; i + 1 < n; i += 2) {
        uint32_t c = bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < n) {
            const uint32_t low =
                bigEndian ? (p[i + 2] << 8 | p[i + 3]) : (p[i + 3] << 8 | p[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

// Text marked UTF-8 up to its first NUL; a byte that begins no well-formed sequence becomes
// U+FFFD, so that what is printed is UTF-8 whatever the tag holds.
std::string utf8(const uint8_t* p, size_t n) {
    static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};  // no longer forms
    std::string out;
    for (size_t i = 0; i < n && p[i] != 0;) {
        const uint8_t c = p[i];
        const size_t extra = c < 0x80   ? 0
                             : c < 0xC2 ? 4
                             : c < 0xE0 ? 1
                             : c < 0xF0 ? 2
                             : c < 0xF5 ? 3
                                        : 4;
        if (extra == 4) {
            appendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        size_t k = 1;
        for (; k <= extra && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) {
            code = code << 6 | (p[i + k] & 0x3F);
        }
        const bool whole = k == extra + 1 && code >= kLeast[extra];
        appendUtf8(out, whole ? code : kReplacement);
        i += whole ? k : 1;
    }
    return out;
}

// GBK bytes as UTF-8; false when they are not GBK through and through.
bool fromGbk(const std::string& bytes, std::string* text) {
#ifdef _WIN32
    constexpr UINT kGbk = 936;
    const int wide = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(),
                                         int(bytes.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::wstring units(wide, L'\0');
    MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), units.data(),
                        wide);
    const int n = WideCharToMultiByte(CP_UTF8, 0, units.data(), wide, nullptr, 0, nullptr, nullptr);
    text->assign(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, units.data(), wide, text->data(), n, nullptr, nullptr);
    return true;
#else
    iconv_t converter = iconv_open("UTF-8", "GBK");
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = bytes;
    std::string out(bytes.size() * 2 + 4, '\0');
    char* from = in.data();
    size_t fromLeft = in.size();
    char* to = out.data();
    size_t toLeft = out.size();
    const bool whole =
        iconv(converter, &from, &fromLeft, &to, &toLeft) != size_t(-1) && fromLeft == 0;
    iconv_close(converter);
    if (!whole) return false;
    out.resize(out.size() - toLeft);
    *text = std::move(out);
    return true;
#endif
}

// Text a tag marks Latin-1 is, in many Chinese songs, GBK (or UTF-8): it is shown as what it
// reads as cleanly, UTF-8 and then GBK, and as Latin-1 otherwise, as the player shows it.
std::string latin1(const uint8_t* p, size_t n) {
    std::string bytes(reinterpret_cast<const char*>(p), std::find(p, p + n, 0) - p);
    while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
    if (utf8(p, bytes.size()) == bytes) return bytes;
    std::string text;
    if (fromGbk(bytes, &text)) return text;
    text.clear();
    for (const char c : bytes) appendUtf8(text, uint8_t(c));
    return text;
}

std::string frameText(const uint8_t* p, size_t n) {
    if (n < 1) return {};
    switch (p[0]) {
        case 1:
            return utf16(p + 1, n - 1, false);
        case 2:
            return utf16(p + 1, n - 1, true);
        case 3:
            return utf8(p + 1, n - 1);
        default:
            return latin1(p + 1, n - 1);
    }
}

void readVersion2(const std::vector<uint8_t>& tag, int version, TagText* text) {
    const size_t idBytes = version == 2 ? 3 : 4;
    const size_t headerBytes = version == 2 ? 6 : 10;
    size_t at = kId3v2HeaderBytes;
    // An extended header (its size counted without itself in 2.3, with it in 2.4) is passed.
    if (version >= 3 && (tag[5] & 0x40) && at + 4 <= tag.size()) {
        const uint8_t* e = tag.data() + at;
        at += version == 3 ? (uint32_t(e[0]) << 24 | e[1] << 16 | e[2] << 8 | e[3]) + 4
                           : synchsafe(e);
    }
    while (at + headerBytes <= tag.size() && tag[at] != 0) {
        const uint8_t* h = tag.data() + at;
        uint32_t size = version == 2 ? uint32_t(h[3]) << 16 | h[4] << 8 | h[5]
                                     : uint32_t(h[4]) << 24 | h[5] << 16 | h[6] << 8 | h[7];
        // 2.4 counts frame sizes in seven-bit bytes.
        if (version == 4)
            size = (h[4] & 0x7F) << 21 | (h[5] & 0x7F) << 14 | (h[6] & 0x7F) << 7 | (h[7] & 0x7F);
        at += headerBytes;
        if (size > tag.size() - at) break;
        const std::string id(reinterpret_cast<const char*>(h), idBytes);
        // Compressed or encrypted frames are passed over.
        const bool plain = version == 2 || (h[9] & (version == 3 ? 0xC0 : 0x0C)) == 0;
        std::string* field = id == "TIT2" || id == "TT2"   ? &text->title
                             : id == "TPE1" || id == "TP1" ? &text->artist
                             : id == "TALB" || id == "TAL" ? &text->album
                                                           : nullptr;
        if (field && plain && field->empty()) *field = frameText(tag.data() + at, size);
        at += size;
    }
}

}  // namespace

TagText readTagText(const std::string& path) {
    TagText text;
    if (path == "-") return text;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return text;
    uint8_t header[kId3v2HeaderBytes];
    if (std::fread(header, 1, sizeof header, file.get()) == sizeof header) {
        if (const auto h = parseId3v2Header(header, sizeof header);
            h && h->majorVersion >= 2 && h->majorVersion <= 4 && !(h->flags & 0x80)) {
            std::vector<uint8_t> tag(kId3v2HeaderBytes + std::min<size_t>(h->size, kMostTagBytes));
            std::memcpy(tag.data(), header, sizeof header);
            tag.resize(kId3v2HeaderBytes + std::fread(tag.data() + kId3v2HeaderBytes, 1,
                                                      tag.size() - kId3v2HeaderBytes, file.get()));
            readVersion2(tag, h->majorVersion, &text);
        }
    }
    uint8_t tail[kId3v1Bytes];
    if ((text.title.empty() || text.artist.empty() || text.album.empty()) &&
        std::fseek(file.get(), -long(kId3v1Bytes), SEEK_END) == 0 &&
        std::fread(tail, 1, sizeof tail, file.get()) == sizeof tail &&
        std::memcmp(tail, "TAG", 3) == 0) {
        if (text.title.empty()) text.title = latin1(tail + 3, 30);
        if (text.artist.empty()) text.artist = latin1(tail + 33, 30);
        if (text.album.empty()) text.album = latin1(tail + 63, 30);
    }
    return text;
}

}  // namespace kivo::tools
