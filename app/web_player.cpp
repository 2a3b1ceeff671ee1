#include "web_player.h"

#include <algorithm>

#include "companion_message.h"
#include "kivo.h"
#include "other_windows.h"
#include "play_sound.h"
#include "program.h"
#include "skin.h"

namespace kivo {

namespace {
constexpr int kBesideMainDx = 8;
}  // namespace

void openWebPlayer(Kivo& kivo) {
    kivo.webPlayerWindow().load();
    showCompanionMessage(kivo, "亲！您正在链接网页版酷狗！尽情享受吧");
}

void webPlayerCreated(Kivo& kivo, WebPlayerWindow& window) {
    window.makeLayered();
    // Beside the main window, not over it, and on the screen where there is room for it.
    const MainWindow& main = kivo.mainWindow();
    const int right = runtime::screenWidth() - window.width();
    window.move(std::max(0, std::min(main.left() + main.width() + kBesideMainDx, right)),
                main.top());
    const QByteArray clip = skinSound("web.wav");
    runtime::playSound(std::string_view(clip.constData(), std::size_t(clip.size())));
    window.webView->navigate(kWebPlayerStartPage);
}

}  // namespace kivo
