#include "ui/desktop/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <filesystem>

#include "engine/support/log.h"

namespace vorla::ui {

namespace {

constexpr qsizetype kMaxRequest = 64;

QString socketFile(const std::string& runDir) {
    return QString::fromStdString(runDir + "/desktop.sock");
}

}  // namespace

SingleInstance::SingleInstance(std::string runDir, QObject* parent)
    : QObject(parent), runDir_(std::move(runDir)) {}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) {
        server_->close();  // removes the socket file
    }
}

bool SingleInstance::claim() {
    std::error_code ignored;
    std::filesystem::create_directories(runDir_, ignored);
    ::chmod(runDir_.c_str(), 0700);
    const std::string lockPath = runDir_ + "/desktop.lock";
    lockFd_.reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lockFd_) {
        // Nowhere to keep the lock: better two islands than none.
        logLine("Vorla Agents: could not open " + lockPath + ", not checking for a running app");
        return true;
    }
    if (::flock(lockFd_.get(), LOCK_EX | LOCK_NB) != 0) {
        lockFd_.reset();
        return false;
    }
    // Holding the lock, any socket file left is from a process that is gone.
    QLocalServer::removeServer(socketFile(runDir_));
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketFile(runDir_))) {
        logLine("Vorla Agents: could not listen for a second start: " +
                server_->errorString().toStdString());
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            while (peer->canReadLine()) {
                QByteArray line = peer->readLine(kMaxRequest).trimmed();
                if (onRequest && !line.isEmpty()) {
                    onRequest(line);
                }
            }
            if (peer->bytesAvailable() > kMaxRequest) {
                peer->abort();  // not one of ours
            }
        });
    }
}

bool SingleInstance::send(const QByteArray& request, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketFile(runDir_));
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(request + '\n');
            bool written = socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
            socket.disconnectFromServer();
            return written;
        }
        QThread::msleep(50);  // the running app may still be starting
    }
    return false;
}

}  // namespace vorla::ui
