// MainQueue on Qt's event loop: the desktop app's main thread is the thread
// that runs QApplication::exec(), so engine objects posted to from worker
// threads run between paints and input events.
//
// Construct and destroy on the main thread (after QApplication exists);
// post/postAfter are safe from any thread.
#pragma once

#include <QObject>

#include "engine/support/main_queue.h"

namespace vorla::ui {

class QtMainQueue final : public QObject, public MainQueue {
    Q_OBJECT
  public:
    explicit QtMainQueue(QObject* parent = nullptr);

    void post(Task task) override;
    TimerHandle postAfter(std::chrono::milliseconds delay, Task task) override;
};

}  // namespace vorla::ui
