// One copy per user: a second copy hands its files to the first, which adds and plays them;
// processes that merely share the name do not stop the player.
#include <sys/wait.h>

#include "desktop_session.h"
#include "pulse_server.h"

namespace kivo::desktop {
namespace {

TEST(HandOver, ASecondCopyHandsItsFilesToTheFirstWhichAddsAndPlaysThem) {
    device::test::PulseServer pulse;
    if (!pulse.start(KIVO_PULSEAUDIO)) GTEST_SKIP() << pulse.why();
    SessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-run-session did not start a bus";
    PlayerCopy copy("kivo-handover-" + std::to_string(::getpid()));
    const std::string song = copy.song("handed over.mp3", "l3_128_joint.mp3", 8);
    QProcessEnvironment environment = copy.environment(QProcessEnvironment::systemEnvironment());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    QProcess& first = copy.start(environment);
    MediaControls controls(bus.address());
    ASSERT_TRUE(waitUntil([&] { return !controls.property("PlaybackStatus").isEmpty(); }, 30000));

    // Started from the song's folder with a bare file name, as a file manager may.
    for (int time = 0; time < 2; ++time) {
        QProcess second;
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(QString::fromStdString(copy.folder()));
        second.start(QString::fromStdString(copy.path()), {"handed over.mp3"});
        ASSERT_TRUE(second.waitForFinished(20000)) << "the second copy must end by itself";
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_TRUE(controls.statusIs("Playing")) << "the handed song must play";
        EXPECT_TRUE(controls.property("Metadata").contains("'xesam:title': <'handed over'>"));
        // Added once, with its full path, and saved at once.
        EXPECT_EQ(readFile(copy.playlist("本地列表")), song + "\r\n");
    }
    EXPECT_EQ(first.state(), QProcess::Running);
}

// A process of the player's name that is no copy of it: a program that shares the name, run
// by this user and, where the test may, by another user.
class NameSakes {
public:
    explicit NameSakes(const std::string& name) {
        std::filesystem::permissions(folder_.path(), std::filesystem::perms::all &
                                                         ~std::filesystem::perms::others_write &
                                                         ~std::filesystem::perms::group_write);
        const std::string program = folder_.path() + "/" + name;
        std::filesystem::copy_file("/bin/sleep", program);
        std::filesystem::permissions(program, std::filesystem::perms::owner_all |
                                                  std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_exec);
        start({program, "60"});
        if (::geteuid() == 0 && std::filesystem::exists("/usr/bin/setpriv")) {
            start({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program,
                   "60"});
        }
    }
    ~NameSakes() {
        for (pid_t pid : pids_) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }

private:
    void start(std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid > 0) pids_.push_back(pid);
    }

public:
    // Every namesake runs under the name (the kernel keeps its first 15 bytes).
    bool running(const std::string& name) const {
        for (pid_t pid : pids_) {
            std::string comm = readFile("/proc/" + std::to_string(pid) + "/comm");
            if (comm != name.substr(0, 15) + "\n") return false;
        }
        return true;
    }

private:
    TempFolder folder_;
    std::vector<pid_t> pids_;
};

TEST(HandOver, ProcessesThatOnlyShareTheNameDoNotStopThePlayer) {
    PlayerCopy copy("kivo-namesake-" + std::to_string(::getpid()));
    const std::string name = std::filesystem::path(copy.path()).filename().string();
    NameSakes namesakes(name);
    ASSERT_TRUE(waitUntil([&] { return namesakes.running(name); }, 5000));
    QProcess& player = copy.start(copy.environment(QProcessEnvironment::systemEnvironment()));
    EXPECT_FALSE(player.waitForFinished(5000)) << "the player must start all the same";
}

}  // namespace
}  // namespace kivo::desktop
