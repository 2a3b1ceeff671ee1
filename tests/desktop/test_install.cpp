// The installed player: installed into a temporary prefix, and unpacked from its Debian
// package. Either way the desktop's checks pass, and the program runs from there on a private
// X display, keeping its playlists in the user's data folder.
#include "desktop_session.h"
#include "virtual_display.h"

namespace kivo::desktop {
namespace {

const char* const kAppId = "io.github.kivo.Kivo";

QString run(const QString& program, const QStringList& arguments, bool* ok = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(300000);
    if (ok != nullptr)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAll());
}

// Everything a desktop looks for below `prefix`, and its own checks of the menu entry and the
// software centre's description.
void expectDesktopFiles(const std::string& prefix) {
    for (const std::string& file : std::vector<std::string>{
             "bin/kivo", "bin/kivo-play", "bin/kivo-decode", "share/man/man1/kivo.1.gz",
             "share/man/man1/kivo-play.1.gz", "share/man/man1/kivo-decode.1.gz",
             "share/icons/hicolor/scalable/apps/" + std::string(kAppId) + ".svg"}) {
        EXPECT_TRUE(std::filesystem::exists(prefix + "/" + file)) << file;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string icon = prefix + "/share/icons/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/" + kAppId + ".png";
        EXPECT_TRUE(std::filesystem::exists(icon)) << icon;
    }
    const std::string desktop = prefix + "/share/applications/" + kAppId + ".desktop";
    bool ok = false;
    const QString said = run("desktop-file-validate", {QString::fromStdString(desktop)}, &ok);
    EXPECT_TRUE(ok && said.trimmed().isEmpty()) << said.toStdString();
    EXPECT_NE(readFile(desktop).find("MimeType=audio/mpeg;audio/mp3;"), std::string::npos);
    const std::string metainfo = prefix + "/share/metainfo/" + kAppId + ".metainfo.xml";
    const QString checked =
        run("appstreamcli", {"validate", "--no-net", QString::fromStdString(metainfo)}, &ok);
    EXPECT_TRUE(ok) << checked.toStdString();
}

// Starts `program` with a song, as the file manager would, for a user whose home is fresh:
// the window appears, and the song is saved in the user's playlist, not beside the program.
void expectRunsForTheUser(const std::string& program) {
    VirtualDisplay display("1024x768x24");
    if (!display.why().isEmpty()) GTEST_SKIP() << display.why().toStdString();
    TempFolder home;
    const std::string runtime = home.path() + "/runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string song = home.path() + "/song.mp3";
    writeFile(song, readFile(std::string(KIVO_TEST_DATA) + "/streams/l3_128_joint.mp3"));
    QProcessEnvironment environment = display.environment();
    environment.insert("HOME", QString::fromStdString(home.path()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
    environment.remove("XDG_DATA_HOME");
    QProcess player;
    player.setProcessEnvironment(environment);
    player.start(QString::fromStdString(program), {QString::fromStdString(song)});
    ASSERT_TRUE(player.waitForStarted(5000));

    const std::string playlist = home.path() + "/.local/share/kivo/music/本地列表.ini";
    EXPECT_TRUE(waitUntil([&] { return readFile(playlist) == song + "\r\n"; }, 30000))
        << "the song must be saved in the user's playlist";
    QString tree;
    EXPECT_TRUE(waitUntil(
        [&] {
            tree = run("xwininfo", {"-root", "-tree", "-display", environment.value("DISPLAY")});
            return tree.contains("Kivo-mp3");
        },
        10000))
        << "the main window never appeared";
    EXPECT_EQ(player.state(), QProcess::Running);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(program).parent_path() / "music"));
    player.terminate();
    if (!player.waitForFinished(3000)) player.kill();
    player.waitForFinished(3000);
}

TEST(Installed, APrefixHoldsWhatTheDesktopNeedsAndThePlayerRunsFromIt) {
    TempFolder prefix;
    bool ok = false;
    const QString said =
        run("cmake",
            {"--install", KIVO_BUILD_DIR, "--prefix", QString::fromStdString(prefix.path())}, &ok);
    ASSERT_TRUE(ok) << said.toStdString();
    expectDesktopFiles(prefix.path());
    expectRunsForTheUser(prefix.path() + "/bin/kivo");
}

TEST(Installed, TheDebianPackageNamesItsLibrariesAndThePlayerRunsUnpacked) {
    TempFolder work;
    bool ok = false;
    const QString said =
        run("cpack",
            {"-G", "DEB", "--config", QString(KIVO_BUILD_DIR) + "/CPackConfig.cmake", "-B",
             QString::fromStdString(work.path())},
            &ok);
    ASSERT_TRUE(ok) << said.toStdString();
    std::string package;
    for (const auto& entry : std::filesystem::directory_iterator(work.path())) {
        if (entry.path().extension() == ".deb") package = entry.path().string();
    }
    ASSERT_FALSE(package.empty()) << said.toStdString();
    const QString depends = run("dpkg-deb", {"-f", QString::fromStdString(package), "Depends"});
    for (const char* library : {"libqt6widgets6", "libqt6dbus6", "libasound2", "libc6"}) {
        EXPECT_TRUE(depends.contains(library))
            << library << " missing in: " << depends.toStdString();
    }
    const std::string root = work.path() + "/root";
    run("dpkg-deb", {"-x", QString::fromStdString(package), QString::fromStdString(root)}, &ok);
    ASSERT_TRUE(ok);
    expectDesktopFiles(root + "/usr");
    expectRunsForTheUser(root + "/usr/bin/kivo");
}

}  // namespace
}  // namespace kivo::desktop
