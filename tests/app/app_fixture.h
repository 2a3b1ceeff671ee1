// A player application for one test: a fresh program folder and data folder, scripted
// dialogs, and a process end that returns to the test instead of ending it.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "kivo.h"
#include "program.h"
#include "scripted_dialogs.h"
#include "temp_folder.h"

namespace kivo {

// Thrown by the test's process terminator where the program would end.
struct ProgramEnded {
    int code;
};

// The one QApplication of the test program, made on first use, offscreen unless a platform is
// chosen already.
inline QApplication& testApplication() {
    static QApplication* application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "kivo_app_tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *application;
}

class AppTest : public ::testing::Test {
protected:
    AppTest() {
        testApplication();
        ::setenv("XDG_DATA_HOME", (folder_.path() + "/data").c_str(), 1);
        runtime::setProcessTerminator([](int code) { throw ProgramEnded{code}; });
        kivo_ = std::make_unique<Kivo>(programDir_);
        // Test programs run side by side under one name; only this one counts.
        kivo_->setProcessLister([] {
            return std::vector<runtime::ProcessEntry>{
                {int(::getpid()), runtime::programFileName()}};
        });
    }
    ~AppTest() override {
        kivo_.reset();
        QApplication::processEvents();
    }

    MainWindow& window() { return kivo_->mainWindow(); }
    std::string balloonText() { return window().tipBalloon->text(); }
    std::string playlistPath(const std::string& name) {
        return programDir_ + "/music/" + name + ".ini";
    }
    void writePlaylist(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(programDir_ + "/music");
        writeFile(playlistPath(name), bytes);
    }

    TempFolder folder_;
    std::string programDir_ = [this] {
        std::filesystem::create_directory(folder_.path() + "/program");
        return folder_.path() + "/program";
    }();
    runtime::ScriptedDialogs dialogs_;
    std::unique_ptr<Kivo> kivo_;
};

}  // namespace kivo
