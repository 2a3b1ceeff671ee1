#include "window_behaviours.h"

#include "companion_message.h"
#include "kivo.h"
#include "program.h"

namespace kivo {

namespace {
constexpr int kOpenHeight = 485;
constexpr int kClosedHeight = 207;
}  // namespace

void togglePlaylistPanel(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    // The panel is never hidden: the shorter window simply cuts it off.
    if (window.playlistToggleButton->caption() == kPlaylistClosedCaption) {
        window.setHeightPx(kOpenHeight);
        window.playlistToggleButton->setCaption(kPlaylistOpenCaption);
        showCompanionMessage(kivo,
                             "骚年~~~你已打开播放列表了\r\n\r\n为我播放一首好听的歌曲吧\r\n\r\n"
                             "Kivo在此感激不尽！嘻嘻...");
    } else {
        window.setHeightPx(kClosedHeight);
        window.playlistToggleButton->setCaption(kPlaylistClosedCaption);
        showCompanionMessage(kivo, "呵呵~~已关闭播放列表了\r\n\r\n可以再次点击打开哦！");
    }
}

void searchGotFocus(Kivo& kivo) {
    runtime::EditBox& edit = *kivo.mainWindow().searchEdit;
    if (edit.content() == kSearchPlaceholder) {
        edit.setContent("");
        edit.setTextColour(0);
    }
}

void searchLostFocus(Kivo& kivo) {
    runtime::EditBox& edit = *kivo.mainWindow().searchEdit;
    if (edit.content().empty()) {
        edit.setContent(kSearchPlaceholder);
        edit.setTextColour(kPlaceholderColour);
    }
}

void closeSearch(Kivo& kivo) {
    kivo.mainWindow().searchPanel->hide();
}

void minimiseMainWindow(Kivo& kivo) {
    kivo.mainWindow().minimise();
    if (kivo.mainWindow().animationButton->caption() == kAnimationOnCaption) toggleAnimation(kivo);
}

void closeMainWindow(Kivo&) {
    runtime::endProgram();
}

void toggleAnimation(Kivo& kivo) {
    MainWindow& window = kivo.mainWindow();
    if (window.animationButton->caption() != kAnimationOffCaption) {
        // The running joke sequence notices the switch and closes its window by itself.
        window.animationButton->setCaption(kAnimationOffCaption);
        window.animationStatusLabel->setCaption("动画 ╳");
        showCompanionMessage(kivo,
                             " ＜（－︿－）＞   好吧！我知道自己唱得不好也跳得不好！\r\n\r\n"
                             "有带这样伤我心的吗？我容易吗？不理你了！哼~~~~呜呜~~~");
    } else {
        window.animationButton->setCaption(kAnimationOnCaption);
        window.animationStatusLabel->setCaption("动画 √");
        kivo.animationWindow().load(&window);
        showCompanionMessage(kivo, "亲~~~有Kivo为您表演和唱歌，\r\n\r\n有木有高兴呢，呵呵呵.....");
    }
}

void minimiseWebPlayer(Kivo& kivo) {
    if (runtime::LayeredWindow* window = kivo.webPlayerWindow().window()) window->minimise();
}

void closeWebPlayer(Kivo& kivo) {
    kivo.webPlayerWindow().unload();
}

}  // namespace kivo
