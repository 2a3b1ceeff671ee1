// The static description of a window: its controls with kind, container, place, caption,
// tooltip and first visibility, and its pop-up menus. A window class builds itself from it and
// then addresses every control by its handle.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kivo {

enum class ControlKind {
    Label,
    EditBox,
    PicBox,
    ShapeBox,
    ComboBox,
    ListBox,
    ColorPicker,
    CommonDlg,
    Timer,
    SuperBtn,
    PicBtn,
    SuperBar,
    QTip,
    SysVolume,
    HtmlViewer,
};

struct ControlTemplate {
    constexpr ControlTemplate(std::string_view handle, std::string_view templateName,
                              ControlKind kind, std::string_view container, int x = 0, int y = 0,
                              int width = 0, int height = 0, std::string_view caption = {},
                              std::string_view tooltip = {}, bool visible = true,
                              std::span<const std::string_view> items = {})
        : handle(handle),
          templateName(templateName),
          kind(kind),
          container(container),
          x(x),
          y(y),
          width(width),
          height(height),
          caption(caption),
          tooltip(tooltip),
          visible(visible),
          items(items) {}

    std::string_view handle;
    std::string_view templateName;
    ControlKind kind;
    std::string_view container;  // empty: the window's client area
    int x, y, width, height;     // all 0 for the invisible kinds
    std::string_view caption;    // for the file dialog: its filter
    std::string_view tooltip;
    bool visible;
    std::span<const std::string_view> items;  // the fixed items of a combo box
};

// One entry of a menu: an item, a sub-menu (when some entry names it as its menu) or a
// separator (no handle, no caption). Top-level menus have an empty `menu`.
struct MenuTemplate {
    constexpr MenuTemplate(std::string_view handle, std::string_view menu, std::string_view caption,
                           bool checked = false, std::string_view shortcut = {})
        : handle(handle), menu(menu), caption(caption), checked(checked), shortcut(shortcut) {}

    std::string_view handle;
    std::string_view menu;
    std::string_view caption;
    bool checked;
    std::string_view shortcut;  // in Qt's portable key text, e.g. "Ctrl+D"
};

struct WindowTemplate {
    std::string_view handle;
    int x, y, width, height;
    uint32_t
        colourKey;  // 0xRRGGBB; the bare background and every pixel of this colour show through
    std::span<const ControlTemplate> controls;
    std::span<const MenuTemplate> menus;
};

const WindowTemplate& mainWindowTemplate();
const WindowTemplate& animationWindowTemplate();
const WindowTemplate& feedbackWindowTemplate();
const WindowTemplate& webPlayerWindowTemplate();

// The file filter of the song file dialog.
inline constexpr std::string_view kSongFileFilter = "音乐文件(*.mp3)|*.mp3;*.wma;*.wav";

}  // namespace kivo
