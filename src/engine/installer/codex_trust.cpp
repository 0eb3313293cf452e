#include "engine/installer/codex_trust.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <set>

#include "core/text.h"
#include "engine/installer/hook_layout.h"
#include "engine/support/sha256.h"

namespace vorla::installer {

namespace {

using nlohmann::json;

// Codex's defaults for a command handler.
constexpr int kDefaultTimeout = 600;
constexpr int kSessionEndTimeoutLimit = 3;

// A TOML basic string: quotes, backslashes and control characters escaped.
std::string tomlQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0f];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The text of a TOML basic or literal string at the start of `text`, and
// what follows it; nullopt when it is not one.
std::optional<std::pair<std::string, std::string_view>> tomlString(std::string_view text) {
    if (text.empty() || (text.front() != '"' && text.front() != '\'')) {
        return std::nullopt;
    }
    const char quote = text.front();
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == quote) {
            return std::pair(value, text.substr(i + 1));
        }
        if (quote == '"' && c == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            if (next == 'u' && i + 4 < text.size()) {
                // Our own keys escape only control characters this way.
                unsigned code = 0;
                std::string_view digits = text.substr(i + 1, 4);
                auto parsed = std::from_chars(digits.data(), digits.data() + 4, code, 16);
                if (parsed.ec != std::errc() || code > 0x7f) {
                    return std::nullopt;
                }
                value += static_cast<char>(code);
                i += 4;
            } else {
                value += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            }
        } else {
            value += c;
        }
    }
    return std::nullopt;
}

// The key of a `[hooks.state."<key>"]` header line.
std::optional<std::string> trustTableKey(std::string_view line) {
    line = trimmed(line);
    constexpr std::string_view kPrefix = "[hooks.state.";
    if (!line.starts_with(kPrefix)) {
        return std::nullopt;
    }
    auto key = tomlString(trimmed(line.substr(kPrefix.size())));
    if (!key || trimmed(key->second) != "]") {
        return std::nullopt;
    }
    return key->first;
}

bool isTableHeader(std::string_view line) {
    return trimmed(line).starts_with("[");
}

// The value of `trusted_hash = "..."` on a line, if it is that line.
std::optional<std::string> trustedHashOn(std::string_view line) {
    line = trimmed(line);
    constexpr std::string_view kName = "trusted_hash";
    if (!line.starts_with(kName)) {
        return std::nullopt;
    }
    line = trimmed(line.substr(kName.size()));
    if (!line.starts_with("=")) {
        return std::nullopt;
    }
    auto value = tomlString(trimmed(line.substr(1)));
    return value ? std::optional(value->first) : std::nullopt;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

}  // namespace

std::string codexEventName(std::string_view event) {
    std::string name;
    for (std::size_t i = 0; i < event.size(); ++i) {
        auto c = static_cast<unsigned char>(event[i]);
        if (std::isupper(c) && i > 0) {
            name += '_';
        }
        name += static_cast<char>(std::tolower(c));
    }
    return name;
}

std::string codexTrustedHash(std::string_view event, const json& group, const json& handler) {
    const std::string name = codexEventName(event);
    int timeout = kDefaultTimeout;
    if (auto found = handler.find("timeout"); found != handler.end() && found->is_number()) {
        timeout = found->get<int>();
    }
    if (name == "session_end") {
        timeout = std::min(timeout, kSessionEndTimeoutLimit);
    }
    bool async = false;
    if (auto found = handler.find("async"); found != handler.end() && found->is_boolean()) {
        async = found->get<bool>();
    }
    json identity = {{"event_name", name},
                     {"hooks", json::array({{{"async", async},
                                             {"command", commandOf(handler)},
                                             {"timeout", timeout},
                                             {"type", "command"}}})}};
    if (auto matcher = group.find("matcher"); matcher != group.end()) {
        identity["matcher"] = *matcher;
    }
    // nlohmann's objects are sorted by key and dump(-1) is compact.
    return "sha256:" + sha256Hex(identity.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::vector<TrustEntry> codexTrustFor(const std::string& hooksPath, const json& hooks,
                                      const std::string& home) {
    std::vector<TrustEntry> entries;
    if (!hooks.is_object()) {
        return entries;
    }
    for (const auto& [event, groups] : hooks.items()) {
        if (!groups.is_array()) {
            continue;
        }
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const json& group = groups[g];
            auto handlers = group.is_object() ? group.find("hooks") : group.end();
            if (!group.is_object() || handlers == group.end() || !handlers->is_array()) {
                continue;
            }
            for (std::size_t h = 0; h < handlers->size(); ++h) {
                const json& handler = (*handlers)[h];
                if (!isOurs(commandOf(handler), home)) {
                    continue;
                }
                entries.push_back({hooksPath + ":" + codexEventName(event) + ":" +
                                       std::to_string(g) + ":" + std::to_string(h),
                                   codexTrustedHash(event, group, handler)});
            }
        }
    }
    return entries;
}

std::vector<TrustEntry> readCodexTrust(std::string_view toml) {
    std::vector<TrustEntry> entries;
    std::optional<std::string> table;
    for (std::string_view line : splitLines(toml)) {
        if (auto key = trustTableKey(line)) {
            table = std::move(key);
        } else if (isTableHeader(line)) {
            table.reset();
        } else if (auto hash = trustedHashOn(line); hash && table) {
            entries.push_back({*table, *hash});
            table.reset();
        }
    }
    return entries;
}

std::string withCodexTrust(std::string_view toml, const std::string& hooksPath,
                           const std::vector<TrustEntry>& previous,
                           const std::vector<TrustEntry>& current) {
    std::set<std::string> ourKeys;
    std::set<std::string> ourHashes;
    for (const auto* list : {&previous, &current}) {
        for (const TrustEntry& entry : *list) {
            ourKeys.insert(entry.key);
            ourHashes.insert(entry.hash);
        }
    }
    std::set<std::string> drop;
    for (const TrustEntry& entry : readCodexTrust(toml)) {
        if (entry.key.starts_with(hooksPath + ":") &&
            (ourKeys.count(entry.key) > 0 || ourHashes.count(entry.hash) > 0)) {
            drop.insert(entry.key);
        }
    }
    std::string out;
    bool skipping = false;
    for (std::string_view line : splitLines(toml)) {
        if (isTableHeader(line)) {
            auto key = trustTableKey(line);
            skipping = key && drop.count(*key) > 0;
        }
        if (!skipping) {
            out += line;
        }
    }
    // Blank lines left where a dropped table stood at the end are trimmed.
    while (!drop.empty() && out.size() >= 2 && out.ends_with("\n\n")) {
        out.pop_back();
    }
    for (const TrustEntry& entry : current) {
        if (!out.empty()) {
            out += out.back() == '\n' ? "\n" : "\n\n";
        }
        out += "[hooks.state." + tomlQuoted(entry.key) +
               "]\ntrusted_hash = " + tomlQuoted(entry.hash) + "\n";
    }
    return out;
}

}  // namespace vorla::installer
