// Helpers shared by the end-to-end tests: the real vorla-bridge run as an
// agent's hook would run it, the real headless app, what it publishes, and
// polling for what other processes do.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "core/json_value.h"
#include "core/protocol.h"
#include "core/unique_fd.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/temp_home.h"

namespace vorla::test {

inline ChildOptions bridgeOptions(const nlohmann::json& payload,
                                  const std::string& source = "claude") {
    ChildOptions options;
    options.args = {VORLA_BRIDGE_PATH, "--source", source};
    options.input = payload.dump();
    options.timeout = std::chrono::seconds(20);
    return options;
}

// A hook payload as an agent sends it from the project /work/shop.
inline nlohmann::json hookPayload(const std::string& name, const std::string& session,
                                  nlohmann::json extra = nlohmann::json::object()) {
    extra["hook_event_name"] = name;
    extra["session_id"] = session;
    extra.emplace("cwd", "/work/shop");
    return extra;
}

inline nlohmann::json toolPayload(const std::string& name, const std::string& session,
                                  const std::string& tool, const nlohmann::json& input) {
    return hookPayload(name, session, {{"tool_name", tool}, {"tool_input", input}});
}

// The decision part of a Claude PermissionRequest answer.
// The event line a bridge sends for a Bash permission request, with an id of
// our choosing.
inline std::string gatingEventLine(const std::string& id, const std::string& session,
                                   const std::string& command) {
    Event event;
    event.id = id;
    event.event = Canonical::permissionRequest;
    event.rawEvent = "PermissionRequest";
    event.gating = true;
    event.sessionID = session;
    event.toolName = "Bash";
    event.toolInput = JSONValue::parse(nlohmann::json{{"command", command}}.dump());
    return encode(event);
}

inline nlohmann::json claudeDecision(const ChildResult& result) {
    EXPECT_EQ(result.exitCode, 0) << result.err;
    auto out = nlohmann::json::parse(result.out, nullptr, false);
    return out.is_object() ? out["hookSpecificOutput"]["decision"] : nlohmann::json();
}

// The state.json the app publishes under `home`; not an object while absent.
inline nlohmann::json publishedState(const TempHome& home) {
    auto text = home.read(".vorla-agents/run/state.json");
    return text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
}

// Every audit line written under `home`, all days.
inline std::string auditText(const TempHome& home) {
    std::string all;
    std::error_code error;
    for (const auto& file :
         std::filesystem::directory_iterator(home.file(".vorla-agents/audit"), error)) {
        all += readFile(file.path()).value_or("");
    }
    return all;
}

// True once a listener takes connections on `path` (the file appears at
// bind(), a moment before the app listens).
inline bool accepting(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// The real app under `home`, started once its event and control sockets
// take connections. A socket file left by an
// earlier app is removed first, so the wait is for this one.
// --hold: gates that need a person wait (else they go back to the agent).
inline std::unique_ptr<RunningChild> startApp(const TempHome& home,
                                              std::vector<std::string> flags = {"--headless",
                                                                                "--hold"}) {
    const std::string socket = home.file(".vorla-agents/run/vorla.sock");
    std::filesystem::remove(socket);
    ChildOptions options;
    options.args = {VORLA_APP_PATH};
    options.args.insert(options.args.end(), flags.begin(), flags.end());
    auto app = std::make_unique<RunningChild>(options);
    EXPECT_TRUE(eventually(
        [&] { return accepting(socket) && accepting(home.file(".vorla-agents/run/control.sock")); },
        std::chrono::seconds(20)));
    return app;
}

// The rest of the line after `prefix` in `text`; empty until that line is whole.
inline std::string lineAfter(const std::string& text, const std::string& prefix) {
    std::size_t start = text.find(prefix);
    std::size_t end = start == std::string::npos ? start : text.find('\n', start);
    return end == std::string::npos
               ? ""
               : text.substr(start + prefix.size(), end - start - prefix.size());
}

// The headless app with phone approvals on any free port (tests run side by
// side), its outputs in `home`'s app.out and app.err, which a test can read
// while it runs. Returns the phone address it printed (empty after 30 s).
inline std::string startPhoneApp(const TempHome& home, std::unique_ptr<RunningChild>& app,
                                 std::map<std::string, std::optional<std::string>> env = {}) {
    ChildOptions options;
    options.args = {"/bin/sh",
                    "-c",
                    "exec \"$0\" --headless >\"$1\" 2>\"$2\"",
                    VORLA_APP_PATH,
                    home.file("app.out"),
                    home.file("app.err")};
    options.env = std::move(env);
    options.env["VORLA_REMOTE"] = "1";
    options.env["VORLA_REMOTE_PORT"] = "0";
    app = std::make_unique<RunningChild>(options);
    std::string url;
    eventually(
        [&] {
            url = lineAfter(home.read("app.out").value_or(""), "VORLA_REMOTE_URL ");
            return !url.empty();
        },
        std::chrono::seconds(30));
    return url;
}

}  // namespace vorla::test
