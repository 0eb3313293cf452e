// The request channel between the `vorla-agents` subcommands and the running
// application: one JSON line each way over ~/.vorla-agents/run/control.sock
// (mode 0600, so only the user who runs the app can connect).
//
// Requests: {"request":"status"}, {"request":"decide","gate":<id or prefix>,
// "behavior":"allow"|"deny","always":bool}, {"request":"rules"},
// {"request":"forget","key":<rule key>}. Replies are objects with "ok": true
// and the data, or "ok": false with "error" (one line for the user) and
// "reason" (see ControlFailure).
//
// Plain values and pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/protocol.h"

namespace vorla {

// ~/.vorla-agents/run/control.sock (follows $HOME at each call).
[[nodiscard]] std::string controlSocketPath();

// A request is a verb and a gate id or rule key: a few KiB is plenty.
inline constexpr std::size_t kMaxRequestBytes = std::size_t{8} << 10;
// A reply may carry every session and gate (`status`).
inline constexpr std::size_t kMaxReplyBytes = std::size_t{64} << 20;

enum class ControlVerb { status, decide, rules, forget };

struct ControlRequest {
    ControlVerb verb = ControlVerb::status;
    std::string gate;  // decide: a gate id or a prefix of one
    Behavior behavior = Behavior::deny;
    bool always = false;  // decide with allow: also learn the rule
    std::string key;      // forget: the rule's key

    friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// Why a request failed, as the "reason" of a failed reply.
namespace ControlFailure {
inline constexpr std::string_view gone = "gone";            // no gate or rule by that name
inline constexpr std::string_view ambiguous = "ambiguous";  // a prefix of several gates
inline constexpr std::string_view refused = "refused";      // --always on a risky gate
// The caller runs under the agent that waits on the gate.
inline constexpr std::string_view selfAnswer = "self-answer";
inline constexpr std::string_view badRequest = "bad-request";
}  // namespace ControlFailure

[[nodiscard]] std::string encodeRequest(const ControlRequest& request);
// nullopt for anything but a well-formed request.
[[nodiscard]] std::optional<ControlRequest> decodeRequest(std::string_view line);

[[nodiscard]] nlohmann::json controlFailure(std::string_view reason, std::string message);

}  // namespace vorla
