// The program entry: the main window from its template, then the event loop until the program
// ends.
#include <QApplication>

#include "kivo.h"
#include "notify_windows_qt.h"
#include "program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The engine's progress messages reach the windows through the installed notify windows.
    const auto notifyWindows = kivo::runtime::installNotifyWindows();
    kivo::Kivo kivo(kivo::runtime::runDirectory());
    kivo.start();
    const int result = QApplication::exec();
    // Leaving the loop is an end of the program like the close button.
    kivo::runtime::endProgram();
    return result;
}
