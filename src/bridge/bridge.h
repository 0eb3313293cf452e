// The logic of vorla-bridge, split from its input and output so the tests can
// drive it in-process. Single-threaded; no state between calls.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol.h"

namespace vorla::bridge {

// Looks up an environment variable; nullopt when unset.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The most standard input the bridge takes. A longer input is not sent at all.
inline constexpr std::size_t kMaxInputBytes = kMaxPayloadBytes;

// Everything `fd` yields until end of input; nullopt when that is more than
// `limit` bytes (reading stops one byte past it).
[[nodiscard]] std::optional<std::string> readInput(int fd, std::size_t limit);

// The source named by the first "--source", when a valid raw value follows it.
[[nodiscard]] std::optional<Source> declaredSource(const std::vector<std::string_view>& args);

// The value after the first "--event": Copilot CLI tells a hook nothing of
// the event it runs for, so its hook commands name it.
[[nodiscard]] std::optional<std::string> declaredEvent(const std::vector<std::string_view>& args);

// GROK_HOOK_EVENT or GROK_SESSION_ID present (any value) makes grok of a hook
// declared claude or not declared at all: Grok runs Claude Code's hooks as
// its own. Otherwise the declared source wins, so that an agent started by
// another one (whose marks it inherits) is still itself. Undeclared, the
// mark an agent sets for its hooks names it (QWEN_CODE_SESSION_ID,
// GEMINI_SESSION_ID, COPILOT_CLI=1); else claude. CLAUDE_PROJECT_DIR names
// nothing: Gemini CLI, Copilot CLI and Qwen Code all set it too.
[[nodiscard]] Source effectiveSource(std::optional<Source> declared, const EnvLookup& env);

// The canonical event for an agent's own event name: Gemini CLI's
// BeforeTool, Copilot CLI's agentStop, ... and otherwise canonicalize().
[[nodiscard]] Canonical canonicalEvent(Source source, std::string_view raw);

// What the bridge needs besides the payload, fixed by the caller so that
// tests can choose them.
struct Stamp {
    std::string id;
    TerminalContext terminal;
    double ts = 0;
};

// The event for one hook payload; nullopt for empty input or text that is not
// JSON (the bridge then exits quietly without sending). The payload is
// consumed: it is parsed in place. `eventName`, from the hook's command line,
// wins over the payload's own name.
[[nodiscard]] std::optional<Event> buildEvent(Source source, std::string payload,
                                              const EnvLookup& env, Stamp stamp,
                                              std::optional<std::string> eventName = {});

// What the bridge prints for a decision.
struct Answer {
    std::string out;  // standard output, no trailing line feed
    std::string err;  // standard error (Kiro denial only)
    int exitCode = 0;
};

[[nodiscard]] Answer answerFor(Source source, Canonical event, const Decision& decision);

// The whole program: reads stdin, talks to the socket, prints, returns the
// exit status. Every failure, an exception included, is a silent 0.
int run(int argc, char** argv);

}  // namespace vorla::bridge
