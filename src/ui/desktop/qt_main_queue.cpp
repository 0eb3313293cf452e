#include "ui/desktop/qt_main_queue.h"

#include <QMetaObject>
#include <QTimer>

namespace vorla::ui {

QtMainQueue::QtMainQueue(QObject* parent) : QObject(parent) {}

void QtMainQueue::post(Task task) {
    // Queued on this object's thread; a task posted after the queue is gone is
    // dropped by Qt together with the object.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

TimerHandle QtMainQueue::postAfter(std::chrono::milliseconds delay, Task task) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    // QTimer::singleShot must be called on the receiver's thread, so the timer
    // is started from a posted task.
    post([this, delay, cancelled, task = std::move(task)]() mutable {
        QTimer::singleShot(delay, this, [cancelled, task = std::move(task)] {
            if (!cancelled->load()) {
                task();
            }
        });
    });
    return TimerHandle(cancelled);
}

}  // namespace vorla::ui
