// Song information from tags made here byte by byte: a UTF-16 ID3v2.3 tag, a GBK ID3v1 tag (as
// Chinese taggers write them), GBK in a frame that claims Latin-1, and real Latin-1; then the
// same information where the user meets it: the song list's and the now-playing label's
// tooltips, the progress bar's time and the desktop's media metadata.
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QListWidgetItem>
#include <QThread>
#include <QToolTip>

#include "app_fixture.h"
#include "mpris_player.h"
#include "song_info.h"
#include "song_tags.h"

namespace kivo {
namespace {

std::string audio() {
    return readFile(std::string(KIVO_TEST_DATA) + "/streams/l3_128_joint.mp3");
}

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A text frame of ID3v2.3: encoding 0 (Latin-1, the bytes as given) or 1 (UTF-16 with BOM).
std::string frame(const char* id, int encoding, const std::u16string& utf16,
                  const std::string& latin1 = {}) {
    std::string body(1, char(encoding));
    if (encoding == 1) {
        body += "\xFF\xFE";
        for (char16_t c : utf16) body += {char(c & 0xFF), char(c >> 8)};
    } else {
        body += latin1;
    }
    return id + be32(uint32_t(body.size())) + std::string(2, '\0') + body;
}

std::string id3v23(const std::string& frames) {
    const auto n = uint32_t(frames.size());
    return std::string("ID3\x03\x00\x00", 6) +
           std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F),
                       char(n & 0x7F)} +
           frames;
}

// ID3v1.1: fixed fields padded with NULs, the track in the comment's last byte.
std::string id3v1(const std::string& title, const std::string& artist, const std::string& album,
                  const std::string& year, int track) {
    auto field = [](std::string s, size_t n) {
        s.resize(n, '\0');
        return s;
    };
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
           field("", 28) + '\0' + char(track) + char(255);
}

// GBK bytes of the words used below.
const std::string kGbkDaoXiang = "\xB5\xBE\xCF\xE3";            // 稻香
const std::string kGbkZhouJielun = "\xD6\xDC\xBD\xDC\xC2\xD7";  // 周杰伦
const std::string kGbkMoJieZuo = "\xC4\xA7\xBD\xDC\xD7\xF9";    // 魔杰座

class SongInfoTest : public AppTest {
protected:
    std::string song(const std::string& name, const std::string& bytes) {
        const std::string path = folder_.path() + "/" + name;
        writeFile(path, bytes);
        return path;
    }
    // Waits for the background reader.
    const SongTags* tagsOf(const std::string& path) {
        // The read runs on another thread: a loaded machine may take a while to get to it.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            if (const SongTags* tags = kivo_->songInfo().find(path)) return tags;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return nullptr;
    }
    QString tooltipOver(QWidget* widget, QPoint at) {
        QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
};

TEST_F(SongInfoTest, TagsAreReadInTheirEncodingWithGbkWhereLatin1IsClaimed) {
    const std::string utf16 =
        song("utf16.mp3", id3v23(frame("TIT2", 1, u"夜曲") + frame("TPE1", 1, u"周杰伦") +
                                 frame("TALB", 1, u"十一月的萧邦") + frame("TRCK", 1, u"3") +
                                 frame("TYER", 1, u"2005")) +
                              audio());
    const std::string gbkV1 =
        song("gbk1.mp3", audio() + id3v1(kGbkDaoXiang, kGbkZhouJielun, kGbkMoJieZuo, "2008", 7));
    const std::string gbkV2 =
        song("gbk2.mp3",
             id3v23(frame("TIT2", 0, u"", kGbkDaoXiang) + frame("TPE1", 0, u"", "Jay")) + audio());
    const std::string latin1 = song("latin1.mp3", audio() + id3v1("Halo", "Beyonc\xE9", "", "", 0));

    const struct {
        std::string path, title, artist, album;
        int track, year;
    } cases[] = {
        {utf16, "夜曲", "周杰伦", "十一月的萧邦", 3, 2005},
        {gbkV1, "稻香", "周杰伦", "魔杰座", 7, 2008},
        {gbkV2, "稻香", "Jay", "", 0, 0},
        {latin1, "Halo", "Beyoncé", "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const SongTags tags = readSongTags(c.path);
        EXPECT_EQ(tags.title, c.title);
        EXPECT_EQ(tags.artist, c.artist);
        EXPECT_EQ(tags.album, c.album);
        EXPECT_EQ(tags.track, c.track);
        EXPECT_EQ(tags.year, c.year);
        EXPECT_EQ(tags.lengthMs, 2000);  // the encoder's 2 s, without its delay and padding
    }
    EXPECT_EQ(songDescription(readSongTags(utf16), utf16), "周杰伦 – 夜曲 · 十一月的萧邦 · 0:02");
    // Without tags the file's name stands in for the title.
    const std::string untagged = song("无题.mp3", audio());
    EXPECT_EQ(songDescription(readSongTags(untagged), untagged), "无题 · 0:02");
}

TEST_F(SongInfoTest, TooltipsAndMediaMetadataShowTheTagsAndTheListKeepsThePath) {
    const std::string path =
        song("song.mp3", audio() + id3v1(kGbkDaoXiang, kGbkZhouJielun, kGbkMoJieZuo, "2008", 7));
    MainWindow& w = window();
    w.show();
    w.songList->addItem(path);
    QWidget* viewport = w.songList->viewport();
    const QPoint item = w.songList->visualItemRect(w.songList->item(0)).center();
    // Pointing at the song has its tags read in the background; then the tooltip shows them.
    EXPECT_EQ(tooltipOver(viewport, item), "");
    ASSERT_NE(tagsOf(path), nullptr);
    EXPECT_EQ(tooltipOver(viewport, item).toStdString(), "周杰伦 – 稻香 · 魔杰座 · 0:02");
    EXPECT_EQ(w.songList->itemTextAt(0), path);

    w.nowPlayingLabel->setCaption(path);
    w.progressBar->setPosition(w.progressBar->maximum() / 2);
    EXPECT_EQ(tooltipOver(w.nowPlayingLabel, {5, 5}).toStdString(),
              "周杰伦 – 稻香 · 魔杰座 · 0:02\n0:01 / 0:02");
    EXPECT_EQ(tooltipOver(w.progressBar, {5, 5}).toStdString(), "0:01 / 0:02");

    QObject holder;
    MprisPlayer mpris(*kivo_, &holder);
    const QVariantMap metadata = mpris.metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString().toStdString(), "稻香");
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(),
              QStringList{QString::fromUtf8("周杰伦")});
    EXPECT_EQ(metadata.value("xesam:album").toString().toStdString(), "魔杰座");
    EXPECT_EQ(metadata.value("xesam:trackNumber").toInt(), 7);
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 2000000);
}

}  // namespace
}  // namespace kivo
