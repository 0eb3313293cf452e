// One record of the audit log: a finished tool run or an approval decision,
// and its JSON-lines form on disk. Plain value; safe to copy between threads.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/policy/risk.h"
#include "engine/support/clock.h"

namespace vorla {

// The kinds written by the session store ("tool", "approved", "denied",
// "auto-allowed", "auto-denied" on disk). A kind this version does not know
// reads as `other`: its text is kept, shown and written back, and nothing
// counts it.
enum class AuditKind { tool, approved, denied, autoAllowed, autoDenied, other };

// The word on disk; "" for other.
[[nodiscard]] std::string_view rawValue(AuditKind kind);
[[nodiscard]] constexpr bool isAutomatic(AuditKind kind) {
    return kind == AuditKind::autoAllowed || kind == AuditKind::autoDenied;
}
[[nodiscard]] constexpr bool isDenial(AuditKind kind) {
    return kind == AuditKind::denied || kind == AuditKind::autoDenied;
}

// Who gave a decision (an entry's `by`); empty on tool entries and on lines
// written before it was recorded.
namespace AuditBy {
inline constexpr std::string_view island = "island";
inline constexpr std::string_view phone = "phone";
inline constexpr std::string_view terminal = "terminal";
inline constexpr std::string_view rule = "rule";
inline constexpr std::string_view policy = "policy";
}  // namespace AuditBy

struct AuditEntry {
    WallTime ts;        // on disk: ISO 8601 UTC, whole seconds
    std::string agent;  // source raw name: "claude", "codex", "grok", "kiro"
    std::string sessionID;
    std::string project;  // last path component of the session's cwd
    AuditKind kind = AuditKind::tool;
    std::string tool;
    std::string detail;          // one-line preview of the tool input, or empty
    std::optional<int> risk;     // Risk raw value when one was assessed
    std::string by = {};         // see AuditBy; optional on disk
    std::string otherKind = {};  // the text of an `other` kind

    // The kind as written on disk.
    [[nodiscard]] std::string_view kindText() const;
    // Decodes the word on disk into kind (and otherKind).
    void setKind(std::string_view text);
    // Whether a risk was recorded at `level` or above.
    [[nodiscard]] bool riskAtLeast(Risk level) const { return risk && *risk >= rawValue(level); }

    // Row key for lists: "<ts as seconds since 1970>-<tool>-<sessionID>".
    [[nodiscard]] std::string id() const;

    friend bool operator==(const AuditEntry&, const AuditEntry&) = default;
};

// One compact JSON object, without the line feed; `risk` and `by` omitted
// when absent.
[[nodiscard]] std::string encodeAuditLine(const AuditEntry& entry);

// Decodes every line of a JSON-lines text, calling `sink` for each entry in
// file order. Blank lines and lines that are not a complete entry (a
// truncated last line, another JSON shape, a bad timestamp, invalid UTF-8)
// are skipped.
void decodeAuditLines(std::string_view text, const std::function<void(AuditEntry&&)>& sink);

}  // namespace vorla
