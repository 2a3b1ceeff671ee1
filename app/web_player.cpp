#include "web_player.h"

#include "companion_message.h"
#include "kivo.h"
#include "other_windows.h"
#include "play_sound.h"
#include "skin.h"

namespace kivo {

void openWebPlayer(Kivo& kivo) {
    kivo.webPlayerWindow().load();
    showCompanionMessage(kivo, "亲！您正在链接网页版酷狗！尽情享受吧");
}

void webPlayerCreated(Kivo&, WebPlayerWindow& window) {
    window.makeLayered();
    const QByteArray clip = skinSound("web.wav");
    runtime::playSound(std::string_view(clip.constData(), std::size_t(clip.size())));
    window.webView->navigate(kWebPlayerStartPage);
}

}  // namespace kivo
