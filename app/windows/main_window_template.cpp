#include "playlist_names.h"
#include "window_template.h"

namespace kivo {

namespace {

using K = ControlKind;

constexpr std::string_view kColourItems[] = {
    "播放列表背景颜色", "----------------", "播放列表字体颜色", "----------------",
    "窗口边框线条颜色", "----------------", "窗口标签字体颜色",
};

// Containers come before what they contain, so the window can be built in one pass.
constexpr ControlTemplate kControls[] = {
    {"playerPanel", "外形框01", K::ShapeBox, "", 16, 28, 400, 150},
    {"animationStatusLabel", "动画标签", K::Label, "playerPanel", 40, 2, 50, 20, "动画 ╳"},
    {"tipsStatusLabel", "人物提示标签", K::Label, "playerPanel", 100, 2, 50, 20, "提示 √"},
    {"playedLabel", "已播放标签", K::Label, "playerPanel", 199, 2, 50, 20, "已播放："},
    {"percentLabel", "跳到标签", K::Label, "playerPanel", 238, 2, 47, 20, "0%"},
    {"modeLabel", "模式标签", K::Label, "playerPanel", 286, 2, 75, 20, "◣循环播放◥"},
    {"volumeButton", "音量设置按钮", K::SuperBtn, "playerPanel", 374, 2, 25, 25, "", "音量设置"},
    {"nowPlayingFrame", "外形框02", K::ShapeBox, "playerPanel", 19, 24, 362, 60},
    {"nowPlayingLabel", "提示标签", K::Label, "nowPlayingFrame", 18, 14, 326, 20,
     "欢迎使用【Kivo-mp3播放器】"},
    {"progressBar", "播放进度", K::SuperBar, "nowPlayingFrame", 21, 47, 320, 5},
    {"previousButton", "上一首关闭按钮", K::SuperBtn, "playerPanel", 114, 97, 46, 46, "", "上一首"},
    {"playButton", "播放按钮", K::SuperBtn, "playerPanel", 172, 92, 55, 55, "", "播放"},
    {"nextButton", "下一首按钮", K::SuperBtn, "playerPanel", 239, 97, 46, 46, "", "下一首"},
    {"discPicture", "图片框3", K::PicBox, "playerPanel", 334, 85, 64, 64},
    {"statusPicture", "图片框4", K::PicBox, "", 21, 135, 100, 30},
    {"toolbarPanel", "外形框03", K::ShapeBox, "", 16, 177, 400, 30},
    {"animationButton", "动画按钮", K::SuperBtn, "toolbarPanel", 5, 4, 80, 22, "打开动画 ◇",
     "动画显示"},
    {"helpButton", "帮助按钮", K::SuperBtn, "toolbarPanel", 112, 4, 48, 22, "帮助 ？", "使用帮助"},
    {"tipsButton", "提示按钮", K::SuperBtn, "toolbarPanel", 194, 4, 70, 22, "关闭提示 ╳",
     "人物提示设置"},
    {"playlistToggleButton", "播放列表按钮", K::SuperBtn, "toolbarPanel", 293, 4, 105, 22,
     "关闭播放列表 △", "列表显示"},
    {"playlistPanel", "外形框04", K::ShapeBox, "", 16, 210, 400, 275},
    {"songCountLabel", "歌曲总数标签", K::Label, "playlistPanel", 6, 5, 122, 16, "歌曲总数："},
    {"songPositionLabel", "被选歌曲标签", K::Label, "playlistPanel", 153, 5, 127, 16, "歌曲位置："},
    {"playlistCombo", "歌曲列表选择组合框", K::ComboBox, "playlistPanel", 315, 5, 80, 20,
     "本地列表", "", true, kPlaylistNames},
    {"editButtonsPanel", "外形框06", K::ShapeBox, "playlistPanel", 0, 26, 47, 224},
    {"locateButton", "定位按钮", K::SuperBtn, "editButtonsPanel", 2, 15, 44, 22, "定位 #",
     "定位歌曲"},
    {"addButton", "添加按钮", K::SuperBtn, "editButtonsPanel", 2, 58, 44, 22, "添加 +", "添加音乐"},
    {"deleteButton", "删除按钮", K::SuperBtn, "editButtonsPanel", 2, 101, 44, 22, "删除 -",
     "删除选中歌曲"},
    {"clearButton", "清空按钮", K::SuperBtn, "editButtonsPanel", 2, 144, 44, 22, "清空 0",
     "清空播放列表"},
    {"saveButton", "保存按钮", K::SuperBtn, "editButtonsPanel", 2, 188, 44, 22, "保存 *",
     "保存播放列表"},
    {"songListFrame", "外形框05", K::ShapeBox, "playlistPanel", 48, 26, 352, 224},
    {"songList", "播放列表框", K::ListBox, "songListFrame", 4, 4, 343, 216},
    {"searchPanel", "外形框1", K::ShapeBox, "songListFrame", 26, 92, 300, 40, "", "", false},
    {"searchEdit", "查找编辑框", K::EditBox, "searchPanel", 6, 5, 262, 30, "查找列表歌曲"},
    {"searchCloseButton", "关闭按钮1", K::SuperBtn, "searchPanel", 273, 10, 20, 20, "╳", "关闭"},
    {"openFileDialog", "通用对话框1", K::CommonDlg, "playlistPanel", 0, 0, 0, 0, kSongFileFilter},
    {"colorItemLabel", "标签2", K::Label, "playlistPanel", 8, 254, 30, 16, "项目："},
    {"colorItemCombo", "颜色设置选择组合框", K::ComboBox, "playlistPanel", 46, 252, 128, 20,
     "选择设置颜色项目", "", true, kColourItems},
    {"colorLabel", "标签1", K::Label, "playlistPanel", 197, 254, 30, 16, "颜色："},
    {"colorPicker", "颜色选择器", K::ColorPicker, "playlistPanel", 234, 252, 40, 20},
    {"searchButton", "搜索按钮", K::SuperBtn, "playlistPanel", 294, 251, 45, 22, "查找 S",
     "查找歌曲"},
    {"kugouButton", "酷狗按钮", K::SuperBtn, "playlistPanel", 350, 251, 45, 22, "酷狗 K",
     "酷狗音乐网页版"},
    {"volumePanel", "外形框07", K::ShapeBox, "", 389, 28, 27, 179, "", "", false},
    {"volumeSlider", "音量调节", K::SuperBar, "volumePanel", 6, 2, 15, 150},
    {"mutePanel", "外形框9", K::ShapeBox, "volumePanel", 0, 152, 27, 27},
    {"muteButton", "静音按钮", K::SuperBtn, "mutePanel", 1, 1, 25, 25, "", "设置静音"},
    {"minimizeButton", "最小化按钮", K::SuperBtn, "", 360, 4, 20, 20, "一", "最小化"},
    {"closeButton", "关闭按钮", K::SuperBtn, "", 392, 4, 20, 20, "╳", "关闭"},
    {"modeButton", "模式设置按钮", K::SuperBtn, "", 314, 132, 36, 36},
    {"decorPicture1", "图片框1", K::PicBox, "", 0, 0, 50, 50},
    {"decorPicture2", "图片框2", K::PicBox, "", 416, 8, 60, 65},
    {"tipBalloon", "气球提示框1", K::QTip, ""},
    {"systemVolume", "主系统音量", K::SysVolume, ""},
};

// The collect items are bound to their playlist by name; their handles carry the playlist
// index, since the menu lists them in another order than the combo box.
constexpr MenuTemplate kMenus[] = {
    {"addMenu", "", "添加"},
    {"addMusicItem", "addMenu", "添加音乐"},
    {"addFolderItem", "addMenu", "添加目录"},
    {"songMenu", "", "功能"},
    {"playItem", "songMenu", "播放"},
    {"", "songMenu", ""},
    {"sortMenu", "songMenu", "排序"},
    {"autoSortItem", "sortMenu", "自动排序"},
    {"cancelSortItem", "sortMenu", "取消排序"},
    {"", "songMenu", ""},
    {"deleteSelectedItem", "songMenu", "删除选中", false, "Ctrl+D"},
    {"clearListItem", "songMenu", "清空列表"},
    {"", "songMenu", ""},
    {"collectMenu", "songMenu", "收藏到列表"},
    {"collectItem0", "collectMenu", "本地列表"},
    {"collectItem1", "collectMenu", "最爱歌曲"},
    {"collectItem3", "collectMenu", "流行歌曲"},
    {"collectItem2", "collectMenu", "欧美歌曲"},
    {"collectItem4", "collectMenu", "国语歌曲"},
    {"collectItem5", "collectMenu", "粤语歌曲"},
    {"collectItem7", "collectMenu", "搞笑歌曲"},
    {"collectItem6", "collectMenu", "伤感歌曲"},
    {"collectItem8", "collectMenu", "其他歌曲"},
    {"modeMenu", "", "模式"},
    {"singlePlayItem", "modeMenu", "单曲播放"},
    {"singleRepeatItem", "modeMenu", "单曲循环"},
    {"loopPlayItem", "modeMenu", "循环播放", true},
    {"sequentialPlayItem", "modeMenu", "顺序播放"},
    {"randomPlayItem", "modeMenu", "随机播放"},
    {"", "modeMenu", ""},
    {"autoSwitchListItem", "modeMenu", "自动切换列表"},
};

constexpr WindowTemplate kMainWindow{"mainWindow", 50, 50, 476, 510, 0xFFFFFF, kControls, kMenus};

}  // namespace

const WindowTemplate& mainWindowTemplate() {
    return kMainWindow;
}

}  // namespace kivo
