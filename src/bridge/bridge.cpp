#include "bridge/bridge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iterator>

#include "core/json_text.h"
#include "core/paths.h"
#include "core/unique_fd.h"
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

// A payload that fills the first read is a large one (a Write of a whole
// file): a bigger pipe lets the agent hand it over in a few writes instead of
// waking us every 64 KiB. Failure is harmless.
void widenPipe(int fd) {
    constexpr int kPipeBytes = 1 << 20;  // the unprivileged maximum by default
    (void)::fcntl(fd, F_SETPIPE_SZ, kPipeBytes);
}

// Copilot CLI has handed a tool's arguments over as JSON text as well as an
// object: the object inside, so that the command is graded, not the text.
JSONValue argumentsObject(JSONValue arguments) {
    if (auto text = arguments.stringValue()) {
        if (auto parsed = parseJson(std::move(*text)); parsed && parsed->is_object()) {
            return JSONValue(std::move(*parsed));
        }
    }
    return arguments;
}

}  // namespace

// Reads straight into the result, sized from the file when stdin is one, so
// a megabyte payload is neither copied in chunks nor regrown. The room to
// spare is for the line sent later, about as long as the payload: once the
// parsed payload is freed, that line reuses its pages, which are already
// mapped (a fresh page costs a fault).
std::optional<std::string> readInput(int fd, std::size_t limit) {
    constexpr std::size_t kFirstRead = std::size_t{16} << 10;  // most payloads are a few KiB
    constexpr std::size_t kMaxRead = std::size_t{256} << 10;
    std::size_t capacity = kFirstRead;
    struct stat info {};
    const bool statted = ::fstat(fd, &info) == 0;
    if (statted && S_ISREG(info.st_mode) && info.st_size > 0) {
        // A file past the limit is refused below; sizing stops at the limit.
        const auto size = std::min(static_cast<std::size_t>(info.st_size), limit + 1);
        capacity = size + size / 4 + kFirstRead;
    }
    const bool pipe = statted && S_ISFIFO(info.st_mode);
    // Reserved, not filled: only the pages a read reaches get touched.
    std::string data;
    data.reserve(capacity);
    std::size_t used = 0;
    // One byte past the limit tells a payload that is too long.
    while (used <= limit) {
        if (used == data.capacity()) {
            if (pipe && used == kFirstRead) {
                widenPipe(fd);
            }
            data.reserve(2 * used);
        }
        data.resize(std::min({data.capacity(), used + kMaxRead, limit + 1}));
        ssize_t n = ::read(fd, data.data() + used, data.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    if (used > limit) {
        return std::nullopt;
    }
    data.resize(used);
    return data;
}

namespace {

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Sends the event and, for a gating one, waits for the decision. nullopt on
// any failure: the agent then keeps its own default behaviour.
std::optional<Decision> exchange(const Event& event) {
    // No application listening is the everyday case, so it is not an error;
    // a socket that is not the user's own is treated the same.
    auto connected = UnixSocket::tryConnectOwned(socketPath());
    if (!connected) {
        return std::nullopt;
    }
    const UniqueFd fd(*connected);
    std::optional<Decision> decision;
    try {
        {
            JSONTextWriter text(approximateTextSize(event));
            encode(event, text);
            if (text.text().size() > kMaxEventLineBytes) {
                return std::nullopt;  // the app would drop it unread
            }
            UnixSocket::writeLine(fd.get(), text.text());
        }
        if (event.gating) {
            if (auto line = UnixSocket::readLine(fd.get(), kMaxDecisionLineBytes)) {
                decision = decodeDecision(std::move(*line));
            }
        }
    } catch (const UnixSocket::Error&) {
        // The application went away mid-exchange: the same as no answer.
    }
    return decision;
}

}  // namespace

namespace {

std::optional<std::string_view> optionValue(const std::vector<std::string_view>& args,
                                            std::string_view option) {
    auto it = std::find(args.begin(), args.end(), option);
    if (it == args.end() || std::next(it) == args.end()) {
        return std::nullopt;
    }
    return *std::next(it);
}

}  // namespace

std::optional<Source> declaredSource(const std::vector<std::string_view>& args) {
    auto value = optionValue(args, "--source");
    return value ? sourceFromRaw(*value) : std::nullopt;
}

std::optional<std::string> declaredEvent(const std::vector<std::string_view>& args) {
    auto value = optionValue(args, "--event");
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

Source effectiveSource(std::optional<Source> declared, const EnvLookup& env) {
    if ((!declared || *declared == Source::claude) &&
        (env("GROK_HOOK_EVENT") || env("GROK_SESSION_ID"))) {
        return Source::grok;
    }
    if (declared) {
        return *declared;
    }
    // Qwen Code also sets GEMINI_PROJECT_DIR, so its own mark is asked first.
    if (env("QWEN_CODE_SESSION_ID")) {
        return Source::qwen;
    }
    if (env("GEMINI_SESSION_ID")) {
        return Source::gemini;
    }
    if (env("COPILOT_CLI") == "1") {
        return Source::copilot;
    }
    return Source::claude;
}

Canonical canonicalEvent(Source source, std::string_view raw) {
    struct OwnName {
        Source source;
        std::string_view name;
        Canonical event;
    };
    static constexpr std::array<OwnName, 6> kOwnNames = {{
        {Source::gemini, "BeforeTool", Canonical::preToolUse},
        {Source::gemini, "AfterTool", Canonical::postToolUse},
        {Source::gemini, "BeforeAgent", Canonical::userPromptSubmit},
        {Source::gemini, "AfterAgent", Canonical::stop},
        {Source::copilot, "userPromptSubmitted", Canonical::userPromptSubmit},
        {Source::copilot, "agentStop", Canonical::stop},
    }};
    for (const OwnName& own : kOwnNames) {
        if (own.source == source && own.name == raw) {
            return own.event;
        }
    }
    return canonicalize(raw);
}

std::optional<Event> buildEvent(Source source, std::string payload, const EnvLookup& env,
                                Stamp stamp, std::optional<std::string> eventName) {
    if (payload.empty()) {
        return std::nullopt;
    }
    auto parsed = parseJson(std::move(payload));
    if (!parsed) {
        return std::nullopt;
    }
    JSONValue json(std::move(*parsed));
    Event event;
    event.id = std::move(stamp.id);
    event.source = source;
    if (!eventName) {
        eventName = stringField(json, {"hook_event_name", "hookEventName"});
    }
    event.rawEvent = eventName.value_or(env("GROK_HOOK_EVENT").value_or("unknown"));
    event.event = canonicalEvent(source, event.rawEvent);
    event.toolName = stringField(json, {"tool_name", "toolName"});
    event.gating = isGating(source, event.event, event.toolName) ||
                   isRuleCheck(source, event.event, event.toolName);
    event.sessionID = stringField(json, {"session_id", "sessionId"});
    if (!event.sessionID) {
        event.sessionID = env("GROK_SESSION_ID");
    }
    event.cwd = stringField(json, {"cwd", "workspaceRoot"});
    event.transcriptPath = stringField(json, {"transcript_path", "transcriptPath"});
    event.terminal = std::move(stamp.terminal);
    event.ts = stamp.ts;
    // Last, as it empties the payload: a Write input can be megabytes.
    event.toolInput = field(std::move(json), {"tool_input", "toolInput", "toolArgs"});
    if (event.toolInput && source == Source::copilot) {
        event.toolInput = argumentsObject(std::move(*event.toolInput));
    }
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
        case Source::gemini:
        case Source::opencode:  // our own plugin reads this form
            out["decision"] = word;
            if (!allow) {
                out["reason"] = reason;
            }
            break;
        case Source::copilot:
            out["permissionDecision"] = word;
            out["permissionDecisionReason"] = reason;
            break;
        case Source::qwen:
            out["hookSpecificOutput"] = {{"hookEventName", "PreToolUse"},
                                         {"permissionDecision", word},
                                         {"permissionDecisionReason", reason}};
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
    try {
        std::vector<std::string_view> args(argv, argv + argc);
        Source source = effectiveSource(declaredSource(args), processEnv);
        auto eventName = declaredEvent(args);
        auto payload = readInput(STDIN_FILENO, kMaxInputBytes);
        if (!payload) {
            return 0;
        }
        auto event = buildEvent(source, std::move(*payload), processEnv,
                                Stamp{randomUUID(), TerminalContext::capture(), nowSeconds()},
                                std::move(eventName));
        if (!event) {
            return 0;
        }
        auto decision = exchange(*event);
        if (!decision || (decision->behavior == Behavior::allow &&
                          isRuleCheck(event->source, event->event, event->toolName))) {
            return 0;
        }
        Answer answer = answerFor(event->source, event->event, *decision);
        // Nothing to do about an agent that stopped reading.
        (void)writeAll(STDOUT_FILENO, answer.out);
        (void)writeAll(STDERR_FILENO, answer.err);
        return answer.exitCode;
    } catch (...) {
        // Out of memory, say: the agent must still go on as if we were absent.
        return 0;
    }
}

}  // namespace vorla::bridge
