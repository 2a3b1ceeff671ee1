// Feeds arbitrary bytes as a song file to the two tag readers: the player's (TagLib with the
// GBK fallback for text marked Latin-1, and the length as the engine reckons it) and
// kivo-decode's own ID3 reader; the same bytes also go straight to the Latin-1/GBK/UTF-8
// guess. Whatever the file holds, every text they give is valid UTF-8, which the tooltips and
// the desktop's media controls (D-Bus refuses anything else) can show.
#include <iconv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "song_tags.h"
#include "tag_text.h"

namespace {

// Well-formed UTF-8 (shortest forms, no surrogates, nothing beyond U+10FFFF), as glibc's
// converter, which is strict, judges it.
bool validUtf8(std::string_view text) {
    static const iconv_t converter = iconv_open("UTF-32LE", "UTF-8");
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string in(text), out(text.size() * 4 + 4, '\0');
    char *from = in.data(), *to = out.data();
    size_t fromLeft = in.size(), toLeft = out.size();
    return iconv(converter, &from, &fromLeft, &to, &toLeft) != size_t(-1) && fromLeft == 0;
}

void check(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("song", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string guessed = kivo::latin1TagText(bytes);
    check(validUtf8(guessed));

    check(ftruncate(fd, 0) == 0);
    check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    const kivo::SongTags tags = kivo::readSongTags(path);
    check(validUtf8(tags.title) && validUtf8(tags.artist) && validUtf8(tags.album));
    check(tags.lengthMs >= 0);
    check(validUtf8(kivo::songDescription(tags, "/music/歌.mp3")));

    const kivo::tools::TagText text = kivo::tools::readTagText(path);
    check(validUtf8(text.title) && validUtf8(text.artist) && validUtf8(text.album));
    return 0;
}
