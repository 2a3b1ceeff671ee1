#include "colour_settings.h"

#include <cstdint>
#include <string>

#include "companion_message.h"
#include "kivo.h"

namespace kivo {

namespace {

// Indices of the items; the rows between them are separators.
enum ColourItem : int {
    kNoItem = -1,
    kListBackground = 0,
    kListText = 2,
    kBorderLines = 4,
    kLabelText = 6,
};

constexpr std::string_view kWrongItem =
    "亲！您选择设置颜色的项目错误了！\r\n\r\n请重新设置哦！呵呵~~~~";

bool isSeparator(int index) {
    return index == 1 || index == 3 || index == 5;
}

void colourBorders(MainWindow& w, uint32_t colour) {
    // The mute and search panels keep their own lines.
    for (runtime::ShapeBox* box :
         {w.playerPanel, w.nowPlayingFrame, w.toolbarPanel, w.playlistPanel, w.songListFrame,
          w.editButtonsPanel, w.volumePanel}) {
        box->setBorderColour(colour);
    }
}

void colourTexts(MainWindow& w, uint32_t colour) {
    for (runtime::Label* label : {w.percentLabel, w.modeLabel, w.nowPlayingLabel, w.songCountLabel,
                                  w.songPositionLabel, w.colorLabel, w.colorItemLabel,
                                  w.tipsStatusLabel, w.playedLabel, w.animationStatusLabel}) {
        label->setTextColour(colour);
    }
    w.playlistCombo->setTextColour(colour);
    w.colorItemCombo->setTextColour(colour);
}

}  // namespace

void colourItemChosen(Kivo& kivo) {
    runtime::ComboBox& combo = *kivo.mainWindow().colorItemCombo;
    const int index = combo.current();
    if (isSeparator(index)) {
        showCompanionMessage(kivo, kWrongItem);
    } else {
        showCompanionMessage(kivo, "亲！您选择的项目是【" + combo.itemTextAt(index) +
                                       "】\r\n\r\n可以去设置颜色了！嘻嘻~~~~");
    }
}

void colourChosen(Kivo& kivo) {
    MainWindow& w = kivo.mainWindow();
    const uint32_t colour = w.colorPicker->colour();
    const int index = w.colorItemCombo->current();
    switch (index) {
        case kNoItem:
            showCompanionMessage(
                kivo, "亲！您还没有选择设置颜色的项目！\r\n\r\n请设置后再来吧！呵呵~~~~");
            return;
        case kListBackground:
            w.songList->setBackgroundColour(colour);
            break;
        case kListText:
            w.songList->setTextColour(colour);
            break;
        case kBorderLines:
            colourBorders(w, colour);
            break;
        case kLabelText:
            colourTexts(w, colour);
            break;
        default:
            // The separator rows (and nothing else can be chosen) are not settable.
            showCompanionMessage(kivo, kWrongItem);
            return;
    }
    showCompanionMessage(kivo, "亲！您已成功设置项目【" + w.colorItemCombo->itemTextAt(index) +
                                   "】！不满意再来光顾哦！");
}

}  // namespace kivo
