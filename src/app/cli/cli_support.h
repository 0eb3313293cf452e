// What the terminal subcommands share: reaching the running app over the
// request socket, option parsing with GNU-style messages, and plain tables.
//
// Exit codes of every subcommand: 0 done; 1 it could not be done (a gate
// that is gone, an ambiguous prefix, a file that cannot be read or written);
// 2 bad usage; 3 the app is not running and the command needs it.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "engine/session/control_protocol.h"

namespace vorla::app {

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotRunning = 3;

// Error codes of askApp.
enum AppFailure : int {
    appNotRunning = 1,  // no app listens: the usual case when it is not running
    appSilent,          // it listens but did not answer
    appRefused,         // it answered that it could not do that
};

// The running app's reply (with "ok": true). Fails with the sentence to show:
// "Vorla Agents is not running ...", "... did not answer on <socket>" or the
// app's own error.
[[nodiscard]] Result<nlohmann::json> askApp(const ControlRequest& request);

// "vorla-agents: <message>" on stderr; kExitFailed for a refusal, else
// kExitNotRunning.
int reportFailure(const Error& error);

// "vorla-agents <command>: <message>\nTry 'vorla-agents <command> --help'."
int usageError(std::string_view command, const std::string& message);
// Whether `arg` asks for help.
[[nodiscard]] bool isHelp(std::string_view arg);

// The options of a command that takes only --json and --help: whether --json
// was given, or the status to exit with after printing `help` or a usage error.
struct JsonOption {
    bool json = false;
    std::optional<int> exitStatus;
};
[[nodiscard]] JsonOption parseJsonOption(std::string_view command, const char* help, int argc,
                                         char** argv);

// Columns padded to their widest cell, two spaces apart; the last column is
// cut to the terminal's width when standard output is one. Cells are shown
// as visibleText (core/text.h): most of them come from agents.
using Row = std::vector<std::string>;
[[nodiscard]] std::string formatTable(const Row& header, const std::vector<Row>& rows);

// The terminal's width, or 0 when standard output is not a terminal.
[[nodiscard]] int terminalWidth();

// "3s", "4m 10s", "2h 5m", "3d 1h".
[[nodiscard]] std::string shortDuration(double seconds);

void printJson(const nlohmann::json& json);

}  // namespace vorla::app
