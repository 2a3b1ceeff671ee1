#include "help_window.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <string>

#include "companion_message.h"
#include "dialog_host.h"
#include "kivo.h"
#include "other_windows.h"
#include "program.h"

namespace kivo {

namespace {

// Where the help window's balloon points, from the window's top left corner.
constexpr int kBalloonDx = 47;
constexpr int kBalloonDy = 10;

// The help window first shows beside the main window, clear of the companion's balloon.
constexpr int kBesideMainDx = 8;
constexpr int kBesideMainDy = 260;

void popUpFeedback(Kivo& kivo, std::string_view text) {
    auto* window = qobject_cast<FeedbackWindow*>(kivo.feedbackWindow().window());
    if (window == nullptr) return;
    // Above the window where there is room, so the box does not hide the buttons.
    window->feedbackBalloon->setPrefersAbove(true);
    window->feedbackBalloon->popUp(window->left() + kBalloonDx, window->top() + kBalloonDy, text,
                                   -1);
}

}  // namespace

std::string userGuidePage(std::string_view section) {
    // share/kivo beside the program's bin folder, in the build tree as once installed; else
    // wherever the system keeps data.
    constexpr char kGuide[] = "kivo/guide/index.html";
    const QDir programDir(QString::fromStdString(runtime::runDirectory()));
    QString path = QDir::cleanPath(programDir.absoluteFilePath(QStringLiteral("../share/")) +
                                   QString::fromLatin1(kGuide));
    if (!QFileInfo::exists(path)) {
        const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QString::fromLatin1(kGuide));
        if (!found.isEmpty()) path = found;
    }
    QUrl page = QUrl::fromLocalFile(path);
    if (!section.empty())
        page.setFragment(QString::fromUtf8(section.data(), qsizetype(section.size())));
    return page.toString(QUrl::FullyEncoded).toStdString();
}

std::string_view aboutText() {
    return "<b><font color='#7B5CFF'>关于【Kivo-mp3播放器】</font></b><br><br>"
           "Kivo 会说话，MP3 都由它自己解码；<br>"
           "九个列表随手切换，嫌吵就点“关闭提示”；<br>"
           "使用指南已在浏览器中打开。";
}

void openHelpWindow(Kivo& kivo) {
    showCompanionMessage(kivo, "亲~~~希望我能帮到你！呵呵...\r\n\r\n有啥建议或问题可以向我反馈哦");
    const bool opening = !kivo.feedbackWindow().isLoaded();
    runtime::LayeredWindow* window = kivo.feedbackWindow().load();
    if (opening && window != nullptr) {
        const MainWindow& main = kivo.mainWindow();
        window->move(main.left() + main.width() + kBesideMainDx, main.top() + kBesideMainDy);
    }
}

void showAbout(Kivo& kivo) {
    popUpFeedback(kivo, aboutText());
    runtime::openWebPage(userGuidePage());
}

void showMore(Kivo& kivo) {
    // Already open: loading it again only brings it to the front.
    kivo.feedbackWindow().load();
    popUpFeedback(kivo, "亲~~~更多功能正在实现中，\r\n\r\n有啥建议或问题可以向我反馈哦");
}

void openSpacePage(Kivo&) {
    runtime::openWebPage(userGuidePage());
}

void openSinaWeiboPage(Kivo&) {
    runtime::openWebPage(userGuidePage(kFeedbackSection));
}

void openTencentWeiboPage(Kivo&) {
    runtime::openWebPage(userGuidePage(kFeedbackSection));
}

void cancelHelp(Kivo& kivo) {
    kivo.feedbackWindow().unload();
    showCompanionMessage(kivo, "亲~~~看来你已经解决心中的疑问了");
}

}  // namespace kivo
