#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "common_dlg.h"
#include "dialog_host.h"
#include "popup_menus.h"
#include "pumping_wait.h"
#include "qt_app.h"
#include "scripted_dialogs.h"

namespace kivo::runtime {
namespace {

class DialogsTest : public ::testing::Test {
protected:
    QApplication& app_ = test::qtApp();  // before any widget member
    ScriptedDialogs dialogs;
};

TEST_F(DialogsTest, YesNoQuestionsAreAnsweredFromTheScript) {
    dialogs.answerMessageBox(kIdYes);
    dialogs.answerMessageBox(kIdNo);
    const uint32_t flags = kMbYesNo | kMbIconInformation;
    EXPECT_EQ(flags, 0x44u);
    EXPECT_EQ(messageBox("请问您是否要保存【本地列表】播放列表！", flags, "温馨提示"), 5);
    EXPECT_EQ(messageBox("是否清空【本地列表】列表？", flags, "温馨提示"), 6);
    ASSERT_EQ(dialogs.calls().size(), 2u);
    EXPECT_EQ(dialogs.calls()[0].text, "请问您是否要保存【本地列表】播放列表！");
    EXPECT_EQ(dialogs.calls()[0].caption, "温馨提示");
    EXPECT_EQ(dialogs.calls()[0].flags, 0x44u);
    EXPECT_EQ(dialogs.unexpectedCalls(), 0);
}

TEST_F(DialogsTest, AnUnscriptedQuestionIsRecordedAndAnsweredAsCancelled) {
    EXPECT_EQ(messageBox("?", kMbYesNo | kMbIconInformation, "温馨提示"), kIdNo);
    dialogs.answerFile("/music/a.mp3");  // the wrong kind for a folder question
    EXPECT_EQ(browseForFolder("请选择一个目录，以搜索MP3音乐文件"), "");
    EXPECT_EQ(dialogs.unexpectedCalls(), 2);
    EXPECT_EQ(dialogs.pendingAnswers(), 1u);
}

TEST_F(DialogsTest, FolderChooserAndFileDialog) {
    dialogs.answerFolder("/home/user/音乐");
    dialogs.answerFolder("");
    EXPECT_EQ(browseForFolder("请选择一个目录，以搜索MP3音乐文件"), "/home/user/音乐");
    EXPECT_EQ(browseForFolder("请选择一个目录，以搜索MP3音乐文件"), "");
    EXPECT_EQ(dialogs.calls()[0].text, "请选择一个目录，以搜索MP3音乐文件");

    QWidget owner;
    CommonDlg dialog(&owner);
    dialog.setFilter("音乐文件(*.mp3)|*.mp3;*.wma;*.wav");
    dialogs.answerFile("/music/我爱你.mp3");
    dialog.open();
    EXPECT_EQ(dialog.fileName(), "/music/我爱你.mp3");
    dialog.open();  // cancelled (nothing scripted): the name is empty again
    EXPECT_EQ(dialog.fileName(), "");
    EXPECT_EQ(dialogs.calls()[2].text, "音乐文件(*.mp3)|*.mp3;*.wma;*.wav");
}

TEST_F(DialogsTest, WebPagesGoToTheHost) {
    openWebPage("http://web.kugou.com/");
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].kind, ScriptedDialogs::Kind::WebPage);
    EXPECT_EQ(dialogs.calls()[0].text, "http://web.kugou.com/");
    EXPECT_EQ(dialogs.unexpectedCalls(), 0);
}

class MenusTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        menus = new PopupMenus(&window);
        menus->addEntry("songMenu", "", "功能");
        menus->addEntry("playItem", "songMenu", "播放");
        menus->addEntry("", "songMenu", "");
        menus->addEntry("sortMenu", "songMenu", "排序");
        menus->addEntry("autoSortItem", "sortMenu", "自动排序");
        menus->addEntry("deleteSelectedItem", "songMenu", "删除选中", false, "Ctrl+D");
        menus->addEntry("modeMenu", "", "模式");
        menus->addEntry("loopPlayItem", "modeMenu", "循环播放", true);
        menus->addEntry("autoSwitchListItem", "modeMenu", "自动切换列表");
    }
    QWidget window;
    PopupMenus* menus = nullptr;
};

TEST_F(MenusTest, StructureAndSubMenus) {
    QMenu* song = menus->menu("songMenu");
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->title(), QStringLiteral("功能"));
    ASSERT_EQ(song->actions().size(), 4);
    EXPECT_TRUE(song->actions()[1]->isSeparator());
    ASSERT_NE(menus->menu("sortMenu"), nullptr);
    EXPECT_EQ(song->actions()[2]->menu(), menus->menu("sortMenu"));
    EXPECT_EQ(menus->item("autoSortItem")->parent(), menus->menu("sortMenu"));
}

TEST_F(MenusTest, PopsUpAtTheMousePositionMovedThreePixels) {
    QCursor::setPos(200, 100);
    QPoint mouse = QCursor::pos();
    dialogs.answerMenu("");
    menus->popUp("songMenu");
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].kind, ScriptedDialogs::Kind::Menu);
    EXPECT_EQ(dialogs.calls()[0].at, mouse + QPoint(3, 3));
}

TEST_F(MenusTest, APickArrivesAfterThePoppingHandlerReturns) {
    std::vector<std::string> trace;
    QObject::connect(menus, &PopupMenus::itemClicked,
                     [&](const QString& h) { trace.push_back("clicked " + h.toStdString()); });
    dialogs.answerMenu("autoSortItem");
    menus->popUp("songMenu");
    trace.push_back("handler message");
    processPendingEvents();
    EXPECT_EQ(trace, (std::vector<std::string>{"handler message", "clicked autoSortItem"}));
}

TEST_F(MenusTest, ClicksDoNotToggleCheckedMarks) {
    QSignalSpy clicks(menus, &PopupMenus::itemClicked);
    EXPECT_TRUE(menus->isChecked("loopPlayItem"));
    EXPECT_FALSE(menus->isChecked("autoSwitchListItem"));
    menus->item("autoSwitchListItem")->trigger();
    menus->item("loopPlayItem")->trigger();
    processPendingEvents();
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_FALSE(menus->isChecked("autoSwitchListItem"));
    EXPECT_FALSE(menus->item("autoSwitchListItem")->isChecked());
    EXPECT_TRUE(menus->isChecked("loopPlayItem"));
    menus->setChecked("autoSwitchListItem", true);
    menus->setChecked("loopPlayItem", false);
    EXPECT_TRUE(menus->item("autoSwitchListItem")->isChecked());
    EXPECT_FALSE(menus->isChecked("loopPlayItem"));
}

TEST_F(MenusTest, HiddenItemsCannotBePicked) {
    menus->setVisible("playItem", false);
    EXPECT_FALSE(menus->isVisible("playItem"));
    QSignalSpy clicks(menus, &PopupMenus::itemClicked);
    dialogs.answerMenu("playItem");
    menus->popUp("songMenu");
    processPendingEvents();
    EXPECT_EQ(clicks.count(), 0);
    menus->setVisible("playItem", true);
    EXPECT_TRUE(menus->isVisible("playItem"));
}

TEST_F(MenusTest, ShortcutListensOnTheWindow) {
    QAction* del = menus->item("deleteSelectedItem");
    EXPECT_EQ(del->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    EXPECT_TRUE(window.actions().contains(del));
    EXPECT_FALSE(window.actions().contains(menus->item("playItem")));
}

TEST_F(MenusTest, CtrlDRunsTheItemWhileItsMenuIsHidden) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy clicks(menus, &PopupMenus::itemClicked);
    QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
    processPendingEvents();
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toString(), QStringLiteral("deleteSelectedItem"));
    QTest::keyClick(&window, Qt::Key_D);  // D alone is no shortcut
    processPendingEvents();
    EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace kivo::runtime
