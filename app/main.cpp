// The program entry: the main window from its template, then the event loop until the program
// ends.
#include <unistd.h>

#include <QApplication>

#include "alsa_mixer.h"
#include "kivo.h"
#include "notify_windows_qt.h"
#include "program.h"

int main(int argc, char** argv) {
    // The embedded web view refuses to start as root with its sandbox on.
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication application(argc, argv);
    // The engine's progress messages reach the windows through the installed notify windows.
    const auto notifyWindows = kivo::runtime::installNotifyWindows();
    // The volume slider drives the speakers' master volume of the default sound card.
    kivo::runtime::useAlsaMixer();
    kivo::Kivo kivo(kivo::runtime::runDirectory());
    kivo.start();
    QApplication::exec();
    // Leaving the loop (the desktop closed the window) ends the program like the close button.
    kivo::runtime::endProgram();
}
