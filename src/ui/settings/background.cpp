#include "ui/settings/background.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QEvent>
#include <cerrno>

namespace vorla::ui {

namespace {

// Carries one call through the event queue; it dies with its context.
class DeferredCall final : public QObject {
  public:
    DeferredCall(QObject* context, std::function<void()> call)
        : QObject(context), call_(std::move(call)) {}

  protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) {
            return QObject::event(event);
        }
        auto call = std::move(call_);
        deleteLater();
        call();
        return true;
    }

  private:
    std::function<void()> call_;
};

}  // namespace

void afterPendingPaint(QObject* context, std::function<void()> call) {
    QCoreApplication::postEvent(new DeferredCall(context, std::move(call)),
                                new QEvent(QEvent::User), Qt::LowEventPriority - 1);
}

void lowerThisThreadsPriority() {
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0) {
        // Failing leaves the thread as it was: slower to yield, still correct.
        (void)setpriority(PRIO_PROCESS, self, now + 10);
    }
}

}  // namespace vorla::ui
