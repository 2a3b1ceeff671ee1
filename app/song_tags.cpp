#include "song_tags.h"

#include <iconv.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <mutex>

#include "song_length.h"

namespace kivo {

namespace {

bool isAscii(std::string_view bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Well-formed UTF-8 only: no longer forms, no surrogates, nothing beyond U+10FFFF, which
// would reach the tooltips and the desktop's media controls as broken text.
bool isUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // where the second byte may lie
        if (c >= 0xC2 && c < 0xE0) {
            extra = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            extra = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c < 0xF5) {
            extra = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else if (c >= 0x80) {
            return false;
        }
        if (i + extra >= bytes.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

// The bytes as GBK, converted to UTF-8; false when they are not GBK through and through.
bool fromGbk(std::string_view bytes, std::string* utf8) {
    iconv_t converter = iconv_open("UTF-8", "GBK");
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in(bytes);
    std::string out(bytes.size() * 2 + 4, '\0');
    char* from = in.data();
    size_t fromLeft = in.size();
    char* to = out.data();
    size_t toLeft = out.size();
    const bool whole =
        iconv(converter, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1) &&
        fromLeft == 0;
    iconv_close(converter);
    if (!whole) return false;
    out.resize(out.size() - toLeft);
    *utf8 = std::move(out);
    return true;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | u >> 6));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

TagLib::String tagString(std::string_view bytes) {
    // A field ends at its first NUL; fixed-width fields are padded with spaces too.
    bytes = bytes.substr(0, bytes.find('\0'));
    return TagLib::String(latin1TagText(bytes), TagLib::String::UTF8).stripWhiteSpace();
}

std::string_view viewOf(const TagLib::ByteVector& data) {
    return {data.data(), data.size()};
}

class Id3v1Text : public TagLib::ID3v1::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        return tagString(viewOf(data));
    }
};

class Id3v2Latin1Text : public TagLib::ID3v2::Latin1StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        return tagString(viewOf(data));
    }
};

// TagLib's text handlers are process-wide; they are installed once, before the first read.
void installTextHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        static const Id3v1Text id3v1;
        static const Id3v2Latin1Text id3v2;
        TagLib::ID3v1::Tag::setStringHandler(&id3v1);
        TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
    });
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string latin1TagText(std::string_view bytes) {
    if (isAscii(bytes) || isUtf8(bytes)) return std::string(bytes);
    std::string gbk;
    if (fromGbk(bytes, &gbk)) return gbk;
    return latin1ToUtf8(bytes);
}

SongTags readSongTags(const std::string& path) {
    installTextHandlers();
    SongTags tags;
    {
        // The stream's properties are not read: the length is the engine's.
        TagLib::MPEG::File file(path.c_str(), false);
        if (file.isValid()) {
            if (const TagLib::Tag* tag = file.tag()) {
                tags.title = tag->title().stripWhiteSpace().to8Bit(true);
                tags.artist = tag->artist().stripWhiteSpace().to8Bit(true);
                tags.album = tag->album().stripWhiteSpace().to8Bit(true);
                tags.track = static_cast<int>(tag->track());
                tags.year = static_cast<int>(tag->year());
            }
        }
    }
    const double seconds = songSeconds(path);
    if (seconds > 0) tags.lengthMs = static_cast<int64_t>(seconds * 1000);
    return tags;
}

std::string songDescription(const SongTags& tags, const std::string& path) {
    std::string text = tags.title.empty() ? baseName(path) : tags.title;
    if (!tags.artist.empty()) text = tags.artist + " – " + text;
    if (!tags.album.empty()) text += " · " + tags.album;
    if (tags.lengthMs > 0) text += " · " + clockTime(static_cast<double>(tags.lengthMs) / 1000);
    return text;
}

}  // namespace kivo
