// The live record of one agent session: which agent, where it works, what it
// is doing, how many tools it ran and since when.
//
// Main thread only. Created and changed by SessionStore; views hold a
// shared_ptr for the length of one update and subscribe to changed(), which
// fires synchronously after every change of an observable field (setting an
// equal value does not fire).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/protocol.h"
#include "engine/session/sprite_kind.h"
#include "engine/support/clock.h"
#include "engine/support/observable.h"
#include "engine/usage/context_meter.h"

namespace vorla {

class Session {
  public:
    // Both timestamps are set to `clock.now()`; the clock must outlive the
    // session (elapsed() reads it).
    Session(std::string id, Source source, std::string cwd, const Clock& clock);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Constant after construction.
    [[nodiscard]] const std::string& id() const { return id_; }
    [[nodiscard]] Source source() const { return source_; }

    // Observable.
    [[nodiscard]] const std::string& cwd() const { return cwd_; }
    void setCwd(std::string cwd);
    [[nodiscard]] SpriteKind state() const { return state_; }
    void setState(SpriteKind state);
    [[nodiscard]] const std::string& activity() const { return activity_; }
    void setActivity(std::string_view activity);
    [[nodiscard]] std::int64_t toolCount() const { return toolCount_; }
    void setToolCount(std::int64_t count);
    [[nodiscard]] WallTime startedAt() const { return startedAt_; }
    void setStartedAt(WallTime time);
    [[nodiscard]] WallTime lastSeen() const { return lastSeen_; }
    void setLastSeen(WallTime time);
    [[nodiscard]] const std::optional<TerminalContext>& terminal() const { return terminal_; }
    void setTerminal(std::optional<TerminalContext> terminal);
    [[nodiscard]] const std::optional<std::string>& transcriptPath() const {
        return transcriptPath_;
    }
    void setTranscriptPath(std::optional<std::string> path);
    [[nodiscard]] const std::optional<ContextUsage>& context() const { return context_; }
    void setContext(std::optional<ContextUsage> context);

    // Running time: "59s", "1m 0s", "60m 0s" (no hour unit).
    [[nodiscard]] std::string elapsed() const;

    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changed_.subscribe(std::move(onChange));
    }

  private:
    template <typename T, typename U>
    void set(T& field, U&& value) {
        if (assignIfChanged(field, std::forward<U>(value))) {
            changed_.notify();
        }
    }

    const std::string id_;
    const Source source_;
    const Clock& clock_;

    std::string cwd_;
    SpriteKind state_ = SpriteKind::idle;
    std::string activity_;
    std::int64_t toolCount_ = 0;
    WallTime startedAt_;
    WallTime lastSeen_;
    std::optional<TerminalContext> terminal_;
    std::optional<std::string> transcriptPath_;
    std::optional<ContextUsage> context_;

    ChangeNotifier changed_;
};

}  // namespace vorla
