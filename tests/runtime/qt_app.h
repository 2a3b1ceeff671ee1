// One application object for every test of the program, on the offscreen platform unless a
// platform was chosen.
#pragma once

#include <QApplication>
#include <cstdlib>

namespace kivo::runtime::test {

inline QApplication& qtApp() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "kivo_runtime_tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);  // lives until the process ends
    }();
    return *app;
}

}  // namespace kivo::runtime::test
