#include "engine/installer/installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "engine/installer/bridge_location.h"
#include "engine/installer/hook_layout.h"
#include "engine/support/atomic_file.h"

namespace vorla {

namespace fs = std::filesystem;
using installer::ConfigFile;
using nlohmann::json;

namespace {

constexpr const char* kClaudeSettings = ".claude/settings.json";
constexpr const char* kCodexHooks = ".codex/hooks.json";
constexpr const char* kGrokHooks = ".grok/hooks/vorla.json";
constexpr const char* kGrokPebbleHooks = ".grok/hooks/pebble-harbor.json";
constexpr const char* kGrokConfig = ".grok/config.toml";

bool isDirectory(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// The object under "hooks", or an empty one.
json hooksOf(const json& root) {
    auto found = root.find("hooks");
    return found != root.end() && found->is_object() ? *found : json::object();
}

// Our groups replace any earlier ones of ours; everything else keeps its
// place, also items that are not groups. A value that is not a list at all
// becomes the first item of the new list rather than being lost.
json mergedGroups(const json& existing, const json& ours) {
    json groups = json::array();
    if (existing.is_array()) {
        for (const json& g : existing) {
            if (!installer::groupIsOurs(g)) {
                groups.push_back(g);
            }
        }
    } else if (!existing.is_null()) {
        groups.push_back(existing);
    }
    for (const json& g : ours) {
        groups.push_back(g);
    }
    return groups;
}

// Drops the entries matching `needle`, then the groups this left empty. Items
// that are not groups, and groups without a matching entry, stay as they are.
json strippedGroups(const json& groups, const std::string& needle) {
    json kept = json::array();
    for (const json& g : groups) {
        auto found = g.is_object() ? g.find("hooks") : g.end();
        if (!g.is_object() || found == g.end() || !found->is_array()) {
            kept.push_back(g);
            continue;
        }
        json entries = json::array();
        for (const json& entry : *found) {
            if (installer::commandOf(entry).find(needle) == std::string::npos) {
                entries.push_back(entry);
            }
        }
        if (entries.size() == found->size()) {
            kept.push_back(g);
        } else if (!entries.empty()) {
            json changed = g;
            changed["hooks"] = std::move(entries);
            kept.push_back(std::move(changed));
        }
    }
    return kept;
}

std::string refusal(const std::string& relative) {
    return relative + " isn't valid JSON \u2014 refusing to overwrite it.";
}

}  // namespace

Installer::Installer(std::string home, std::vector<std::string> bridgeCandidates,
                     const Clock& clock)
    : home_(std::move(home)), bridgeCandidates_(std::move(bridgeCandidates)), clock_(clock) {
    refresh();
}

std::string Installer::path(const std::string& relative) const {
    return home_ + "/" + relative;
}

void Installer::refresh() {
    std::vector<Agent> agents = {
        {Source::claude, "Claude Code", ".claude", jsonStatus(".claude", kClaudeSettings)},
        {Source::codex, "Codex", ".codex", jsonStatus(".codex", kCodexHooks)},
        {Source::grok, "Grok Build", ".grok", grokStatus()},
    };
    agents_ = std::move(agents);
    changed_.notify();
}

Installer::Status Installer::jsonStatus(const std::string& dir, const std::string& file) const {
    if (!isDirectory(path(dir))) {
        return Status::notFound();
    }
    ConfigFile config = installer::loadConfig(path(file));
    if (config.state != ConfigFile::State::object) {
        return Status::notInstalled();
    }
    installer::ScanResult found = installer::scan(hooksOf(config.root));
    if (found.ours) {
        return Status::installed();
    }
    if (found.foreignOwner) {
        return Status::conflict(*found.foreignOwner);
    }
    return Status::notInstalled();
}

Installer::Status Installer::grokStatus() const {
    if (!isDirectory(path(".grok"))) {
        return Status::notFound();
    }
    if (exists(path(kGrokHooks))) {
        return Status::installed();
    }
    if (exists(path(kGrokPebbleHooks))) {
        return Status::conflict(std::string(installer::kPebbleHarbor));
    }
    return Status::notInstalled();
}

std::optional<std::string> Installer::foreignOwner(Source agent) const {
    const char* file = nullptr;
    switch (agent) {
        case Source::claude:
            file = kClaudeSettings;
            break;
        case Source::codex:
            file = kCodexHooks;
            break;
        case Source::grok:
            if (exists(path(kGrokPebbleHooks))) {
                return std::string(installer::kPebbleHarbor);
            }
            return std::nullopt;
        case Source::kiro:
            return std::nullopt;
    }
    ConfigFile config = installer::loadConfig(path(file));
    return installer::scan(hooksOf(config.root)).foreignOwner;
}

bool Installer::finish(const std::optional<Err>& failure, std::string success) {
    lastMessage_ = failure ? "Failed: " + failure->msg : std::move(success);
    refresh();
    return !failure;
}

bool Installer::install(Source agent) {
    std::string name(rawValue(agent));
    std::optional<Err> failure = stageBridge();
    if (!failure) {
        switch (agent) {
            case Source::claude:
                failure = mergeHooks(kClaudeSettings, installer::claudeHooks(home_));
                break;
            case Source::codex:
                failure = mergeHooks(kCodexHooks, installer::codexHooks(home_));
                break;
            case Source::grok:
                failure = writeGrokFile();
                break;
            case Source::kiro:
                failure = Err{"Kiro adapter isn't wired up yet."};
                break;
        }
    }
    return finish(failure, "Installed hooks for " + name + ".");
}

bool Installer::uninstall(Source agent) {
    std::optional<Err> failure;
    switch (agent) {
        case Source::claude:
            failure = stripHooks(kClaudeSettings, "vorla");
            break;
        case Source::codex:
            failure = stripHooks(kCodexHooks, "vorla");
            break;
        case Source::grok:
            removeFile(kGrokHooks);
            break;
        case Source::kiro:
            break;
    }
    return finish(failure, "Removed hooks for " + std::string(rawValue(agent)) + ".");
}

bool Installer::evict(const std::string& owner, Source agent) {
    std::string needle = installer::evictionNeedle(owner);
    std::optional<Err> failure;
    switch (agent) {
        case Source::claude:
            failure = stripHooks(kClaudeSettings, needle);
            if (!failure) {
                failure = stripStatusLine(kClaudeSettings, needle);
            }
            break;
        case Source::codex:
            failure = stripHooks(kCodexHooks, needle);
            break;
        case Source::grok:
            removeFile(kGrokPebbleHooks);
            break;
        case Source::kiro:
            break;
    }
    return finish(failure,
                  "Removed " + owner + "'s hooks from " + std::string(rawValue(agent)) + ".");
}

std::optional<installer::Err> Installer::stageBridge() const {
    auto source = installer::findBridge(bridgeCandidates_);
    if (!source) {
        return Err{"Bridge binary missing from the app bundle."};
    }
    std::string bin = path(".vorla-agents/bin");
    errno = 0;
    if (!ensurePrivateDirectory(bin)) {
        return installer::systemErr("Could not create " + bin, errno);
    }
    std::string target = installer::stagedBridgePath(home_);
    std::error_code error;
    // Removing first (rather than overwriting) leaves a bridge that is running
    // right now untouched: it keeps its own, unlinked copy.
    fs::remove(target, error);
    if (!fs::copy_file(*source, target, error)) {
        return Err{"Could not copy " + *source + " to " + target + ": " + error.message()};
    }
    if (::chmod(target.c_str(), 0755) != 0) {
        return installer::systemErr("Could not make " + target + " executable", errno);
    }
    return std::nullopt;
}

std::optional<installer::Err> Installer::mergeHooks(const std::string& relative,
                                                    const json& add) const {
    if (auto failure = installer::backup(home_, relative, clock_.now())) {
        return failure;
    }
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state == ConfigFile::State::invalid) {
        return Err{refusal(relative)};
    }
    json hooks = hooksOf(config.root);
    for (const auto& [event, groups] : add.items()) {
        auto existing = hooks.find(event);
        hooks[event] = mergedGroups(existing != hooks.end() ? *existing : json(), groups);
    }
    config.root["hooks"] = std::move(hooks);
    return installer::writeConfig(path(relative), config.root);
}

std::optional<installer::Err> Installer::writeGrokFile() const {
    if (auto failure = installer::backup(home_, kGrokHooks, clock_.now())) {
        return failure;
    }
    if (auto failure = installer::writeConfig(path(kGrokHooks),
                                              json{{"hooks", installer::grokHooks(home_)}})) {
        return failure;
    }
    disableGrokClaudeCompat();
    return std::nullopt;
}

void Installer::disableGrokClaudeCompat() const {
    std::string file = path(kGrokConfig);
    std::string text;
    if (exists(file)) {
        auto contents = readFile(file);
        if (!contents) {
            return;  // never replace a file we could not read
        }
        text = std::move(*contents);
    }
    if (text.find("[compat.claude]") != std::string::npos) {
        return;
    }
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    text += "\n[compat.claude]\nhooks = false\n";
    (void)installer::writeText(file, text);
}

std::optional<installer::Err> Installer::stripHooks(const std::string& relative,
                                                    const std::string& needle) const {
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state != ConfigFile::State::object) {
        return std::nullopt;
    }
    auto present = config.root.find("hooks");
    if (present == config.root.end() || !present->is_object()) {
        return std::nullopt;  // nothing of anyone's to strip
    }
    if (auto failure = installer::backup(home_, relative, clock_.now())) {
        return failure;
    }
    const json& hooks = *present;
    json kept = json::object();
    for (const auto& [event, groups] : hooks.items()) {
        if (!groups.is_array()) {
            kept[event] = groups;
            continue;
        }
        json left = strippedGroups(groups, needle);
        // An event goes only when stripping emptied it.
        if (!left.empty() || groups.empty()) {
            kept[event] = std::move(left);
        }
    }
    if (kept.empty()) {
        config.root.erase("hooks");
    } else {
        config.root["hooks"] = std::move(kept);
    }
    return installer::writeConfig(path(relative), config.root);
}

std::optional<installer::Err> Installer::stripStatusLine(const std::string& relative,
                                                         const std::string& needle) const {
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state != ConfigFile::State::object) {
        return std::nullopt;
    }
    auto line = config.root.find("statusLine");
    if (line == config.root.end() || !line->is_object() ||
        installer::commandOf(*line).find(needle) == std::string::npos) {
        return std::nullopt;
    }
    config.root.erase("statusLine");
    return installer::writeConfig(path(relative), config.root);
}

void Installer::removeFile(const std::string& relative) const {
    std::error_code ignored;
    fs::remove(path(relative), ignored);
}

}  // namespace vorla
