#include "single_instance.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <memory>

#include "hand_over_message.h"

namespace kivo {

namespace {

constexpr int kConnectMs = 1000;
constexpr int kWriteMs = 5000;
// Far more than any command line holds; a sender that goes on is cut off.
constexpr qsizetype kMostBytes = 16 << 20;

}  // namespace

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent) {
    // Only the user's own programs may hand files over.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceChannel::receive);
}

QString InstanceChannel::socketPath(const std::string& programName) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) return {};
    return folder + "/kivo-" + QString::fromStdString(programName) + ".socket";
}

bool InstanceChannel::handOver(const QString& path, const std::vector<std::string>& files) {
    if (path.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kConnectMs)) return false;
    const std::string message = handOverMessage(files);
    socket.write(message.data(), qsizetype(message.size()));
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(kWriteMs)) {
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kWriteMs);
    return true;
}

bool InstanceChannel::listen(const QString& path) {
    if (path.isEmpty()) return false;
    QLocalServer::removeServer(path);
    return server_.listen(path);
}

void InstanceChannel::receive() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto received = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [socket, received] {
            received->append(socket->readAll());
            if (received->size() > kMostBytes) socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, received] {
            received->append(socket->readAll());
            std::vector<std::string> files;
            if (received->size() <= kMostBytes) {
                files = handedOverFiles(
                    std::string_view(received->constData(), size_t(received->size())));
            }
            socket->deleteLater();
            emit filesHandedOver(files);
        });
    }
}

}  // namespace kivo
