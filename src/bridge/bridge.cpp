#include "bridge/bridge.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include "core/paths.h"
#include "core/unix_socket.h"
#include "core/uuid.h"

namespace vorla::bridge {

namespace {

std::optional<std::string> stringField(const JSONValue& payload,
                                       std::initializer_list<std::string_view> keys) {
    auto value = field(payload, keys);
    return value ? value->stringValue() : std::nullopt;
}

std::optional<std::string> processEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string readAll(int fd) {
    std::string data;
    std::array<char, 64 * 1024> chunk{};
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return data;
        }
        data.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Sends the event and, for a gating one, waits for the decision. nullopt on
// any failure: the agent then keeps its own default behaviour.
std::optional<Decision> exchange(const Event& event) {
    int fd = -1;
    try {
        fd = UnixSocket::connect(socketPath());
        UnixSocket::writeLine(fd, encode(event));
        if (!event.gating) {
            ::close(fd);
            return std::nullopt;
        }
        auto line = UnixSocket::readLine(fd);
        ::close(fd);
        return line ? decodeDecision(*line) : std::nullopt;
    } catch (const UnixSocket::Error&) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
}

}  // namespace

Source declaredSource(const std::vector<std::string_view>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--source") {
            if (i + 1 < args.size()) {
                return sourceFromRaw(args[i + 1]).value_or(Source::claude);
            }
            break;
        }
    }
    return Source::claude;
}

Source effectiveSource(Source declared, const EnvLookup& env) {
    if (env("GROK_HOOK_EVENT") || env("GROK_SESSION_ID")) {
        return Source::grok;
    }
    return declared;
}

std::optional<Event> buildEvent(Source source, std::string_view payload, const EnvLookup& env,
                                Stamp stamp) {
    if (payload.empty()) {
        return std::nullopt;
    }
    auto json = JSONValue::parse(payload);
    if (!json) {
        return std::nullopt;
    }
    Event event;
    event.id = std::move(stamp.id);
    event.source = source;
    event.rawEvent = stringField(*json, {"hook_event_name", "hookEventName"})
                         .value_or(env("GROK_HOOK_EVENT").value_or("unknown"));
    event.event = canonicalize(event.rawEvent);
    event.toolName = stringField(*json, {"tool_name", "toolName"});
    event.gating = isGating(source, event.event, event.toolName);
    event.sessionID = stringField(*json, {"session_id", "sessionId"});
    if (!event.sessionID) {
        event.sessionID = env("GROK_SESSION_ID");
    }
    event.cwd = stringField(*json, {"cwd", "workspaceRoot"});
    event.toolInput = field(*json, {"tool_input", "toolInput"});
    event.transcriptPath = stringField(*json, {"transcript_path", "transcriptPath"});
    event.terminal = std::move(stamp.terminal);
    event.ts = stamp.ts;
    return event;
}

Answer answerFor(Source source, Canonical event, const Decision& decision) {
    const bool allow = decision.behavior == Behavior::allow;
    std::string reason =
        decision.message.value_or(allow ? "Approved in Vorla Agents" : "Denied in Vorla Agents");
    std::string word(rawValue(decision.behavior));
    nlohmann::json out;
    switch (source) {
        case Source::claude:
        case Source::codex:
            if (event == Canonical::permissionRequest) {
                out["hookSpecificOutput"] = {
                    {"hookEventName", "PermissionRequest"},
                    {"decision", {{"behavior", word}, {"message", reason}}}};
            } else {
                out["hookSpecificOutput"] = {{"hookEventName", "PreToolUse"},
                                             {"permissionDecision", word},
                                             {"permissionDecisionReason", reason}};
            }
            break;
        case Source::grok:
            out["decision"] = word;
            if (!allow) {
                out["reason"] = reason;
            }
            break;
        case Source::kiro:
            if (allow) {
                return {};
            }
            return Answer{"", reason, 2};
    }
    return Answer{out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), "", 0};
}

int run(int argc, char** argv) {
    // The agent may close our pipes early; a vanished reader must not kill us.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string_view> args(argv, argv + argc);
    Source source = effectiveSource(declaredSource(args), processEnv);
    std::string payload = readAll(STDIN_FILENO);
    auto event = buildEvent(source, payload, processEnv,
                            Stamp{randomUUID(), TerminalContext::capture(), nowSeconds()});
    if (!event) {
        return 0;
    }
    payload.clear();
    payload.shrink_to_fit();
    auto decision = exchange(*event);
    if (!decision) {
        return 0;
    }
    Answer answer = answerFor(event->source, event->event, *decision);
    writeAll(STDOUT_FILENO, answer.out);
    writeAll(STDERR_FILENO, answer.err);
    return answer.exitCode;
}

}  // namespace vorla::bridge
