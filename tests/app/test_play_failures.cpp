// Songs that cannot play, as the user meets them through the engine and virtual devices: the
// companion names the song and the reason, the play look comes back, the list goes on, and a
// list where nothing can play, or a machine without a sound device, stops with one message.
#include <sys/stat.h>

#include <QTimer>

#include "playback_fixture.h"
#include "skin.h"

namespace kivo {
namespace {

// What the balloon said when each of the engine's messages reached the now-playing label,
// before the label handled it: at a song's 100 it still shows what its failure made it say.
class BalloonAtEachMessage : public QObject {
public:
    BalloonAtEachMessage(QObject* label, runtime::QTip* balloon)
        : label_(label), balloon_(balloon) {
        label->installEventFilter(this);
    }
    ~BalloonAtEachMessage() override { label_->removeEventFilter(this); }

    std::vector<std::string> atEnds;  // the balloon's text as each 100 arrived
    int failures = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != runtime::NotifyEvent::eventType()) return false;
        const auto* notify = static_cast<runtime::NotifyEvent*>(e);
        if (notify->message == WM_PLAYFAILED) ++failures;
        if (notify->message == WM_PLAYPROGRESS && notify->wParam == 100) {
            atEnds.push_back(balloon_->text());
        }
        return false;
    }

private:
    QObject* label_;
    runtime::QTip* balloon_;
};

class PlayFailuresTest : public PlaybackTest {
protected:
    std::string picture(const std::string& name) {
        const std::string path = songFolder_ + "/" + name;
        writeFile(path, std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x42'));
        return path;
    }
    // Lets the window handle what is still on its way for a moment.
    void settle(int ms = 300) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    static std::string failedMessage(const std::string& song, const std::string& reason) {
        return "亲！歌曲【" + song + "】\r\n\r\n" + reason + "，Kivo播放不了哦！呜呜~~~~~";
    }
    const std::string nothingPlays_ =
        "亲！列表里的歌曲Kivo一首也播放不了，\r\n\r\n先停下来啦！请检查一下歌曲文件吧！呜呜~~~~~";
};

TEST_F(PlayFailuresTest, AMissingFileAndAPictureAreSaidAndTheListGoesOn) {
    const std::string missing = songFolder_ + "/missing.mp3";
    const std::string png = picture("pic.png");
    showSongs({missing, png, song('A', "a.mp3")});
    BalloonAtEachMessage said(window().nowPlayingLabel, window().tipBalloon);
    const size_t devices = deviceCount();
    doubleClick(0);
    ASSERT_TRUE(playsAfter(devices, kRateA));
    ASSERT_GE(said.atEnds.size(), 2u);
    EXPECT_EQ(said.atEnds[0], failedMessage(missing, "文件找不到或者打不开"));
    EXPECT_EQ(said.atEnds[1], failedMessage(png, "里面没有能播放的MP3音乐"));
    EXPECT_EQ(window().songList->current(), 2);
}

TEST_F(PlayFailuresTest, ALoopOverAListWhereNothingPlaysStopsWithOneMessage) {
    showSongs({songFolder_ + "/missing.mp3", picture("pic.png"), folder_.path()});
    BalloonAtEachMessage said(window().nowPlayingLabel, window().tipBalloon);
    doubleClick(0);
    ASSERT_TRUE(waitUntil([&] { return balloonText() == nothingPlays_; }));
    settle();
    EXPECT_EQ(said.failures, 3);
    EXPECT_EQ(said.atEnds.size(), 3u);
    EXPECT_EQ(balloonText(), nothingPlays_);
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_TRUE(showsPlayLook());
    // The next click tries again.
    window().playButton->click();
    ASSERT_TRUE(waitUntil([&] { return said.failures == 6; }));
}

TEST_F(PlayFailuresTest, WithoutASoundDeviceOneMessageSaysSoAndNothingPlays) {
    refuseSoundDevices();
    const std::vector<std::string> songs = {song('A', "a.mp3"), song('B', "b.mp3")};
    showSongs(songs);
    BalloonAtEachMessage said(window().nowPlayingLabel, window().tipBalloon);
    doubleClick(0);
    ASSERT_TRUE(waitUntil([&] { return said.atEnds.size() == 1; }));
    settle();
    EXPECT_EQ(said.atEnds.size(), 1u);
    EXPECT_EQ(balloonText(), "亲！Kivo找不到能用的声音设备，\r\n\r\n【" + songs[0] +
                                 "】放不出声音哦！请检查一下音箱或耳机吧！呜呜~~~~~");
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_TRUE(showsPlayLook());
    EXPECT_EQ(window().progressBar->position(), 0);
}

TEST_F(PlayFailuresTest, ASoundDeviceLostMidSongIsSaidAndStopsTheListUntilTheNextPlay) {
    const std::vector<std::string> songs = {song('A', "a.mp3"), song('B', "b.mp3")};
    showSongs(songs);
    window().menus().setChecked("loopPlayItem", false);
    window().menus().setChecked("sequentialPlayItem", true);
    setSpeed(1);
    loseNextDeviceAfter(44100 * 4 / 4);  // a quarter of a second
    BalloonAtEachMessage said(window().nowPlayingLabel, window().tipBalloon);
    const size_t devices = deviceCount();
    doubleClick(0);
    ASSERT_TRUE(waitUntil([&] { return said.atEnds.size() == 1; }));
    settle();
    EXPECT_EQ(said.failures, 1);
    EXPECT_EQ(balloonText(), "亲！声音设备突然不见了，\r\n\r\n【" + songs[0] +
                                 "】Kivo先停下来啦！请检查一下音箱或耳机，再点播放吧！呜呜~~~~~");
    EXPECT_EQ(state(), kPlayStateIdle);
    EXPECT_TRUE(showsPlayLook());
    EXPECT_EQ(deviceCount(), devices + 1) << "the list went on without a sound device";
    EXPECT_LT(lastLog()->pcmBytes(), 44100u * 4) << "the song played on into nothing";
    // The next Play opens a device again, and the song is heard.
    setSpeed(0);
    window().playButton->click();
    ASSERT_TRUE(playsAfter(devices + 1, kRateA));
    ASSERT_TRUE(waitUntil([&] { return said.atEnds.size() >= 2; }));
    EXPECT_EQ(said.failures, 1);
}

// Things in the list that are not songs, and a song whose file changes while it plays: none
// blocks the window or ends the list; each is said, and the list goes on to a song that plays.
TEST_F(PlayFailuresTest, PipesDevicesFoldersZerosAndFilesChangedWhilePlayingGetAnOutcome) {
    const std::string fifo = songFolder_ + "/pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // an open that waits would block for good
    const std::string zeros = songFolder_ + "/zeros.mp3";
    writeFile(zeros, "");
    std::filesystem::resize_file(zeros, 2ull << 30);  // 2 GB, sparse
    const std::string withNul = song('A', "nul") + std::string(1, '\0') + ".mp3";
    std::vector<std::string> songs = {fifo,    "/dev/zero", songFolder_,
                                      withNul, zeros,       song('B', "b.mp3")};
    showSongs(songs);
    window().menus().setChecked("loopPlayItem", false);
    window().menus().setChecked("sequentialPlayItem", true);
    BalloonAtEachMessage said(window().nowPlayingLabel, window().tipBalloon);
    const size_t devices = deviceCount();
    doubleClick(0);
    ASSERT_TRUE(playsAfter(devices, kRateB));
    // Five said; the song's own end may have come already on an unpaced device.
    ASSERT_GE(said.atEnds.size(), 5u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(said.atEnds[i], failedMessage(songs[i], "它不是一个文件"));
    EXPECT_EQ(said.atEnds[3], failedMessage(withNul, "文件找不到或者打不开"));
    EXPECT_EQ(said.atEnds[4], failedMessage(zeros, "里面没有能播放的MP3音乐"));
    EXPECT_EQ(playedRates(), std::vector<int>{kRateB}) << "the part before the NUL was played";
    ASSERT_TRUE(waitUntil([&] { return said.atEnds.size() == 6; }));  // and the song's end

    // A song longer than the engine reads ahead; the file is deleted, replaced or cut short
    // once it plays. A deleted or replaced file plays to its end with nothing said; one cut
    // short (early, while most of it is unread) is said, and the play mode goes on.
    const std::string once = readFile(song('A', "once.mp3"));
    for (const char* change : {"delete", "replace", "truncate"}) {
        const bool cut = std::string(change) == "truncate";
        std::string bytes;
        for (int i = 0; i < (cut ? 20 : 5); ++i) bytes += once;
        const std::string path = songFolder_ + "/" + change + ".mp3";
        writeFile(path, bytes);
        showSongs({path, songs.back()});
        setSpeed(cut ? 8 : 4);
        const size_t failures = said.failures, ends = said.atEnds.size(), next = deviceCount();
        doubleClick(0);
        // Once it is heard.
        ASSERT_TRUE(waitUntil([&] { return deviceCount() > next && lastLog()->pcmBytes() > 0; }))
            << change;
        if (std::string(change) == "delete") std::filesystem::remove(path);
        if (std::string(change) == "replace") {
            writeFile(path + ".new", "not a song");
            std::filesystem::rename(path + ".new", path);
        }
        if (cut) std::filesystem::resize_file(path, 1000);
        ASSERT_TRUE(waitUntil([&] { return said.atEnds.size() > ends; })) << change;
        if (cut) {
            EXPECT_EQ(said.failures, failures + 1);
            EXPECT_EQ(said.atEnds[ends], "亲！歌曲【" + path +
                                             "】\r\n\r\n在播放的时候文件变短了，Kivo只能放到"
                                             "这里啦！呜呜~~~~~");
        } else {
            EXPECT_EQ(said.failures, failures) << change;
        }
        setSpeed(0);
        EXPECT_TRUE(playsAfter(next, kRateB)) << change;
        ASSERT_TRUE(waitUntil([&] { return state() == kPlayStateIdle; })) << change;
    }
}

// Pause at 40 %, continue: the song goes on from where the ear was, at most one percent back
// and never ahead, also when a large cover picture sits in a tag in front of the audio.
class ContinueTest : public PlayFailuresTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ContinueTest, ContinuingAfterAPauseAt40PercentResumesWhereTheEarWas) {
    MainWindow& w = window();
    // Ten seconds, so that a frame is a small part of a percent: song A's frames five times,
    // without its Info frame (128 kbit/s at 44.1 kHz: 417 bytes and the padding byte).
    const std::string a = readFile(song('A', "a.mp3"));
    const std::string frames = a.substr(417 + ((uint8_t(a[2]) >> 1) & 1));
    std::string path = songFolder_ + "/long.mp3";
    writeFile(path, frames + frames + frames + frames + frames);
    if (GetParam()) {
        // An ID3v2.3 tag of 1 MB, its picture full of bytes that look like frame syncs.
        const std::string audio = readFile(path);
        std::string tag = "ID3\x03";
        tag += std::string("\0\0", 2);
        const uint32_t size = 1 << 20;
        for (int shift = 21; shift >= 0; shift -= 7) tag += char((size >> shift) & 0x7F);
        for (uint32_t i = 0; i < size; ++i) tag += char(i % 7 == 0 ? 0xFF : 0xF0 + i % 13);
        path = songFolder_ + "/covered.mp3";
        writeFile(path, tag + audio);
    }
    showSongs({path});
    w.menus().setChecked("loopPlayItem", false);
    w.menus().setChecked("singlePlayItem", true);
    doubleClick(0);  // a whole play first, for the length of the song
    ASSERT_TRUE(waitUntil(
        [&] { return state() == kPlayStateIdle && lastLog() && lastLog()->count("close") == 1; }));
    const double whole = double(lastLog()->pcmBytes());
    ASSERT_GT(whole, 1700000);

    // The click comes from the window's own event loop, as the user's does: progress that comes
    // faster than the status animation runs keeps its waits (loops inside this one) going.
    setSpeed(1);
    double heard = -1;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (w.progressBar->position() < 40 || state() != kPlayStatePlaying) return;
        user.stop();
        w.playButton->click();
        heard = double(lastLog()->pcmBytes()) / whole * 100;
    });
    doubleClick(0);
    user.start(5);
    ASSERT_TRUE(waitUntil([&] { return heard >= 0; }));
    ASSERT_EQ(state(), kPlayStatePaused);
    EXPECT_LT(heard, 45);
    setSpeed(0);
    w.playButton->click();
    ASSERT_TRUE(
        waitUntil([&] { return state() == kPlayStateIdle && lastLog()->count("close") == 1; }));
    const double resumedAt = 100 - double(lastLog()->pcmBytes()) / whole * 100;
    EXPECT_LE(resumedAt, heard) << "a stretch was skipped";
    EXPECT_GE(resumedAt, heard - 1) << "more than one percent was played again";
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutCover, ContinueTest, ::testing::Bool());

}  // namespace
}  // namespace kivo
