// The playlist panel, the search field, minimise and the template of every window.
#include <QFile>
#include <QLineEdit>

#include "app_fixture.h"
#include "other_windows.h"
#include "window_behaviours.h"

namespace kivo {
namespace {

class WindowBehaviourTest : public AppTest {};

TEST_F(WindowBehaviourTest, PlaylistPanelFoldsTo207AndOpensTo485) {
    MainWindow& w = window();
    ASSERT_EQ(w.height(), 510);
    w.playlistToggleButton->click();
    EXPECT_EQ(w.height(), 207);
    EXPECT_EQ(w.playlistToggleButton->caption(), "打开播放列表 ▽");
    EXPECT_EQ(balloonText(), "呵呵~~已关闭播放列表了\r\n\r\n可以再次点击打开哦！");
    EXPECT_TRUE(w.playlistPanel->isVisibleTo(&w));  // cut off, never hidden
    w.playlistToggleButton->click();
    EXPECT_EQ(w.height(), 485);  // not back to the template's 510
    EXPECT_EQ(w.playlistToggleButton->caption(), "关闭播放列表 △");
    EXPECT_EQ(balloonText(),
              "骚年~~~你已打开播放列表了\r\n\r\n为我播放一首好听的歌曲吧\r\n\r\n"
              "Kivo在此感激不尽！嘻嘻...");
    w.playlistToggleButton->click();
    w.playlistToggleButton->click();
    EXPECT_EQ(w.height(), 485);
}

TEST_F(WindowBehaviourTest, SearchPlaceholderComesAndGoes) {
    runtime::EditBox& edit = *window().searchEdit;
    int changes = 0;
    QObject::connect(&edit, &runtime::EditBox::contentChanged, [&] { ++changes; });
    const QColor grey(0x80, 0x80, 0x80);
    EXPECT_EQ(edit.content(), "查找列表歌曲");
    EXPECT_EQ(edit.palette().color(QPalette::Text), grey);

    emit edit.gotFocus();
    EXPECT_EQ(edit.content(), "");
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(Qt::black));
    emit edit.lostFocus();
    EXPECT_EQ(edit.content(), "查找列表歌曲");
    EXPECT_EQ(edit.palette().color(QPalette::Text), grey);
    EXPECT_EQ(changes, 2);  // both writes count as edits

    edit.setContent("爱你");
    edit.setTextColour(0x0000FF);
    emit edit.gotFocus();
    emit edit.lostFocus();
    EXPECT_EQ(edit.content(), "爱你");
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(0xFF, 0, 0));
}

TEST_F(WindowBehaviourTest, SearchCloseButtonHidesThePanelSilently) {
    MainWindow& w = window();
    w.searchPanel->show();
    w.searchCloseButton->click();
    EXPECT_FALSE(w.searchPanel->isVisibleTo(&w));
    EXPECT_EQ(balloonText(), "");
}

TEST_F(WindowBehaviourTest, MinimiseSwitchesARunningAnimationOff) {
    MainWindow& w = window();
    kivo_->start();
    const std::string welcome = balloonText();
    w.minimizeButton->click();
    EXPECT_EQ(balloonText(), welcome);  // animation off: no message
    EXPECT_EQ(w.animationButton->caption(), "打开动画 ◇");

    w.showNormal();
    toggleAnimation(*kivo_);
    ASSERT_EQ(w.animationButton->caption(), "关闭动画 ╳");
    EXPECT_EQ(w.animationStatusLabel->caption(), "动画 √");
    ASSERT_TRUE(kivo_->animationWindow().isLoaded());
    EXPECT_TRUE(kivo_->animationWindow().window()->isLayered());
    w.minimizeButton->click();
    EXPECT_EQ(w.animationButton->caption(), "打开动画 ◇");
    EXPECT_EQ(w.animationStatusLabel->caption(), "动画 ╳");
    EXPECT_EQ(balloonText(),
              " ＜（－︿－）＞   好吧！我知道自己唱得不好也跳得不好！\r\n\r\n"
              "有带这样伤我心的吗？我容易吗？不理你了！哼~~~~呜呜~~~");
}

TEST_F(WindowBehaviourTest, MainWindowControlsFollowTheTemplate) {
    const WindowTemplate& layout = mainWindowTemplate();
    const ControlSet& controls = window().controls();
    for (const ControlTemplate& control : layout.controls) {
        SCOPED_TRACE(std::string(control.handle));
        QObject* object = controls.find(control.handle);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->property("templateName").toString().toStdString(), control.templateName);
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget == nullptr || widget->isWindow()) continue;  // the invisible kinds
        const std::string container =
            control.container.empty() ? "mainWindow" : std::string(control.container);
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), container);
        EXPECT_EQ(widget->geometry(), QRect(control.x, control.y, control.width, control.height));
        EXPECT_EQ(!widget->isHidden(), control.visible);
        if (auto* button = qobject_cast<runtime::SuperBtn*>(widget)) {
            EXPECT_EQ(button->caption(), control.caption);
            EXPECT_EQ(button->toolTip().toStdString(), control.tooltip);
            EXPECT_FALSE(button->normalPicture().isEmpty());
        } else if (auto* label = qobject_cast<runtime::Label*>(widget)) {
            EXPECT_EQ(label->caption(), control.caption);
        }
    }
}

TEST_F(WindowBehaviourTest, PicturesComeFromTheSkin) {
    if (!QFile::exists(KIVO_TEST_DATA "/../../assets/assets.qrc")) GTEST_SKIP() << "no skin yet";
    MainWindow& w = window();
    for (runtime::SuperBtn* button : {w.playButton, w.closeButton, w.muteButton}) {
        EXPECT_TRUE(button->normalPicture().startsWith("GIF8"))
            << button->objectName().toStdString();
        EXPECT_TRUE(button->hotPicture().startsWith("GIF8")) << button->objectName().toStdString();
    }
    EXPECT_TRUE(w.decorPicture2->picture().startsWith("GIF8"));
    EXPECT_EQ(w.muteButton->normalPicture().size(), 1144);  // the speaker picture
}

TEST_F(WindowBehaviourTest, CombosMenusAndDialogOfTheMainWindow) {
    MainWindow& w = window();
    EXPECT_EQ(w.playlistCombo->count(), 9);
    EXPECT_EQ(w.playlistCombo->itemTextAt(0), "本地列表");
    EXPECT_EQ(w.playlistCombo->itemTextAt(8), "其他歌曲");
    EXPECT_EQ(w.playlistCombo->itemTextAt(9), "");
    EXPECT_EQ(w.colorItemCombo->current(), -1);
    EXPECT_EQ(w.colorItemCombo->itemTextAt(1), "----------------");
    EXPECT_EQ(w.openFileDialog->filter(), "音乐文件(*.mp3)|*.mp3;*.wma;*.wav");
    EXPECT_FALSE(w.volumePanel->isVisibleTo(&w));
    EXPECT_FALSE(w.searchPanel->isVisibleTo(&w));

    runtime::PopupMenus& menus = w.menus();
    for (const char* top : {"addMenu", "songMenu", "modeMenu", "sortMenu", "collectMenu"}) {
        EXPECT_NE(menus.menu(top), nullptr) << top;
    }
    EXPECT_TRUE(menus.isChecked("loopPlayItem"));
    EXPECT_EQ(menus.item("deleteSelectedItem")->shortcut(), QKeySequence("Ctrl+D"));
    // The collect items are listed in their own order but each names its playlist.
    for (int index = 0; index < 9; ++index) {
        const std::string handle = "collectItem" + std::to_string(index);
        ASSERT_NE(menus.item(handle), nullptr);
        EXPECT_EQ(menus.item(handle)->text().toStdString(), w.playlistCombo->itemTextAt(index));
    }
}

TEST_F(WindowBehaviourTest, OtherWindowsLoadOnceAndLayered) {
    runtime::LayeredWindow* web = kivo_->webPlayerWindow().load();
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->isLayered());
    EXPECT_EQ(web->colourKey(), QColor(0xEC, 0xEC, 0xEC));
    EXPECT_EQ(web->size(), QSize(830, 595));
    EXPECT_EQ(kivo_->webPlayerWindow().load(), web);  // loading again only activates it
    auto* webWindow = qobject_cast<WebPlayerWindow*>(web);
    ASSERT_NE(webWindow, nullptr);
    webWindow->webCloseButton->click();
    EXPECT_FALSE(kivo_->webPlayerWindow().isLoaded());

    runtime::LayeredWindow* help = kivo_->feedbackWindow().load();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isLayered());
    EXPECT_EQ(help->colourKey(), QColor(Qt::white));
    EXPECT_EQ(help->size(), QSize(290, 143));
    auto* helpWindow = qobject_cast<FeedbackWindow*>(help);
    ASSERT_NE(helpWindow, nullptr);
    EXPECT_EQ(helpWindow->moreButton->caption(), "更多＞＞");
    EXPECT_EQ(helpWindow->feedbackCancelButton->toolTip().toStdString(), "取消 ");
}

}  // namespace
}  // namespace kivo
