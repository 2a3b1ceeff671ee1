// The pictures and sounds of the windows, from the skin's resources built into the program.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <string_view>

#include "control_set.h"

namespace kivo {

// The skin's colours for lines and fills (0xBBGGRR): violet border lines, a lavender mist fill
// for the panels and a lighter one inside the list and the now-playing frame.
inline constexpr uint32_t kSkinBorder = 0xFF5C7B;
inline constexpr uint32_t kSkinPanelFill = 0xFFEAEF;
inline constexpr uint32_t kSkinInnerFill = 0xFFF7F9;

// The bytes of ":/pictures/<name>"; empty when missing.
QByteArray skinPicture(std::string_view name);

// The bytes of ":/sounds/<name>"; empty when missing.
QByteArray skinSound(std::string_view name);

// Gives every control of the window its template pictures.
void dressWindow(const ControlSet& controls);

}  // namespace kivo
