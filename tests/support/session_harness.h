// A running session engine inside a test: a main-thread loop on its own
// thread, the store that lives on it and the event server, under a temporary
// HOME. Tests reach the store only through onMain(), as the server does.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <type_traits>

#include "engine/session/server.h"
#include "engine/session/session_store.h"
#include "engine/support/main_queue.h"
#include "support/eventually.h"
#include "support/temp_home.h"

namespace vorla::test {

class SessionHarness {
  public:
    explicit SessionHarness(Server::Options options = {}) {
        mainThread_ = std::thread([this] { queue.run(); });
        server = std::make_unique<Server>(store, queue, std::move(options));
    }
    ~SessionHarness() {
        server.reset();
        queue.quit();
        mainThread_.join();
    }
    SessionHarness(const SessionHarness&) = delete;
    SessionHarness& operator=(const SessionHarness&) = delete;

    // Runs `work` on the main thread and returns its result.
    template <typename F>
    auto onMain(F work) -> std::invoke_result_t<F> {
        using R = std::invoke_result_t<F>;
        std::promise<R> promise;
        queue.post([&] {
            if constexpr (std::is_void_v<R>) {
                work();
                promise.set_value();
            } else {
                promise.set_value(work());
            }
        });
        return promise.get_future().get();
    }

    // Polls `condition` on the main thread until it holds or `timeout` passes.
    bool waitFor(const std::function<bool(SessionStore&)>& condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return eventually([&] { return onMain([&] { return condition(store); }); }, timeout);
    }

    // Lets every task posted so far run.
    void settle() {
        onMain([] {});
    }

    TempHome home;
    LoopMainQueue queue;
    SessionStore store{queue, SystemClock::shared()};
    std::unique_ptr<Server> server;

  private:
    std::thread mainThread_;
};

}  // namespace vorla::test
