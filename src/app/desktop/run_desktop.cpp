// The desktop app's process: Qt's event loop with the main queue on it, one
// app per user, and a clean end on SIGINT, SIGTERM and SIGHUP.
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>

#include "app/desktop/desktop_app.h"
#include "app/termination_signals.h"
#include "core/paths.h"
#include "core/unique_fd.h"
#include "engine/support/log.h"
#include "ui/desktop/qt_main_queue.h"
#include "ui/desktop/single_instance.h"

namespace vorla::app {

namespace {

// Quits the event loop when a termination signal arrives, on the main thread
// through a signalfd.
class SignalWatch {
  public:
    explicit SignalWatch(const sigset_t& watched)
        : fd_(::signalfd(-1, &watched, SFD_CLOEXEC | SFD_NONBLOCK)),
          notifier_(fd_.get(), QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
            signalfd_siginfo info{};
            while (::read(fd_.get(), &info, sizeof info) == sizeof info) {
            }
            QCoreApplication::quit();
        });
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

  private:
    UniqueFd fd_;
    QSocketNotifier notifier_;
};

}  // namespace

int runDesktop(int argc, char** argv) {
    const sigset_t terminationSignals = blockTerminationSignals();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorla-agents"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vorla Agents"));
    QApplication::setQuitOnLastWindowClosed(false);

    ui::SingleInstance instance(runDir());
    if (!instance.claim()) {
        if (instance.send(ui::SingleInstance::kSettings)) {
            logLine("Vorla Agents is already running: opened its settings");
            return 0;
        }
        logLine("Vorla Agents: another Vorla Agents holds " + runDir() +
                "/desktop.lock but does not answer");
        return 1;
    }

    SignalWatch signalWatch(terminationSignals);
    ui::QtMainQueue queue;
    int status = 0;
    {
        DesktopApp app(queue, SystemClock::shared());
        instance.onRequest = [&app](const QByteArray& request) { app.handleRequest(request); };
        app.setUp();
        status = QApplication::exec();
        instance.onRequest = nullptr;
        app.terminate();
        // What the server handed over before it stopped still counts.
        QCoreApplication::sendPostedEvents();
    }
    return status;
}

}  // namespace vorla::app
