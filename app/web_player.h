// The web music window: the Kugou web player in an embedded browser, greeted by a chime.
#pragma once

#include <string_view>

namespace kivo {

class Kivo;
class WebPlayerWindow;

inline constexpr std::string_view kWebPlayerStartPage = "https://web.kugou.com/";

// The kugou button: opens the window, or only brings it back when it is open.
void openWebPlayer(Kivo& kivo);
// The window's created event: layered, its chime once, and the start page.
void webPlayerCreated(Kivo& kivo, WebPlayerWindow& window);

}  // namespace kivo
