// Work that reads the disk or runs git, off the interface thread.
//
// runInBackground() runs `work` on a thread of Qt's global pool, once the
// paint already pending is done, and hands its result to `done` on the
// interface thread, unless `context` has been
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
#include <optional>
#include <thread>
#include <utility>

namespace vorla::ui {

// Ten nice steps down for the calling thread (Linux: nice is per thread).
void lowerThisThreadsPriority();

// Runs `call` on the interface thread after the events already waiting, the
// paint of what the caller has just shown included (Qt posts that at low
// priority; this goes below it). Dropped if `context` dies first.
void afterPendingPaint(QObject* context, std::function<void()> call);

template <typename Result>
void runInBackground(QObject* context, std::function<Result()> work,
                     std::function<void(Result)> done) {
    QPointer<QObject> guard(context);
    // Started after the paint of the page that announces it: on two cores a
    // git or a transcript scan would otherwise hold back that paint's raster
    // threads and the X server.
    afterPendingPaint(context, [guard, work = std::move(work), done = std::move(done)]() mutable {
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
    });
}

// Runs `work` on a thread of its own, ten nice steps below the caller, and
// returns its result. Threads `work` starts inherit that priority. For reads
// that keep every core busy (the transcript scan), so that the interface
// thread still gets a core the moment it wakes.
template <typename Result>
Result atLowPriority(const std::function<Result()>& work) {
    std::optional<Result> result;
    std::thread([&] {
        lowerThisThreadsPriority();
        result.emplace(work());
    }).join();
    return std::move(*result);
}

}  // namespace vorla::ui
