#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "dialog_host.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

// Acts on the modal dialog the host opens, as a person would, once it is up.
void whenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer(&test::qtApp());
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start(10);
}

class QtDialogHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::qtApp();
        setDialogHost(nullptr);  // the real host
    }
};

TEST_F(QtDialogHostTest, YesNoBoxWithInformationIconAndTitle) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text;
    int buttons = 0;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        title = box->windowTitle();
        text = box->text();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(messageBox("是否清空【本地列表】列表？", kMbYesNo | kMbIconInformation, "温馨提示"),
              kIdYes);
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(title, QStringLiteral("温馨提示"));
    EXPECT_EQ(text, QStringLiteral("是否清空【本地列表】列表？"));
    EXPECT_EQ(buttons, 2);

    whenModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::No)->click(); });
    EXPECT_EQ(messageBox("?", kMbYesNo | kMbIconInformation, "温馨提示"), kIdNo);
    whenModal(
        [](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Retry)->click(); });
    EXPECT_EQ(messageBox("?", kMbAbortRetryIgnore, ""), kIdRetry);
}

TEST_F(QtDialogHostTest, FolderChooserReturnsTheChosenFolderOrNothing) {
    char pattern[] = "/tmp/kivo_folder_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string folder = pattern;
    bool dirsOnly = false;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
        dialog->setDirectory(QString::fromStdString(folder));
        dialog->selectFile(QString::fromStdString(folder));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_EQ(browseForFolder("请选择一个目录，以搜索MP3音乐文件"), folder);
    EXPECT_TRUE(dirsOnly);
    whenModal([](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
    EXPECT_EQ(browseForFolder("请选择一个目录，以搜索MP3音乐文件"), "");
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST_F(QtDialogHostTest, FileDialogTakesTheFilterOfTheControl) {
    QStringList filters;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        dialog->reject();
    });
    EXPECT_EQ(dialogHost().openFile(nullptr, "音乐文件(*.mp3)|*.mp3;*.wma;*.wav", ""), "");
    EXPECT_EQ(filters, QStringList{QStringLiteral("音乐文件(*.mp3) (*.mp3 *.wma *.wav)")});
}

}  // namespace
}  // namespace kivo::runtime
