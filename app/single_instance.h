// One running copy per user and program name. The first copy listens on a local socket in the
// user's runtime folder; a later copy of the same user hands the files of its command line to
// it and ends. A process of the same name that does not answer there (another user's, or a
// program that merely shares the name) is no copy of ours.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <string>
#include <vector>

namespace kivo {

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);

    // The socket of this user's copies of the program file `programName`; empty when the user
    // has no runtime folder.
    static QString socketPath(const std::string& programName);

    // Hands `files` to the copy that listens on `path`; false when no copy answers there.
    static bool handOver(const QString& path, const std::vector<std::string>& files);

    // Listens on `path`, taking the place of a socket that a copy which has ended left behind.
    bool listen(const QString& path);

signals:
    // A later copy was started, with these files (none when it was started without).
    void filesHandedOver(const std::vector<std::string>& files);

private:
    void receive();

    QLocalServer server_;
};

}  // namespace kivo
