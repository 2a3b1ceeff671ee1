#include "volume_panel.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <string>

#include "companion_message.h"
#include "kivo.h"
#include "pumping_wait.h"
#include "skin.h"

namespace kivo {

namespace {

constexpr int kAutoCloseMs = 5000;
// The percent text assumes a mixer range of 0 to 65535, whatever the mixer says.
constexpr double kPercentStep = 655.35;

QByteArray speakerPicture() {
    return skinPicture("speaker.gif");
}

QByteArray mutedPicture() {
    return skinPicture("speaker-muted.gif");
}

// The mixer's bounds as slider positions.
int mixerMinimum(Kivo& kivo) {
    return int(std::min<uint32_t>(kivo.mainWindow().systemVolume->minimum(), INT32_MAX));
}

int mixerMaximum(Kivo& kivo) {
    return int(std::min<uint32_t>(kivo.mainWindow().systemVolume->maximum(), INT32_MAX));
}

void showSpeakerPictures(MainWindow& window, const QByteArray& picture) {
    window.muteButton->setNormalPicture(picture);
    window.volumeButton->setNormalPicture(picture);
}

}  // namespace

void volumePositionChanged(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    window.volumeSlider->setMaximumValue(mixerMaximum(kivo));
    window.volumeSlider->setMinimumValue(mixerMinimum(kivo));
    const int position = window.volumeSlider->position();
    const auto value = uint32_t(std::max(position, 0));
    window.systemVolume->setVolume(value, value);

    const std::string volumeText = std::to_string(int(position / kPercentStep)) + "%";
    window.volumeButton->setTooltip("扬声器：" + volumeText);
    showCompanionMessage(kivo, "呵呵~~~您设置的音量为：" + volumeText);
    // Any move of the slider ends a mute.
    showSpeakerPictures(window, speakerPicture());
    if (volumeText == "100%") {
        showCompanionMessage(kivo, "亲~~~您设置的音量为：" + volumeText +
                                       "\r\n\r\n已经最大了！会影响别人哦！嘻嘻~~~");
    }
}

void toggleVolumeSetting(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    std::string_view message;
    if (window.volumePanel->isVisibleTo(&window)) {
        message = "亲~~~您已经取消设置音量！\r\n\r\n欢迎下次光临哦！";
    } else {
        showCompanionMessage(
            kivo, "亲~~~您正在设置音量！不要把声音调得\r\n\r\n很大！会影响别人哦！嘻嘻~~~");
        window.volumePanel->show();
        // The panel closes five seconds after it was opened, whatever happens meanwhile.
        runtime::pumpingWait(kAutoCloseMs);
        message = "亲~~~Kivo已经自动帮您关闭音量设置！\r\n\r\n不满意再来哦！";
    }
    window.volumePanel->hide();
    showCompanionMessage(kivo, message);
}

void toggleMute(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    const QByteArray speaker = speakerPicture();
    if (window.muteButton->normalPicture() == speaker) {
        // At the minimum already, the position does not change and the mixer is left alone.
        window.volumeSlider->setPosition(mixerMinimum(kivo));
        showSpeakerPictures(window, mutedPicture());
        window.volumeButton->setTooltip("扬声器：静音");
        window.muteButton->setTooltip("取消静音");
        showCompanionMessage(kivo, "呵呵~~~您已设置为静音\r\n\r\n可以再次点击取消静音哦！");
    } else {
        // Unmute never restores the volume from before: it is always half the maximum.
        window.volumeSlider->setPosition(mixerMaximum(kivo) / 2);
        showSpeakerPictures(window, speaker);
        window.muteButton->setTooltip("设置静音");
        showCompanionMessage(kivo, "嘻嘻~~~您已取消设置为静音\r\n\r\n可以再次点击设为静音哦！");
    }
}

}  // namespace kivo
