// The program entry: the main window from its template, then the event loop until the program
// ends. The command line names songs to play (see `kivo --help`).
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QUrl>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "alsa_mixer.h"
#include "kivo.h"
#include "mpris_service.h"
#include "notify_windows_qt.h"
#include "program.h"
#include "qt_translations.h"

namespace {

constexpr const char* kUsage =
    "usage: kivo [FILE|FOLDER]...\n"
    "Opens the Kivo player. Files are added to the playlist on view and the first one plays;\n"
    "folders add every MP3 file of their tree. When Kivo runs already, it gets the files.\n"
    "  --help     this text\n"
    "  --version  the version\n"
    "  --         everything after it is a file\n";

// Answered before the window system is asked for, so that they work without a display.
bool answeredAtOnce(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kivo 0.1");
            return true;
        }
    }
    return false;
}

// The songs of the command line as full paths: a later copy hands them to one that runs in
// another folder. The file manager may give file:// addresses.
std::vector<std::string> songsOf(int argc, char** argv) {
    std::vector<std::string> songs;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (options && argument == "--") {
            options = false;
            continue;
        }
        if (options && argument.startsWith('-')) continue;
        const QUrl url(argument);
        const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
        songs.push_back(QFileInfo(path).absoluteFilePath().toStdString());
    }
    return songs;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredAtOnce(argc, argv)) return 0;
    // The embedded web view refuses to start as root with its sandbox on.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication application(argc, argv);
    // The desktop finds the menu entry and the icon by this name.
    QApplication::setDesktopFileName(QStringLiteral("io.github.kivo.Kivo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.kivo.Kivo")));
    kivo::runtime::loadQtTranslations(application);
    // The engine's progress messages reach the windows through the installed notify windows.
    const auto notifyWindows = kivo::runtime::installNotifyWindows();
    // The volume slider drives the speakers' master volume of the default sound card.
    kivo::runtime::useAlsaMixer();
    kivo::Kivo kivo(kivo::runtime::runDirectory());
    // Qt has taken its own options out of the command line.
    kivo.setStartFiles(songsOf(argc, argv));
    kivo.start();
    // Media keys and the desktop's media widgets, once this copy is the one that runs.
    kivo::MprisService mpris(kivo);
    QApplication::exec();
    // Leaving the loop (the desktop closed the window) ends the program like the close button.
    kivo::runtime::endProgram();
}
