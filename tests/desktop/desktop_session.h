// What the desktop tests share: a private session bus, a copy of the player with its own
// playlists, calls to its media controls with gdbus, and waiting on conditions.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <filesystem>
#include <functional>
#include <string>

#include "temp_folder.h"

namespace kivo::desktop {

// Waits until `done` holds, looking every 100 ms; false when `ms` passed first.
inline bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    for (clock.start(); clock.elapsed() < ms; QThread::msleep(100)) {
        if (done()) return true;
    }
    return done();
}

// xdotool with `arguments` on the display `environment` names; its output, trimmed, in `output`.
inline bool xdotool(const QProcessEnvironment& environment, const QStringList& arguments,
                    QString* output = nullptr) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start("xdotool", arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) return false;
    if (output != nullptr) *output = QString::fromLatin1(process.readAllStandardOutput()).trimmed();
    return true;
}

// dbus-run-session around a shell that reports the bus and then only waits: the bus lives until
// the waiting shell is ended.
class SessionBus {
public:
    SessionBus() {
        const QString run = QStandardPaths::findExecutable("dbus-run-session");
        if (run.isEmpty()) return;
        session_.start(
            run, {"--", "sh", "-c", "echo \"$DBUS_SESSION_BUS_ADDRESS\"; echo $$; exec sleep 600"});
        waitUntil([this] { return session_.canReadLine() || session_.waitForReadyRead(50); },
                  10000);
        address_ = QString::fromLatin1(session_.readLine()).trimmed();
        waitUntil([this] { return session_.canReadLine() || session_.waitForReadyRead(50); }, 5000);
        waiter_ = QString::fromLatin1(session_.readLine()).trimmed().toInt();
    }
    ~SessionBus() {
        if (waiter_ > 0) ::kill(waiter_, SIGTERM);
        if (!session_.waitForFinished(5000)) session_.kill();
        session_.waitForFinished(3000);
    }
    const QString& address() const { return address_; }

private:
    QProcess session_;
    QString address_;
    pid_t waiter_ = 0;
};

// A copy of the player under a name of its own (so that no other player on this machine counts
// as a copy of it), with the folder `music` of its playlists beside it.
class PlayerCopy {
public:
    explicit PlayerCopy(const std::string& name) {
        path_ = folder_.path() + "/" + name;
        std::filesystem::copy_file(KIVO_PROGRAM, path_);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
        std::filesystem::create_directory(folder_.path() + "/music");
        std::filesystem::create_directory(folder_.path() + "/data");
        std::filesystem::create_directory(folder_.path() + "/runtime");
        std::filesystem::permissions(folder_.path() + "/runtime",
                                     std::filesystem::perms::owner_all);
    }
    ~PlayerCopy() { stop(); }

    const std::string& folder() const { return folder_.path(); }
    std::string playlist(const std::string& name) const {
        return folder_.path() + "/music/" + name + ".ini";
    }
    // A song of `copies` times the stream of a test file: long enough to act on while it plays.
    std::string song(const std::string& name, const std::string& stream, int copies) const {
        const std::string bytes = readFile(std::string(KIVO_TEST_DATA) + "/streams/" + stream);
        std::string song;
        for (int i = 0; i < copies; ++i) song += bytes;
        const std::string path = folder_.path() + "/" + name;
        writeFile(path, song);
        return path;
    }

    QProcessEnvironment environment(const QProcessEnvironment& base) const {
        QProcessEnvironment environment = base;
        if (!environment.contains("DISPLAY")) environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_DATA_HOME", QString::fromStdString(folder_.path() + "/data"));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder_.path() + "/runtime"));
        return environment;
    }

    QProcess& start(const QProcessEnvironment& environment, const QStringList& arguments = {}) {
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QString::fromStdString(path_), arguments);
        process_.waitForStarted(5000);
        return process_;
    }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    const std::string& path() const { return path_; }

private:
    TempFolder folder_;
    std::string path_;
    QProcess process_;
};

// gdbus calls to the player's media controls on `bus`.
class MediaControls {
public:
    explicit MediaControls(const QString& bus) : bus_(bus) {}

    // The answer as gdbus prints it, e.g. "(<'Playing'>,)"; empty when the call failed.
    QString call(const QString& method, const QStringList& arguments = {}) const {
        QProcess gdbus;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus_);
        gdbus.setProcessEnvironment(environment);
        gdbus.start("gdbus",
                    QStringList{"call", "--session", "--dest", "org.mpris.MediaPlayer2.kivo",
                                "--object-path", "/org/mpris/MediaPlayer2", "--method", method} +
                        arguments);
        if (!gdbus.waitForFinished(10000) || gdbus.exitCode() != 0) return {};
        return QString::fromUtf8(gdbus.readAllStandardOutput()).trimmed();
    }
    QString player(const QString& method, const QStringList& arguments = {}) const {
        return call("org.mpris.MediaPlayer2.Player." + method, arguments);
    }
    QString property(const QString& name) const {
        return call("org.freedesktop.DBus.Properties.Get", {"org.mpris.MediaPlayer2.Player", name});
    }
    bool setProperty(const QString& name, const QString& value) const {
        return !call("org.freedesktop.DBus.Properties.Set",
                     {"org.mpris.MediaPlayer2.Player", name, value})
                    .isNull();
    }
    // A number property: "(<int64 1234>,)" or "(<0.5>,)".
    double number(const QString& name) const {
        QString text = property(name);
        text.remove("(<").remove(">,)").remove("int64 ").remove("uint64 ");
        return text.toDouble();
    }
    bool statusIs(const QString& status, int ms = 5000) const {
        return waitUntil([&] { return property("PlaybackStatus") == "(<'" + status + "'>,)"; }, ms);
    }

private:
    QString bus_;
};

}  // namespace kivo::desktop
