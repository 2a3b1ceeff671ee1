#include "help_window.h"

#include <string>

#include "dialog_host.h"
#include "kivo.h"
#include "other_windows.h"

namespace kivo {

namespace {

// Where the help window's balloon points, from the window's top left corner.
constexpr int kBalloonDx = 47;
constexpr int kBalloonDy = 10;

void popUpFeedback(Kivo& kivo, std::string_view text) {
    auto* window = qobject_cast<FeedbackWindow*>(kivo.feedbackWindow().window());
    if (window == nullptr) return;
    window->feedbackBalloon->popUp(window->left() + kBalloonDx, window->top() + kBalloonDy, text,
                                   -1);
}

}  // namespace

std::string_view aboutText() {
    return "<table cellspacing='2'>"
           "<tr><td><b><font color='#7B5CFF'>关于【Kivo-mp3播放器】</font></b></td></tr>"
           "<tr><td>Kivo 是一个会说话的小播放器：MP3 由它自己解码，九个列表随手切换。</td></tr>"
           "<tr><td>它陪你听歌、替你调音量，还会跳舞讲笑话，吵了就点“关闭提示”。</td></tr>"
           "<tr><td><font color='#2B2150'>版本 1.0 · 用心做给每一个爱听歌的你 嘻嘻~~~</font>"
           "</td></tr></table>";
}

void openHelpWindow(Kivo& kivo) {
    showCompanionMessage(kivo, "亲~~~希望我能帮到你！呵呵...\r\n\r\n有啥建议或问题可以向我反馈哦");
    kivo.feedbackWindow().load();
}

void showAbout(Kivo& kivo) {
    popUpFeedback(kivo, aboutText());
}

void showMore(Kivo& kivo) {
    // Already open: loading it again only brings it to the front.
    kivo.feedbackWindow().load();
    popUpFeedback(kivo, "亲~~~更多功能正在实现中，\r\n\r\n有啥建议或问题可以向我反馈哦");
}

void openSpacePage(Kivo&) {
    runtime::openWebPage(std::string(kSpacePage));
}

void openSinaWeiboPage(Kivo&) {
    runtime::openWebPage(std::string(kSinaWeiboPage));
}

void openTencentWeiboPage(Kivo&) {
    runtime::openWebPage(std::string(kTencentWeiboPage));
}

void cancelHelp(Kivo& kivo) {
    kivo.feedbackWindow().unload();
    showCompanionMessage(kivo, "亲~~~看来你已经解决心中的疑问了");
}

}  // namespace kivo
