#include "engine/installer/installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/unique_fd.h"
#include "engine/installer/bridge_location.h"
#include "engine/installer/codex_trust.h"
#include "engine/installer/hook_layout.h"
#include "engine/support/agent_dirs.h"
#include "engine/support/atomic_file.h"

namespace vorla {

namespace fs = std::filesystem;
using installer::ConfigFile;
using nlohmann::json;

namespace {

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

// `folder` relative to `home` when it lies inside it, as configDir shows it.
std::string underHome(const std::string& home, const std::string& folder) {
    return folder.starts_with(home + "/") ? folder.substr(home.size() + 1) : folder;
}

std::string refusal(const std::string& relative) {
    return relative + " isn't valid JSON \u2014 refusing to overwrite it.";
}

}  // namespace

Installer::Installer(std::string home, std::vector<std::string> bridgeCandidates,
                     const Clock& clock)
    : home_(std::move(home)),
      claudeDir_(underHome(home_, claudeConfigDir(home_))),
      codexDir_(underHome(home_, codexHome(home_))),
      bridgeCandidates_(std::move(bridgeCandidates)),
      clock_(clock) {
    refresh();
}

std::string Installer::path(const std::string& relative) const {
    return relative.starts_with('/') ? relative : home_ + "/" + relative;
}

std::string Installer::claudeSettings() const {
    return claudeDir_ + "/settings.json";
}

std::string Installer::codexHooksFile() const {
    return codexDir_ + "/hooks.json";
}

std::string Installer::codexConfigFile() const {
    return codexDir_ + "/config.toml";
}

std::string Installer::codexHooksKeyPath() const {
    // Codex resolves its folder's links before it names the file.
    std::error_code error;
    fs::path folder = fs::weakly_canonical(path(codexDir_), error);
    return (error ? path(codexDir_) : folder.string()) + "/hooks.json";
}

void Installer::refresh() {
    std::vector<Agent> agents = {
        {Source::claude, "Claude Code", claudeDir_, jsonStatus(claudeDir_, claudeSettings())},
        {Source::codex, "Codex", codexDir_, codexStatus()},
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

Installer::Status Installer::codexStatus() const {
    Status status = jsonStatus(codexDir_, codexHooksFile());
    if (status != Status::installed()) {
        return status;
    }
    const std::string config = path(codexConfigFile());
    std::string text;
    if (exists(config)) {
        auto contents = readFile(config);
        if (!contents) {
            return Status::untrusted("Codex's " + codexConfigFile() + " cannot be read");
        }
        text = std::move(*contents);
    }
    auto trusted = installer::readCodexTrust(text);
    auto wanted = installer::codexTrustFor(
        codexHooksKeyPath(), hooksOf(installer::loadConfig(path(codexHooksFile())).root));
    for (const installer::TrustEntry& entry : wanted) {
        auto found = std::find_if(trusted.begin(), trusted.end(),
                                  [&](const auto& t) { return t.key == entry.key; });
        if (found == trusted.end()) {
            return Status::untrusted("Codex does not trust them yet");
        }
        if (found->hash != entry.hash) {
            return Status::untrusted("they changed since Codex trusted them");
        }
    }
    return Status::installed();
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
    switch (agent) {
        case Source::claude:
            return installer::scan(hooksOf(installer::loadConfig(path(claudeSettings())).root))
                .foreignOwner;
        case Source::codex:
            return installer::scan(hooksOf(installer::loadConfig(path(codexHooksFile())).root))
                .foreignOwner;
        case Source::grok:
            if (exists(path(kGrokPebbleHooks))) {
                return std::string(installer::kPebbleHarbor);
            }
            return std::nullopt;
        case Source::kiro:
            return std::nullopt;
    }
    return std::nullopt;
}

std::string Installer::outcomeText(const Result<std::string>& outcome) {
    return outcome ? *outcome : "Failed: " + outcome.error().message;
}

Result<std::string> Installer::finish(const Result<>& outcome, std::string success) {
    refresh();
    if (!outcome) {
        return tl::unexpected(outcome.error());
    }
    return success;
}

Result<std::string> Installer::install(Source agent) {
    std::string name(rawValue(agent));
    std::string success = "Installed hooks for " + name + ".";
    Result<> outcome = stageBridge();
    if (outcome) {
        switch (agent) {
            case Source::claude:
                outcome = mergeHooks(claudeSettings(), installer::claudeHooks(home_));
                break;
            case Source::codex: {
                json previous = hooksOf(installer::loadConfig(path(codexHooksFile())).root);
                outcome = mergeHooks(codexHooksFile(), installer::codexHooks(home_));
                if (outcome) {
                    outcome = trustCodexHooks(
                        previous, hooksOf(installer::loadConfig(path(codexHooksFile())).root));
                }
                success =
                    "Installed hooks for codex and trusted them in " + codexConfigFile() + ".";
                break;
            }
            case Source::grok:
                outcome = writeGrokFile();
                break;
            case Source::kiro:
                outcome = fail("Kiro adapter isn't wired up yet.");
                break;
        }
    }
    return finish(outcome, std::move(success));
}

Result<std::string> Installer::uninstall(Source agent) {
    Result<> outcome;
    switch (agent) {
        case Source::claude:
            outcome = stripHooks(claudeSettings(), "vorla");
            break;
        case Source::codex: {
            json previous = hooksOf(installer::loadConfig(path(codexHooksFile())).root);
            outcome = stripHooks(codexHooksFile(), "vorla");
            if (outcome) {
                outcome = trustCodexHooks(previous, json::object());
            }
            break;
        }
        case Source::grok:
            removeFile(kGrokHooks);
            break;
        case Source::kiro:
            break;
    }
    return finish(outcome, "Removed hooks for " + std::string(rawValue(agent)) + ".");
}

Result<std::string> Installer::evict(const std::string& owner, Source agent) {
    std::string needle = installer::evictionNeedle(owner);
    Result<> outcome;
    switch (agent) {
        case Source::claude:
            outcome = stripHooks(claudeSettings(), needle);
            if (outcome) {
                outcome = stripStatusLine(claudeSettings(), needle);
            }
            break;
        case Source::codex:
            outcome = stripHooks(codexHooksFile(), needle);
            break;
        case Source::grok:
            removeFile(kGrokPebbleHooks);
            break;
        case Source::kiro:
            break;
    }
    return finish(outcome,
                  "Removed " + owner + "'s hooks from " + std::string(rawValue(agent)) + ".");
}

Result<> Installer::stageBridge() const {
    auto source = installer::findExecutable(bridgeCandidates_);
    if (!source) {
        return fail("Bridge binary missing from the app bundle.");
    }
    std::string bin = path(".vorla-agents/bin");
    if (auto made = ensurePrivateDirectory(bin); !made) {
        return fail("Could not create " + bin + ": " + made.error().message);
    }
    std::string target = installer::stagedBridgePath(home_);
    std::error_code error;
    // Removing first (rather than overwriting) leaves a bridge that is running
    // right now untouched: it keeps its own, unlinked copy.
    fs::remove(target, error);
    if (!fs::copy_file(*source, target, error)) {
        return fail("Could not copy " + *source + " to " + target + ": " + error.message());
    }
    if (::chmod(target.c_str(), 0755) != 0) {
        return failSystem("Could not make " + target + " executable", errno);
    }
    return {};
}

Result<> Installer::mergeHooks(const std::string& relative, const json& add) const {
    if (auto step = installer::backup(home_, relative, clock_.now()); !step) {
        return step;
    }
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state == ConfigFile::State::invalid) {
        return fail(refusal(relative));
    }
    json hooks = hooksOf(config.root);
    for (const auto& [event, groups] : add.items()) {
        auto existing = hooks.find(event);
        hooks[event] = mergedGroups(existing != hooks.end() ? *existing : json(), groups);
    }
    config.root["hooks"] = std::move(hooks);
    return installer::writeConfig(path(relative), config.root);
}

Result<> Installer::trustCodexHooks(const json& previous, const json& hooks) const {
    const std::string relative = codexConfigFile();
    const std::string file = path(relative);
    std::string text;
    if (exists(file)) {
        auto contents = readFile(file);
        if (!contents) {
            // Never replace a file we could not read.
            return fail("Could not read " + relative +
                        ": Codex will not run our hooks until you trust them in Codex (/hooks).");
        }
        text = std::move(*contents);
    }
    const std::string keyPath = codexHooksKeyPath();
    std::string changed =
        installer::withCodexTrust(text, keyPath, installer::codexTrustFor(keyPath, previous),
                                  installer::codexTrustFor(keyPath, hooks));
    if (changed == text) {
        return {};
    }
    if (auto step = installer::backup(home_, relative, clock_.now()); !step) {
        return step;
    }
    return installer::writeText(file, changed);
}

Result<> Installer::writeGrokFile() const {
    if (auto step = installer::backup(home_, kGrokHooks, clock_.now()); !step) {
        return step;
    }
    auto hooks = json{{"hooks", installer::grokHooks(home_)}};
    if (auto step = installer::writeConfig(path(kGrokHooks), hooks); !step) {
        return step;
    }
    disableGrokClaudeCompat();
    return {};
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

Result<> Installer::stripHooks(const std::string& relative, const std::string& needle) const {
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state != ConfigFile::State::object) {
        return {};
    }
    auto present = config.root.find("hooks");
    if (present == config.root.end() || !present->is_object()) {
        return {};  // nothing of anyone's to strip
    }
    if (auto step = installer::backup(home_, relative, clock_.now()); !step) {
        return step;
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

Result<> Installer::stripStatusLine(const std::string& relative, const std::string& needle) const {
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state != ConfigFile::State::object) {
        return {};
    }
    auto line = config.root.find("statusLine");
    if (line == config.root.end() || !line->is_object() ||
        installer::commandOf(*line).find(needle) == std::string::npos) {
        return {};
    }
    config.root.erase("statusLine");
    return installer::writeConfig(path(relative), config.root);
}

void Installer::removeFile(const std::string& relative) const {
    std::error_code ignored;
    fs::remove(path(relative), ignored);
}

}  // namespace vorla
