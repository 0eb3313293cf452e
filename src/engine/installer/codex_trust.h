// Codex runs a hook only when its config.toml trusts it: one table per hook
// handler, `[hooks.state."<hooks.json path>:<event>:<group>:<handler>"]`
// holding `trusted_hash = "sha256:<hex>"`, the SHA-256 of the handler's
// identity (compact JSON, sorted keys: event in snake_case, the handler with
// its defaults, and the group's matcher when it has one). Untrusted or changed
// hooks are skipped. These are pure functions on text and JSON; safe from
// any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::installer {

// "PreToolUse" -> "pre_tool_use".
[[nodiscard]] std::string codexEventName(std::string_view event);

// "sha256:<hex>" for one handler of a group of `event` ("PreToolUse").
[[nodiscard]] std::string codexTrustedHash(std::string_view event, const nlohmann::json& group,
                                           const nlohmann::json& handler);

struct TrustEntry {
    std::string key;   // "<hooks.json path>:<event>:<group>:<handler>"
    std::string hash;  // "sha256:<hex>"
    friend bool operator==(const TrustEntry&, const TrustEntry&) = default;
};

// The tables Codex wants for every handler of `hooks` (the "hooks" object of
// hooks.json at `hooksPath`) whose command is ours (isOurs under `home`);
// anyone else's handler stays for Codex's own review.
[[nodiscard]] std::vector<TrustEntry> codexTrustFor(const std::string& hooksPath,
                                                    const nlohmann::json& hooks,
                                                    const std::string& home);

// The trust tables present in config.toml text, in file order.
[[nodiscard]] std::vector<TrustEntry> readCodexTrust(std::string_view toml);

// Rewrites config.toml text: removes the trust tables under `hooksPath` that
// are ours, old or new (their key or their hash is one of `previous`' or
// `current`'s), then appends `current`. Every other line stays as it was.
[[nodiscard]] std::string withCodexTrust(std::string_view toml, const std::string& hooksPath,
                                         const std::vector<TrustEntry>& previous,
                                         const std::vector<TrustEntry>& current);

}  // namespace vorla::installer
