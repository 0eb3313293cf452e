// One desktop app per user. The first start holds an exclusive lock on
// ~/.vorla-agents/run/desktop.lock for the life of the process (the kernel
// drops it when the process ends, also on SIGKILL) and listens on
// ~/.vorla-agents/run/desktop.sock; a later start cannot take the lock and
// sends its request over that socket instead.
//
// Main thread only (the one running Qt's event loop).
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "core/unique_fd.h"

class QLocalServer;

namespace vorla::ui {

class SingleInstance final : public QObject {
    Q_OBJECT
  public:
    // Requests understood by the running app.
    static constexpr const char* kShow = "show";
    static constexpr const char* kSettings = "settings";

    // `runDir` is created (mode 0700) when missing.
    explicit SingleInstance(std::string runDir, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one desktop app: it holds the lock
    // and listens (a failure to listen is logged; the lock still decides).
    // False when another process holds the lock. Call once.
    [[nodiscard]] bool claim();

    // From a second start: hands `request` to the running app, waiting up to
    // `timeoutMs` for it to listen (it may be starting too). False when it
    // could not be reached.
    [[nodiscard]] bool send(const QByteArray& request, int timeoutMs = 3000);

    // Called on the main thread with each request the running app receives.
    std::function<void(const QByteArray& request)> onRequest;

  private:
    void acceptConnections();

    std::string runDir_;
    UniqueFd lockFd_;
    QLocalServer* server_ = nullptr;  // owned through the QObject tree
};

}  // namespace vorla::ui
