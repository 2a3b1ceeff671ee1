// The player's main window. Every control is a member named by its handle.
#pragma once

#include "color_picker.h"
#include "combo_box.h"
#include "common_dlg.h"
#include "edit_box.h"
#include "label.h"
#include "list_box.h"
#include "pic_box.h"
#include "q_tip.h"
#include "shape_box.h"
#include "super_bar.h"
#include "super_btn.h"
#include "sys_volume.h"
#include "template_window.h"

namespace kivo {

class MainWindow : public TemplateWindow {
    Q_OBJECT
public:
    MainWindow();

    runtime::ShapeBox* const playerPanel;
    runtime::Label* const animationStatusLabel;
    runtime::Label* const tipsStatusLabel;
    runtime::Label* const playedLabel;
    runtime::Label* const percentLabel;
    runtime::Label* const modeLabel;
    runtime::SuperBtn* const volumeButton;
    runtime::ShapeBox* const nowPlayingFrame;
    runtime::Label* const nowPlayingLabel;
    runtime::SuperBar* const progressBar;
    runtime::SuperBtn* const previousButton;
    runtime::SuperBtn* const playButton;
    runtime::SuperBtn* const nextButton;
    runtime::PicBox* const discPicture;
    runtime::PicBox* const statusPicture;
    runtime::ShapeBox* const toolbarPanel;
    runtime::SuperBtn* const animationButton;
    runtime::SuperBtn* const helpButton;
    runtime::SuperBtn* const tipsButton;
    runtime::SuperBtn* const playlistToggleButton;
    runtime::ShapeBox* const playlistPanel;
    runtime::Label* const songCountLabel;
    runtime::Label* const songPositionLabel;
    runtime::ComboBox* const playlistCombo;
    runtime::ShapeBox* const editButtonsPanel;
    runtime::SuperBtn* const locateButton;
    runtime::SuperBtn* const addButton;
    runtime::SuperBtn* const deleteButton;
    runtime::SuperBtn* const clearButton;
    runtime::SuperBtn* const saveButton;
    runtime::ShapeBox* const songListFrame;
    runtime::ListBox* const songList;
    runtime::ShapeBox* const searchPanel;
    runtime::EditBox* const searchEdit;
    runtime::SuperBtn* const searchCloseButton;
    runtime::CommonDlg* const openFileDialog;
    runtime::Label* const colorItemLabel;
    runtime::ComboBox* const colorItemCombo;
    runtime::Label* const colorLabel;
    runtime::ColorPicker* const colorPicker;
    runtime::SuperBtn* const searchButton;
    runtime::SuperBtn* const kugouButton;
    runtime::ShapeBox* const volumePanel;
    runtime::SuperBar* const volumeSlider;
    runtime::ShapeBox* const mutePanel;
    runtime::SuperBtn* const muteButton;
    runtime::SuperBtn* const minimizeButton;
    runtime::SuperBtn* const closeButton;
    runtime::SuperBtn* const modeButton;
    runtime::PicBox* const decorPicture1;
    runtime::PicBox* const decorPicture2;
    runtime::QTip* const tipBalloon;
    runtime::SysVolume* const systemVolume;

private:
    void keepVolumeButtonOnTop();
};

// Captions and texts of the template that the handlers compare against or restore.
inline constexpr std::string_view kWelcomeCaption = "欢迎使用【Kivo-mp3播放器】";
inline constexpr std::string_view kSearchPlaceholder = "查找列表歌曲";
inline constexpr std::string_view kPlaylistOpenCaption = "关闭播放列表 △";
inline constexpr std::string_view kPlaylistClosedCaption = "打开播放列表 ▽";
inline constexpr std::string_view kAnimationOnCaption = "关闭动画 ╳";
inline constexpr std::string_view kAnimationOffCaption = "打开动画 ◇";
inline constexpr uint32_t kPlaceholderColour = 0x808080;

}  // namespace kivo
