#include "start_up.h"

#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QLockFile>
#include <QPalette>
#include <QStyleFactory>
#include <algorithm>
#include <cstdint>

#include "companion_message.h"
#include "kivo.h"
#include "music_folder.h"
#include "outside_songs.h"
#include "play_sound.h"
#include "playlist_names.h"
#include "playlist_store.h"
#include "replacement_file.h"
#include "single_instance.h"
#include "skin.h"

namespace kivo {

namespace {

constexpr std::string_view kWelcome =
    "欢迎使用【Kivo-mp3播放器】      我就是Kivo，Kivo就是我\r\n\r\n"
    "不要迷恋哥，哥只是个传说！不要迷恋姐，姐会让你吐血！\r\n\r\n哈哈哈哈哈~~~~~~";

// The skin's ink, violet and the near-white that is not the see-through key.
const QColor kInk(0x2B, 0x21, 0x50);
const QColor kViolet(0x7B, 0x5C, 0xFF);
const QColor kMist(0xEF, 0xEA, 0xFF);
const QColor kPaper(0xFC, 0xFB, 0xFF);

// How long a copy waits for another that is starting at the same moment.
constexpr int kTurnMs = 5000;

void playStartUpSound() {
    const QByteArray clip = skinSound("startup.wav");
    runtime::playSound(std::string_view(clip.constData(), std::size_t(clip.size())));
}

// A save killed before its rename leaves its temporary file beside the list; the one copy that
// runs now is making no save.
void removeLeftoverSaves(Kivo& kivo) {
    for (const std::string_view name : kPlaylistNames) {
        removeLeftoverReplacements(playlistFilePath(kivo.programDir(), std::string(name)));
    }
}

}  // namespace

bool anotherCopyRuns(const std::vector<runtime::ProcessEntry>& processes,
                     const std::string& ownName, int ownUid) {
    int copies = 0;
    for (const runtime::ProcessEntry& process : processes) {
        if (process.exeFileName == ownName && process.uid == ownUid && ++copies == 2) {
            return true;
        }
    }
    return false;
}

void checkSingleInstance(Kivo& kivo) {
    const std::string ownName = runtime::programFileName();
    const QString socket = InstanceChannel::socketPath(ownName);
    // Without a runtime folder no copy can answer, and this one runs.
    if (socket.isEmpty()) return;
    // Copies started together take turns, each looking at the processes only in its turn: the
    // first listens, and every later one finds it.
    QLockFile turn(socket + ".lock");
    turn.tryLock(kTurnMs);
    if (anotherCopyRuns(kivo.processes(), ownName, int(::getuid())) &&
        InstanceChannel::handOver(socket, kivo.startFiles())) {
        turn.unlock();
        runtime::endProgram();
    }
    kivo.instanceChannel().listen(socket);
}

void applyThemedStyle() {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
    }
    QPalette palette = QApplication::palette();
    // Pure white is the windows' see-through key, so nothing of the theme may paint it.
    palette.setColor(QPalette::Window, kMist);
    palette.setColor(QPalette::Base, kPaper);
    palette.setColor(QPalette::AlternateBase, kMist);
    palette.setColor(QPalette::Button, kMist);
    palette.setColor(QPalette::Text, kInk);
    palette.setColor(QPalette::WindowText, kInk);
    palette.setColor(QPalette::ButtonText, kInk);
    palette.setColor(QPalette::Highlight, kViolet);
    palette.setColor(QPalette::HighlightedText, kPaper);
    palette.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xF8, 0xD6));
    palette.setColor(QPalette::ToolTipText, kInk);
    QApplication::setPalette(palette);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"), 9);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

void setUpVolume(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.systemVolume->selectLine(runtime::SysVolume::kSpeakers);
    const int maximum = int(std::min<uint32_t>(window.systemVolume->maximum(), INT32_MAX));
    window.volumeSlider->setMaximumValue(maximum);
    window.volumeSlider->setPosition(maximum / 2);
}

void startUp(Kivo& kivo) {
    checkSingleInstance(kivo);
    kivo.mainWindow().makeLayered();
    applyThemedStyle();
    setUpVolume(kivo);
    showCompanionMessage(kivo, kWelcome);
    removeLeftoverSaves(kivo);
    loadPlaylist(kivo);
    playStartUpSound();
    // Files given on the command line, or by the file manager, play at once.
    if (!kivo.startFiles().empty()) openOutsideSongs(kivo, kivo.startFiles());
}

}  // namespace kivo
