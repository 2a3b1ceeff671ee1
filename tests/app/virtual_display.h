// A private X display (Xvfb, on a display number it picks itself) with a compositor where one
// is installed, so that layered windows really show the desktop through; both end with it.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>

namespace kivo {

class VirtualDisplay {
public:
    // `why()` is empty once the display runs; otherwise it says what is missing.
    explicit VirtualDisplay(const QString& size) {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) {
            why_ = "Xvfb is not installed (tools/setup.sh installs it)";
            return;
        }
        // The server writes its display number once it accepts clients.
        server_.start(xvfb,
                      {"-displayfd", "1", "-screen", "0", size, "-noreset", "-nolisten", "tcp"});
        QElapsedTimer clock;
        clock.start();
        if (server_.waitForStarted(5000)) {
            while (!server_.canReadLine() && clock.elapsed() < 15000) {
                server_.waitForReadyRead(200);
            }
        }
        const QString number = QString::fromLatin1(server_.readLine()).trimmed();
        if (number.isEmpty()) {
            why_ = "Xvfb did not start";
            return;
        }
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert("DISPLAY", ":" + number);
        environment_.insert("QT_QPA_PLATFORM", "xcb");
        environment_.remove("WAYLAND_DISPLAY");

        const QString xcompmgr = QStandardPaths::findExecutable("xcompmgr");
        if (!xcompmgr.isEmpty()) {
            compositor_.setProcessEnvironment(environment_);
            compositor_.start(xcompmgr, {});
            composited_ = compositor_.waitForStarted(5000);
        }
    }

    ~VirtualDisplay() {
        stop(compositor_);
        stop(server_);
    }

    const QString& why() const { return why_; }
    bool composited() const { return composited_; }
    // The environment of a program that shows its windows on this display.
    const QProcessEnvironment& environment() const { return environment_; }

private:
    static void stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    QProcess server_;
    QProcess compositor_;
    QProcessEnvironment environment_;
    bool composited_ = false;
    QString why_;
};

}  // namespace kivo
