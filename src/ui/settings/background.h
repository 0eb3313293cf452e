// Work that reads the disk or runs git, off the interface thread.
//
// runInBackground() runs `work` on a thread of Qt's global pool and hands its
// result to `done` on the interface thread, unless `context` has been
// destroyed by then (the page or window was closed): then the result is
// dropped. `work` must own everything it touches (capture by value); it may
// outlive the page and the window. QCoreApplication waits for the global
// pool when it ends, so a late result never meets a dead application.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <utility>

namespace vorla::ui {

template <typename Result>
void runInBackground(QObject* context, std::function<Result()> work,
                     std::function<void(Result)> done) {
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start(
        [guard, work = std::move(work), done = std::move(done)]() mutable {
            auto result = std::make_shared<Result>(work());
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, done = std::move(done), result] {
                    if (!guard.isNull()) {
                        done(std::move(*result));
                    }
                },
                Qt::QueuedConnection);
        });
}

}  // namespace vorla::ui
