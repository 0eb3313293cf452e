// Desktop notifications through org.freedesktop.Notifications on the session
// bus. There is no permission prompt on Linux: notifications count as
// allowed when a notification service answers on the bus, and as refused
// when there is no bus or no service.
//
// Threads: requestAuth() and post() are called from the main thread and
// return at once. The D-Bus calls run on a worker thread of this object, as
// blocking calls on a private connection: QtDBus delivers asynchronous
// replies through the Qt event loop of the calling thread, and --headless
// runs no Qt loop at all, while a blocked worker works the same under both
// and needs no QCoreApplication. Calls are answered within kCallTimeout;
// requestAuth's answer is called on the worker thread.
//
// A "needs you" notification for a gate carries Allow and Deny buttons when
// the service lists the "actions" capability (GNOME, KDE) and the desktop app
// has called answerGatesWith(): their answers arrive as signals, which only a
// connection served by Qt's event loop receives, so those notifications go
// over the application's shared session bus connection. Elsewhere (dunst,
// mako, --headless) the text says how to answer.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <thread>

#include "core/protocol.h"
#include "engine/look/notifier.h"
#include "engine/support/thread_annotations.h"

class QDBusConnection;

namespace vorla::ui {

class NotificationActions;

class DesktopNotifications final : public NotificationPoster {
  public:
    static constexpr std::chrono::milliseconds kCallTimeout{2000};
    // Posts beyond this many waiting are dropped (a service that hangs must
    // not make us hoard notifications).
    static constexpr std::size_t kMaxWaiting = 32;

    DesktopNotifications();
    // Lets the call in flight finish (at most kCallTimeout), drops the rest.
    ~DesktopNotifications() override;
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    void requestAuth(std::function<void(bool granted)> answer) override;
    void post(std::string title, std::string body) override;
    void postGate(std::string title, std::string body, std::string gateId) override;

    // What a click on a gate's notification does, called on the main thread:
    // `answer` for Allow and Deny, `open` for the notification itself.
    struct GateAnswers {
        std::function<void(const std::string& gateId, Behavior behavior)> answer;
        std::function<void()> open;
    };
    // Main thread, with Qt's event loop running there; once, before posts.
    void answerGatesWith(GateAnswers answers);
    // Takes back the notifications of gates answered elsewhere. Main thread.
    void withdrawClosed(const std::function<bool(const std::string& gateId)>& isOpen);

  private:
    using Job = std::function<void(QDBusConnection&)>;
    void enqueue(Job job);
    void run();

    std::atomic<bool> actions_ = false;  // the service shows buttons
    // The service reads the body as markup: agents' text is escaped, so a
    // command holding <a href=...> shows as typed and links nowhere.
    std::atomic<bool> markup_ = false;
    std::unique_ptr<NotificationActions> listener_;  // main thread; set before posts

    Mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_ VORLA_GUARDED_BY(mutex_);
    bool stopping_ VORLA_GUARDED_BY(mutex_) = false;

    std::thread worker_;  // last: starts once the members above exist
};

}  // namespace vorla::ui
