// The companion's balloon beside the main window: how every handler talks to the user.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;

// Pops the companion's balloon up beside the main window with the text.
void showCompanionMessage(Kivo& kivo, std::string_view text);

}  // namespace kivo
