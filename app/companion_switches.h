// The switch that silences the companion: with messages off every message still pops up, but
// fully transparent. Only the main window's balloon is affected.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;

inline constexpr std::string_view kMessagesOnCaption = "关闭提示 ╳";
inline constexpr std::string_view kMessagesOffCaption = "打开提示 ◇";
// Transparency percent of the companion's balloon with messages on and off.
inline constexpr int kMessagesOnTransparency = 10;
inline constexpr int kMessagesOffTransparency = 100;

// Switches the companion's messages on or off.
void toggleMessages(Kivo& kivo);

}  // namespace kivo
