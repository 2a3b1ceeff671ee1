// The four windows on a virtual X display with a compositor: the main window with its volume
// setting open, the dancing companion, the help window with its about box and the web music
// window. The scene and one picture per window are kept in build/artifacts.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "app_fixture.h"
#include "device/wave_out_device.h"
#include "fake_mixer.h"
#include "other_windows.h"
#include "play_sound.h"
#include "pumping_wait.h"
#include "virtual_display.h"

namespace kivo {
namespace {

constexpr const char* kChildVariable = "KIVO_COMPANION_SCREENS";

std::size_t countColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

QString artefact(const char* name) {
    return QString(KIVO_ARTIFACTS) + "/" + name;
}

// The part of the screen a window and its balloon cover, with a little desktop around it.
QRect coverage(const QWidget& window, const runtime::QTip* balloon) {
    QRect area = window.frameGeometry();
    if (balloon != nullptr && balloon->isVisible()) area |= balloon->geometry();
    return area.adjusted(-8, -8, 8, 8);
}

// Runs inside the virtual display, started by the test below.
class CompanionScreensChild : public FakeMixerInstalled, public AppTest {};

TEST_F(CompanionScreensChild, Shoot) {
    if (std::getenv(kChildVariable) == nullptr) {
        GTEST_SKIP() << "runs only on the virtual display of CompanionScreens";
    }
    device::setDeviceFactory([] { return device::createDevice("null"); });
    MainWindow& w = window();
    kivo_->start();
    QImage scene;
    QRect mainArea, helpArea, webArea, animationArea;
    const QString import = QStandardPaths::findExecutable("import");

    QTimer::singleShot(300, [&] {
        w.helpButton->click();
        auto* help = qobject_cast<FeedbackWindow*>(kivo_->feedbackWindow().window());
        help->aboutButton->click();
    });
    QTimer::singleShot(600, [&] {
        w.kugouButton->click();
        kivo_->webPlayerWindow().window()->move(900, 400);
    });
    // The volume setting stays open for five seconds; the dance runs inside its wait.
    QTimer::singleShot(900, [&] { w.volumeButton->click(); });
    QTimer::singleShot(1000, [&] { w.animationButton->click(); });
    QTimer::singleShot(1100, [&] {
        auto* dance = qobject_cast<AnimationWindow*>(kivo_->animationWindow().window());
        emit dance->jokeTimer->tick();  // dances until switched off below
    });
    QTimer::singleShot(4200, [&] { w.volumeSlider->setPosition(45000); });
    // The second line of the dance, away from the other windows.
    QTimer::singleShot(4600, [&] {
        const QString file = artefact("companion-scene.png");
        ASSERT_EQ(QProcess::execute(import, {"-window", "root", file}), 0);
        scene = QImage(file);
        mainArea = coverage(w, w.tipBalloon);
        auto* help = qobject_cast<FeedbackWindow*>(kivo_->feedbackWindow().window());
        helpArea = coverage(*help, help->feedbackBalloon);
        webArea = coverage(*kivo_->webPlayerWindow().window(), nullptr);
        auto* dance = qobject_cast<AnimationWindow*>(kivo_->animationWindow().window());
        animationArea = coverage(*dance, dance->animationBalloon);
        // The bare backgrounds are see-through: the desktop's colour shows there.
        const QRgb desktop = scene.pixel(scene.width() - 2, scene.height() - 2);
        EXPECT_EQ(scene.pixel(help->left() + 3, help->top() + 130), desktop);
        EXPECT_EQ(scene.pixel(webArea.left() + 8 + 3, webArea.top() + 8 + 300), desktop);
        // Every control shows, also those that came after the window's first look: the web
        // window's close button, and the dancing figure beside its balloon.
        QWidget* web = kivo_->webPlayerWindow().window();
        EXPECT_NE(scene.pixel(web->x() + 810, web->y() + 14), desktop);
        int figure = 0;
        const QRect balloon = dance->animationBalloon->geometry();
        for (int y = dance->y(); y < dance->y() + dance->height(); ++y) {
            for (int x = dance->x(); x < dance->x() + dance->width(); ++x) {
                if (!balloon.contains(x, y) && scene.pixel(x, y) != desktop) ++figure;
            }
        }
        EXPECT_GT(figure, 100) << "the dancing figure must show";
        w.animationButton->click();
    });
    runtime::pumpingWait(8000);
    ASSERT_FALSE(scene.isNull());
    scene.copy(mainArea).save(artefact("companion-main-window.png"));
    scene.copy(helpArea).save(artefact("companion-help-window.png"));
    scene.copy(webArea).save(artefact("companion-web-player-window.png"));
    scene.copy(animationArea).save(artefact("companion-animation-window.png"));
    runtime::stopSound();
    device::setDeviceFactory(nullptr);
}

TEST(CompanionScreens, FourWindowsOnAVirtualDisplay) {
    if (std::getenv(kChildVariable) != nullptr) GTEST_SKIP() << "the child only shoots";
    VirtualDisplay display("1800x1000x24");
    if (!display.why().isEmpty()) GTEST_SKIP() << display.why().toStdString();
    if (!display.composited()) {
        GTEST_SKIP() << "xcompmgr is not installed (tools/setup.sh installs it)";
    }
    ASSERT_FALSE(QStandardPaths::findExecutable("import").isEmpty())
        << "imagemagick's import is needed for the screenshot";
    QProcessEnvironment environment = display.environment();
    environment.insert(kChildVariable, "1");

    QDir().mkpath(KIVO_ARTIFACTS);
    for (const char* name :
         {"companion-scene.png", "companion-main-window.png", "companion-help-window.png",
          "companion-web-player-window.png", "companion-animation-window.png"}) {
        QFile::remove(artefact(name));
    }
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
                {"--gtest_filter=CompanionScreensChild.Shoot"});
    const bool finished = child.waitForFinished(60000);
    const QByteArray output = child.readAll();
    if (!finished) child.kill();

    ASSERT_TRUE(finished) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    for (const char* name : {"companion-main-window.png", "companion-help-window.png",
                             "companion-web-player-window.png", "companion-animation-window.png"}) {
        const QImage image(artefact(name));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_GT(countColours(image), 30u) << name << " looks blank";
    }
}

}  // namespace
}  // namespace kivo
