#include "engine/session/session.h"

#include <algorithm>

#include "core/text.h"

namespace vorla {

Session::Session(std::string id, Source source, std::string cwd, const Clock& clock)
    : id_(std::move(id)),
      source_(source),
      clock_(clock),
      cwd_(std::move(cwd)),
      startedAt_(clock.now()),
      lastSeen_(startedAt_) {}

void Session::setCwd(std::string cwd) {
    set(cwd_, std::move(cwd));
}
void Session::setState(SpriteKind state) {
    set(state_, state);
}
void Session::setActivity(std::string_view activity) {
    // It names the agent's tool; the island and status show it as it is here.
    set(activity_, visibleText(activity));
}
void Session::setToolCount(std::int64_t count) {
    set(toolCount_, count);
}
void Session::setStartedAt(WallTime time) {
    set(startedAt_, time);
}
void Session::setLastSeen(WallTime time) {
    set(lastSeen_, time);
}
void Session::setTerminal(std::optional<TerminalContext> terminal) {
    set(terminal_, std::move(terminal));
}
void Session::setTranscriptPath(std::optional<std::string> path) {
    set(transcriptPath_, std::move(path));
}
void Session::setContext(std::optional<ContextUsage> context) {
    set(context_, context);
}

std::string Session::elapsed() const {
    // Never negative, even when the clock was set back since the start.
    auto seconds = std::max<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::seconds>(clock_.now() - startedAt_).count());
    if (seconds > 59) {
        return std::to_string(seconds / 60) + "m " + std::to_string(seconds % 60) + "s";
    }
    return std::to_string(seconds) + "s";
}

}  // namespace vorla
