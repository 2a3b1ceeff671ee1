// The real program: one copy per program name, and its main window on a virtual X display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "temp_folder.h"
#include "virtual_display.h"

namespace kivo {
namespace {

// Runs a copy of the program under a name of our own, so that a player someone runs on this
// machine does not count as a copy.
class ProgramCopies {
public:
    ProgramCopies() {
        const QString base = QString("kivo-test-%1").arg(::getpid());
        first_ = install(base);
        other_ = install(base + "-other");
    }
    ~ProgramCopies() {
        for (auto& process : processes_) stop(*process);
    }

    QString first() const { return first_; }
    QString other() const { return other_; }

    QProcess& start(const QString& program, const QProcessEnvironment& environment) {
        auto& process = processes_.emplace_back(std::make_unique<QProcess>());
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, {});
        process->waitForStarted(5000);
        return *process;
    }
    static void stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

private:
    QString install(const QString& name) {
        const QString path = QString::fromStdString(folder_.path()) + "/" + name;
        std::filesystem::copy_file(KIVO_PROGRAM, path.toStdString());
        std::filesystem::permissions(path.toStdString(), std::filesystem::perms::owner_all);
        return path;
    }

    TempFolder folder_;
    QString first_, other_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

QProcessEnvironment offscreen(const std::string& dataHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_DATA_HOME", QString::fromStdString(dataHome));
    return environment;
}

TEST(RealProgram, SecondCopyOfTheSameNameEndsSilently) {
    TempFolder data;
    ProgramCopies copies;
    QProcess& first = copies.start(copies.first(), offscreen(data.path()));
    ASSERT_EQ(first.state(), QProcess::Running);
    QThread::msleep(1500);  // the first copy is up and has looked at the process list itself
    ASSERT_EQ(first.state(), QProcess::Running) << "the first copy must not stop";

    QProcess& second = copies.start(copies.first(), offscreen(data.path()));
    ASSERT_TRUE(second.waitForFinished(15000)) << "a second copy must end by itself";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(), QByteArray());

    QProcess& renamed = copies.start(copies.other(), offscreen(data.path()));
    EXPECT_FALSE(renamed.waitForFinished(2000)) << "a copy under another name must run";
    EXPECT_EQ(first.state(), QProcess::Running) << "the running copy must not be disturbed";
}

bool run(const QString& program, const QStringList& arguments,
         const QProcessEnvironment& environment, QByteArray* output = nullptr) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) return false;
    if (output != nullptr) *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The main window's place on the screen, a point inside the balloon it pops up at
// (left + 445, top + 10), and a point of bare desktop.
const QRect kMainWindow(50, 50, 476, 510);
const QPoint kBalloonPoint(50 + 445 + 100, 50 + 50);
const QPoint kDesktopPoint(1000, 750);

std::size_t countColours(const QImage& image, const QRect& area) {
    std::set<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); y += 2) {
        for (int x = area.left(); x <= area.right(); x += 2) colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

TEST(RealProgram, MainWindowAppearsOnAVirtualDisplay) {
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    const QString import = QStandardPaths::findExecutable("import");
    VirtualDisplay display("1024x768x24");
    if (!display.why().isEmpty()) GTEST_SKIP() << display.why().toStdString();
    ASSERT_FALSE(import.isEmpty()) << "imagemagick's import is needed for the screenshot";
    ASSERT_FALSE(xwininfo.isEmpty()) << "x11-utils' xwininfo is needed to find the window";
    QProcessEnvironment environment = display.environment();
    TempFolder data;
    environment.insert("XDG_DATA_HOME", QString::fromStdString(data.path()));
    QElapsedTimer clock;

    ProgramCopies copies;
    QProcess& player = copies.start(copies.first(), environment);

    bool found = false;
    for (clock.restart(); !found && clock.elapsed() < 30000; QThread::msleep(200)) {
        QByteArray tree;
        run(xwininfo, {"-root", "-tree"}, environment, &tree);
        found = tree.contains("Kivo-mp3");
        if (player.state() != QProcess::Running) break;
    }
    // Screenshots until the window has painted and its welcome balloon has faded in.
    const QString shot = QString(KIVO_ARTIFACTS) + "/main-window.png";
    QDir().mkpath(KIVO_ARTIFACTS);
    bool shotTaken = false;
    for (clock.restart(); found && clock.elapsed() < 10000; QThread::msleep(500)) {
        shotTaken = run(import, {"-window", "root", shot}, environment);
        const QImage image(shot);
        if (shotTaken && !image.isNull() && countColours(image, kMainWindow) > 50 &&
            image.pixel(kBalloonPoint) != image.pixel(kDesktopPoint)) {
            break;
        }
    }

    ProgramCopies::stop(player);

    ASSERT_TRUE(found) << "the main window never appeared";
    ASSERT_TRUE(shotTaken);
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    // The panels must show many colours, and the desktop must show through the bare background
    // left of the panels.
    const QRect window = kMainWindow;
    const QRgb desktop = image.pixel(kDesktopPoint);
    int painted = 0;
    for (int y = window.top(); y <= window.bottom(); y += 2) {
        for (int x = window.left(); x <= window.right(); x += 2) {
            if (image.pixel(x, y) != desktop) ++painted;
        }
    }
    EXPECT_GT(countColours(image, window), 50u) << "the window looks blank";
    // More than half of the sampled points (every second pixel each way) are painted.
    EXPECT_GT(painted, window.width() * window.height() / 4 / 2) << "the window looks blank";
    EXPECT_NE(image.pixel(kBalloonPoint), desktop)
        << "the welcome balloon must show beside the window";
    if (display.composited()) {
        EXPECT_EQ(image.pixel(window.left() + 8, window.top() + 300), desktop)
            << "the bare background must be see-through";
    }
}

// The window's shape cuts out its see-through parts where no compositor does: it follows the
// playlist panel as it closes and opens, with nothing else happening to wake the window.
TEST(RealProgram, TheWindowShapeFollowsThePlaylistPanel) {
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    VirtualDisplay display("1024x768x24");
    if (!display.why().isEmpty()) GTEST_SKIP() << display.why().toStdString();
    ASSERT_FALSE(xwininfo.isEmpty() || xdotool.isEmpty()) << "xwininfo and xdotool are needed";
    QProcessEnvironment environment = display.environment();
    TempFolder data;
    environment.insert("XDG_DATA_HOME", QString::fromStdString(data.path()));
    ProgramCopies copies;
    copies.start(copies.first(), environment);
    QByteArray window;
    QElapsedTimer clock;
    for (clock.start(); window.isEmpty() && clock.elapsed() < 30000; QThread::msleep(200)) {
        run(xdotool, {"search", "--onlyvisible", "--name", "Kivo-mp3"}, environment, &window);
    }
    window = window.split('\n').first().trimmed();
    ASSERT_FALSE(window.isEmpty()) << "the main window never appeared";
    // "Window shape extents:  475x485+0+0" and "-geometry 476x485+50+50": the two heights.
    const auto heights = [&] {
        QByteArray info;
        run(xwininfo, {"-shape", "-id", QString(window)}, environment, &info);
        const auto height = [&](const QByteArray& key) {
            const int at = info.indexOf(key);
            return at < 0 ? -1
                          : info.mid(at + key.size()).split('x').value(1).split('+')[0].toInt();
        };
        return std::pair{height("shape extents:  "), height("-geometry ")};
    };
    const auto shapeFitsWindow = [&] {
        for (clock.restart(); clock.elapsed() < 5000; QThread::msleep(100)) {
            const auto [shape, window] = heights();
            if (shape > 0 && shape >= window - 30 && shape <= window) return true;
        }
        return false;
    };
    ASSERT_TRUE(shapeFitsWindow());
    const int open = heights().second;
    const QStringList toggle = {"mousemove", "--window", QString(window), "361", "191",
                                "click",     "1"};
    ASSERT_TRUE(run(xdotool, toggle, environment));  // the button that closes the playlist
    EXPECT_TRUE(shapeFitsWindow());
    EXPECT_LT(heights().second, open / 2);
    ASSERT_TRUE(run(xdotool, toggle, environment));
    EXPECT_TRUE(shapeFitsWindow());
    EXPECT_GT(heights().second, open / 2);
}

}  // namespace
}  // namespace kivo
