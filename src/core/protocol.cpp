#include "core/protocol.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/json_text.h"
#include "core/text.h"

namespace vorla {

namespace {

constexpr std::array<std::string_view, kAllSources.size()> kSourceRaw = {
    "claude", "codex", "grok", "kiro", "gemini", "copilot", "qwen", "opencode"};
constexpr std::array<std::string_view, kAllSources.size()> kSourceDisplay = {
    "Claude Code", "Codex",       "Grok Build", "Kiro CLI",
    "Gemini CLI",  "Copilot CLI", "Qwen Code",  "OpenCode"};
constexpr std::array<std::string_view, 9> kCanonicalRaw = {
    "sessionStart",      "sessionEnd", "userPromptSubmit", "preToolUse", "postToolUse",
    "permissionRequest", "stop",       "notification",     "other"};

template <typename Enum, std::size_t N>
std::optional<Enum> fromRaw(const std::array<std::string_view, N>& table, std::string_view raw) {
    auto it = std::find(table.begin(), table.end(), raw);
    if (it == table.end()) {
        return std::nullopt;
    }
    return static_cast<Enum>(it - table.begin());
}

using Json = nlohmann::json;

// Optional string member: absent or null gives nullopt in `out`; any other
// non-string type makes the whole record undecodable (returns false).
bool optionalString(const Json& object, const char* key, std::optional<std::string>& out) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return true;
    }
    if (!it->is_string()) {
        return false;
    }
    out = it->get<std::string>();
    return true;
}

const Json* requiredMember(const Json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<std::string> requiredString(const Json& object, const char* key) {
    const Json* member = requiredMember(object, key);
    if (member == nullptr || !member->is_string()) {
        return std::nullopt;
    }
    return member->get<std::string>();
}

void putOptional(Json& object, const char* key, const std::optional<std::string>& value) {
    if (value) {
        object[key] = *value;
    }
}

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace

std::string_view rawValue(Source source) {
    return kSourceRaw.at(static_cast<std::size_t>(source));
}

std::string_view displayName(Source source) {
    return kSourceDisplay.at(static_cast<std::size_t>(source));
}

std::optional<Source> sourceFromRaw(std::string_view raw) {
    return fromRaw<Source>(kSourceRaw, raw);
}

std::string_view rawValue(Canonical event) {
    return kCanonicalRaw.at(static_cast<std::size_t>(event));
}

std::optional<Canonical> canonicalFromRaw(std::string_view raw) {
    return fromRaw<Canonical>(kCanonicalRaw, raw);
}

std::string_view rawValue(Behavior behavior) {
    return behavior == Behavior::allow ? "allow" : "deny";
}

std::optional<Behavior> behaviorFromRaw(std::string_view raw) {
    if (raw == "allow") {
        return Behavior::allow;
    }
    if (raw == "deny") {
        return Behavior::deny;
    }
    return std::nullopt;
}

TerminalContext TerminalContext::capture() {
    TerminalContext terminal;
    terminal.termProgram = environment("TERM_PROGRAM");
    terminal.itermSessionID = environment("ITERM_SESSION_ID");
    terminal.termSessionID = environment("TERM_SESSION_ID");
    terminal.tmuxPane = environment("TMUX_PANE");
    terminal.weztermPane = environment("WEZTERM_PANE");
    terminal.kittyWindowID = environment("KITTY_WINDOW_ID");
    terminal.ppid = static_cast<std::int32_t>(getppid());
    return terminal;
}

Json toJson(const TerminalContext& terminal) {
    Json object = Json::object();
    putOptional(object, "termProgram", terminal.termProgram);
    putOptional(object, "itermSessionID", terminal.itermSessionID);
    putOptional(object, "termSessionID", terminal.termSessionID);
    putOptional(object, "tmuxPane", terminal.tmuxPane);
    putOptional(object, "weztermPane", terminal.weztermPane);
    putOptional(object, "kittyWindowID", terminal.kittyWindowID);
    object["ppid"] = terminal.ppid;
    return object;
}

std::optional<TerminalContext> terminalFromJson(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    TerminalContext terminal;
    const Json* ppid = requiredMember(json, "ppid");
    if (ppid == nullptr || !ppid->is_number()) {
        return std::nullopt;
    }
    double value = ppid->get<double>();
    if (value != std::floor(value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    terminal.ppid = static_cast<std::int32_t>(value);
    bool ok = optionalString(json, "termProgram", terminal.termProgram) &&
              optionalString(json, "itermSessionID", terminal.itermSessionID) &&
              optionalString(json, "termSessionID", terminal.termSessionID) &&
              optionalString(json, "tmuxPane", terminal.tmuxPane) &&
              optionalString(json, "weztermPane", terminal.weztermPane) &&
              optionalString(json, "kittyWindowID", terminal.kittyWindowID);
    if (!ok) {
        return std::nullopt;
    }
    return terminal;
}

namespace {

void putOptional(JSONTextWriter& out, std::string_view key,
                 const std::optional<std::string>& value) {
    if (value) {
        out.key(key);
        out.value(std::string_view(*value));
    }
}

}  // namespace

std::size_t approximateTextSize(const Event& event) {
    constexpr std::size_t kEnvelope = 1024;  // ids, names, paths, terminal
    return kEnvelope + (event.toolInput ? approximateTextSize(event.toolInput->json()) : 0);
}

std::string encode(const Event& event) {
    JSONTextWriter out(approximateTextSize(event));
    encode(event, out);
    return out.take();
}

void encode(const Event& event, JSONTextWriter& out) {
    // Written member by member, keys in byte order, so that a large tool
    // input is printed where it lies rather than copied into a new object.
    out.startObject();
    putOptional(out, "cwd", event.cwd);
    out.key("event");
    out.value(rawValue(event.event));
    out.key("gating");
    out.boolean(event.gating);
    out.key("id");
    out.value(std::string_view(event.id));
    out.key("rawEvent");
    out.value(std::string_view(event.rawEvent));
    putOptional(out, "sessionID", event.sessionID);
    out.key("source");
    out.value(rawValue(event.source));
    out.key("terminal");
    out.value(toJson(event.terminal));
    if (event.toolInput) {
        out.key("toolInput");
        out.value(event.toolInput->json());
    }
    putOptional(out, "toolName", event.toolName);
    putOptional(out, "transcriptPath", event.transcriptPath);
    out.key("ts");
    out.number(event.ts);
    out.endObject();
}

std::string encode(const Decision& decision) {
    Json object = Json::object();
    object["behavior"] = rawValue(decision.behavior);
    putOptional(object, "message", decision.message);
    return writeJson(object);
}

std::optional<Event> decodeEvent(std::string line) {
    Json json = parseJson(std::move(line)).value_or(Json());
    if (!json.is_object()) {
        return std::nullopt;
    }
    Event event;
    auto id = requiredString(json, "id");
    auto source = requiredString(json, "source");
    auto kind = requiredString(json, "event");
    auto rawEvent = requiredString(json, "rawEvent");
    const Json* gating = requiredMember(json, "gating");
    const Json* terminal = requiredMember(json, "terminal");
    const Json* ts = requiredMember(json, "ts");
    if (!id || !source || !kind || !rawEvent || gating == nullptr || !gating->is_boolean() ||
        terminal == nullptr || ts == nullptr || !ts->is_number()) {
        return std::nullopt;
    }
    auto parsedSource = sourceFromRaw(*source);
    auto parsedKind = canonicalFromRaw(*kind);
    auto parsedTerminal = terminalFromJson(*terminal);
    if (!parsedSource || !parsedKind || !parsedTerminal) {
        return std::nullopt;
    }
    event.id = std::move(*id);
    event.source = *parsedSource;
    event.event = *parsedKind;
    event.rawEvent = std::move(*rawEvent);
    event.gating = gating->get<bool>();
    event.terminal = std::move(*parsedTerminal);
    event.ts = ts->get<double>();
    bool ok = optionalString(json, "sessionID", event.sessionID) &&
              optionalString(json, "cwd", event.cwd) &&
              optionalString(json, "toolName", event.toolName) &&
              optionalString(json, "transcriptPath", event.transcriptPath);
    if (!ok) {
        return std::nullopt;
    }
    // Unlike the other optional fields, a present null is a value here: the
    // tool was called with a null input.
    auto input = json.find("toolInput");
    if (input != json.end()) {
        event.toolInput = JSONValue(std::move(*input));
    }
    return event;
}

std::optional<Decision> decodeDecision(std::string line) {
    Json json = parseJson(std::move(line)).value_or(Json());
    if (!json.is_object()) {
        return std::nullopt;
    }
    auto behavior = requiredString(json, "behavior");
    if (!behavior) {
        return std::nullopt;
    }
    auto parsed = behaviorFromRaw(*behavior);
    if (!parsed) {
        return std::nullopt;
    }
    Decision decision{*parsed, std::nullopt};
    if (!optionalString(json, "message", decision.message)) {
        return std::nullopt;
    }
    return decision;
}

Canonical canonicalize(std::string_view raw) {
    std::string folded = asciiLower(raw);
    std::erase(folded, '_');
    static constexpr std::array<std::pair<std::string_view, Canonical>, 8> kNames = {{
        {"sessionstart", Canonical::sessionStart},
        {"sessionend", Canonical::sessionEnd},
        {"userpromptsubmit", Canonical::userPromptSubmit},
        {"pretooluse", Canonical::preToolUse},
        {"posttooluse", Canonical::postToolUse},
        {"permissionrequest", Canonical::permissionRequest},
        {"stop", Canonical::stop},
        {"notification", Canonical::notification},
    }};
    for (const auto& [name, canonical] : kNames) {
        if (folded == name) {
            return canonical;
        }
    }
    return Canonical::other;
}

bool isGating(Source source, Canonical event, const std::optional<std::string>& toolName) {
    switch (source) {
        case Source::claude:
        case Source::codex:
            if (event == Canonical::permissionRequest) {
                return true;
            }
            return event == Canonical::preToolUse && toolName &&
                   (*toolName == "ExitPlanMode" || *toolName == "AskUserQuestion");
        case Source::grok:
        case Source::kiro:
        case Source::gemini:
        case Source::copilot:
        case Source::qwen:
        case Source::opencode:
            // These agents ask no permission of their own in the modes they
            // are run in, so the pre-tool event is where a call is stopped.
            return event == Canonical::preToolUse;
    }
    return false;
}

bool isRuleCheck(Source source, Canonical event, const std::optional<std::string>& toolName) {
    return (source == Source::claude || source == Source::codex) &&
           event == Canonical::preToolUse && !isGating(source, event, toolName);
}

namespace {

template <typename Object>
auto findField(Object& object, std::initializer_list<std::string_view> keys) {
    if (object.is_object()) {
        for (auto key : keys) {
            auto it = object.find(key);
            if (it != object.end()) {
                return it;
            }
        }
    }
    return object.end();
}

}  // namespace

std::optional<JSONValue> field(const JSONValue& json,
                               std::initializer_list<std::string_view> keys) {
    const Json& object = json.json();
    auto it = findField(object, keys);
    if (it == object.end()) {
        return std::nullopt;
    }
    return JSONValue(*it);
}

std::optional<JSONValue> field(JSONValue&& json, std::initializer_list<std::string_view> keys) {
    Json object = std::move(json).release();
    auto it = findField(object, keys);
    if (it == object.end()) {
        return std::nullopt;
    }
    return JSONValue(std::move(*it));
}

}  // namespace vorla
