#include "engine/installer/installer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>

#include "core/unique_fd.h"
#include "engine/installer/bridge_location.h"
#include "engine/installer/codex_trust.h"
#include "engine/installer/hook_layout.h"
#include "engine/installer/opencode_plugin.h"
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
constexpr const char* kCopilotHookFile = "/hooks/vorla-agents.json";

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

using EntryTest = std::function<bool(const json& entry)>;

// `groups` without the entries that pass `remove`; a group this empties goes,
// every other group and item keeps its place and its other entries. Counts
// what went and what stayed into `changes`.
json withoutEntries(const json& groups, const EntryTest& remove, HookChanges& changes) {
    if (!groups.is_array()) {
        return groups;
    }
    json kept = json::array();
    for (const json& g : groups) {
        auto found = g.is_object() ? g.find("hooks") : g.end();
        if (!g.is_object() || found == g.end() || !found->is_array()) {
            kept.push_back(g);
            continue;
        }
        json entries = json::array();
        for (const json& entry : *found) {
            if (remove(entry)) {
                ++changes.removed;
            } else {
                entries.push_back(entry);
            }
        }
        changes.kept += static_cast<int>(entries.size());
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

std::string plural(int count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// The second line of an action's message: what changed in `file`.
std::string changeLine(const std::string& file, const std::string& done, const HookChanges& c) {
    return "\n" + file + ": " + done + "; left " + plural(c.kept, "other hook") +
           (c.kept == 1 ? " as it was." : " as they were.");
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
      geminiDir_(underHome(home_, geminiDir(home_))),
      qwenDir_(underHome(home_, qwenHome(home_))),
      copilotDir_(underHome(home_, copilotHome(home_))),
      openCodeDir_(underHome(home_, openCodeConfigDir(home_))),
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

std::optional<std::string> Installer::mergedFile(Source agent) const {
    switch (agent) {
        case Source::claude:
            return claudeSettings();
        case Source::codex:
            return codexHooksFile();
        case Source::gemini:
            return geminiDir_ + "/settings.json";
        case Source::qwen:
            return qwenDir_ + "/settings.json";
        case Source::grok:
        case Source::kiro:
        case Source::copilot:
        case Source::opencode:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> Installer::ownFile(Source agent) const {
    switch (agent) {
        case Source::grok:
            return kGrokHooks;
        case Source::copilot:
            return copilotDir_ + kCopilotHookFile;
        case Source::opencode:
            return openCodeDir_ + "/plugins/" + installer::kOpenCodePluginName;
        case Source::claude:
        case Source::codex:
        case Source::kiro:
        case Source::gemini:
        case Source::qwen:
            return std::nullopt;
    }
    return std::nullopt;
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
        {Source::gemini, "Gemini CLI", geminiDir_,
         jsonStatus(geminiDir_, *mergedFile(Source::gemini))},
        {Source::copilot, "Copilot CLI", copilotDir_,
         ownFileStatus(copilotDir_, *ownFile(Source::copilot))},
        {Source::qwen, "Qwen Code", qwenDir_, jsonStatus(qwenDir_, *mergedFile(Source::qwen))},
        {Source::opencode, "OpenCode", openCodeDir_,
         ownFileStatus(openCodeDir_, *ownFile(Source::opencode))},
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
    installer::ScanResult found = installer::scan(hooksOf(config.root), home_);
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
        codexHooksKeyPath(), hooksOf(installer::loadConfig(path(codexHooksFile())).root), home_);
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

Installer::Status Installer::ownFileStatus(const std::string& dir, const std::string& file) const {
    if (!isDirectory(path(dir))) {
        return Status::notFound();
    }
    return exists(path(file)) ? Status::installed() : Status::notInstalled();
}

std::optional<std::string> Installer::foreignOwner(Source agent) const {
    if (auto file = mergedFile(agent)) {
        return installer::scan(hooksOf(installer::loadConfig(path(*file)).root), home_)
            .foreignOwner;
    }
    if (agent == Source::grok && exists(path(kGrokPebbleHooks))) {
        return std::string(installer::kPebbleHarbor);
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
    Result<HookChanges> merged = HookChanges{};
    Result<> outcome = stageBridge();
    if (outcome) {
        switch (agent) {
            case Source::claude:
                merged = mergeHooks(claudeSettings(), installer::claudeHooks(home_));
                success += mergeLine(claudeSettings(), merged);
                break;
            case Source::codex: {
                json previous = hooksOf(installer::loadConfig(path(codexHooksFile())).root);
                merged = mergeHooks(codexHooksFile(), installer::codexHooks(home_));
                if (merged) {
                    outcome = trustCodexHooks(
                        previous, hooksOf(installer::loadConfig(path(codexHooksFile())).root));
                }
                success = "Installed hooks for codex and trusted them in " + codexConfigFile() +
                          "." + mergeLine(codexHooksFile(), merged);
                break;
            }
            case Source::grok:
                outcome = writeGrokFile();
                break;
            case Source::kiro:
                outcome = fail("Kiro adapter isn't wired up yet.");
                break;
            case Source::gemini:
                merged = mergeHooks(*mergedFile(agent), installer::geminiHooks(home_));
                success += mergeLine(*mergedFile(agent), merged);
                break;
            case Source::qwen:
                merged = mergeHooks(*mergedFile(agent), installer::qwenHooks(home_));
                success += mergeLine(*mergedFile(agent), merged);
                break;
            case Source::copilot:
                outcome = writeOwnFile(*ownFile(agent),
                                       installer::copilotHookFile(home_).dump(2) + "\n", true);
                break;
            case Source::opencode:
                outcome = writeOwnFile(*ownFile(agent), installer::openCodePlugin(home_), false);
                break;
        }
    }
    if (outcome && !merged) {
        outcome = tl::unexpected(merged.error());
    }
    return finish(outcome, std::move(success));
}

std::string Installer::mergeLine(const std::string& file, const Result<HookChanges>& merged) {
    if (!merged) {
        return {};
    }
    std::string done = "added " + plural(merged->added, "hook") + " of ours";
    if (merged->removed > 0) {
        done += " in place of " + std::to_string(merged->removed) + " earlier";
    }
    return changeLine(file, done, *merged);
}

Result<std::string> Installer::uninstall(Source agent) {
    Result<HookChanges> stripped = HookChanges{};
    std::string file;
    auto ours = [this](const json& entry) {
        return installer::isOurs(installer::commandOf(entry), home_);
    };
    switch (agent) {
        case Source::claude:
        case Source::gemini:
        case Source::qwen:
            file = *mergedFile(agent);
            stripped = stripHooks(file, ours);
            break;
        case Source::codex: {
            file = codexHooksFile();
            json previous = hooksOf(installer::loadConfig(path(file)).root);
            stripped = stripHooks(file, ours);
            if (stripped) {
                if (auto trust = trustCodexHooks(previous, json::object()); !trust) {
                    stripped = tl::unexpected(trust.error());
                }
            }
            break;
        }
        case Source::grok:
        case Source::copilot:
        case Source::opencode:
            removeFile(*ownFile(agent));
            break;
        case Source::kiro:
            break;
    }
    std::string success = "Removed hooks for " + std::string(rawValue(agent)) + ".";
    if (stripped && !file.empty()) {
        success += changeLine(file, "removed " + plural(stripped->removed, "hook") + " of ours",
                              *stripped);
    }
    return finish(stripped ? Result<>{} : tl::unexpected(stripped.error()), std::move(success));
}

Result<std::string> Installer::evict(const std::string& owner, Source agent) {
    const std::string needle = installer::evictionNeedle(owner);
    // Never ours, whatever our path happens to contain.
    auto theirs = [this, &needle](const json& entry) {
        const std::string command = installer::commandOf(entry);
        return command.find(needle) != std::string::npos && !installer::isOurs(command, home_);
    };
    Result<HookChanges> stripped = HookChanges{};
    std::string file;
    bool statusLine = false;
    switch (agent) {
        case Source::claude:
            file = claudeSettings();
            stripped = stripHooks(file, theirs);
            if (stripped) {
                auto removed = stripStatusLine(file, needle);
                if (!removed) {
                    stripped = tl::unexpected(removed.error());
                }
                statusLine = removed && *removed;
            }
            break;
        case Source::codex:
        case Source::gemini:
        case Source::qwen:
            file = *mergedFile(agent);
            stripped = stripHooks(file, theirs);
            break;
        case Source::grok:
            removeFile(kGrokPebbleHooks);
            break;
        case Source::kiro:
        case Source::copilot:
        case Source::opencode:
            break;
    }
    std::string success =
        "Removed " + owner + "'s hooks from " + std::string(rawValue(agent)) + ".";
    if (stripped && !file.empty()) {
        success += changeLine(file,
                              "removed " + plural(stripped->removed, "hook") +
                                  (statusLine ? " and the status line" : ""),
                              *stripped);
    }
    return finish(stripped ? Result<>{} : tl::unexpected(stripped.error()), std::move(success));
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

Result<HookChanges> Installer::mergeHooks(const std::string& relative, const json& add) const {
    if (auto step = installer::backup(home_, relative, clock_.now()); !step) {
        return tl::unexpected(step.error());
    }
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state == ConfigFile::State::invalid) {
        return fail(refusal(relative));
    }
    auto ours = [this](const json& entry) {
        return installer::isOurs(installer::commandOf(entry), home_);
    };
    HookChanges changes;
    json hooks = hooksOf(config.root);
    for (auto groups = hooks.begin(); groups != hooks.end(); ++groups) {
        *groups = withoutEntries(*groups, ours, changes);
    }
    for (const auto& [event, groups] : add.items()) {
        json& list = hooks[event];
        if (!list.is_array()) {
            // A value that is not a list becomes the first item rather than being lost.
            list = list.is_null() ? json::array() : json::array({list});
        }
        for (const json& g : groups) {
            list.push_back(g);
            ++changes.added;
        }
    }
    config.root["hooks"] = std::move(hooks);
    if (auto written = installer::writeConfig(path(relative), config.root); !written) {
        return tl::unexpected(written.error());
    }
    return changes;
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
        installer::withCodexTrust(text, keyPath, installer::codexTrustFor(keyPath, previous, home_),
                                  installer::codexTrustFor(keyPath, hooks, home_));
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

Result<> Installer::writeOwnFile(const std::string& relative, const std::string& text,
                                 bool isJson) const {
    if (isJson && installer::loadConfig(path(relative)).state == ConfigFile::State::invalid) {
        return fail(refusal(relative));
    }
    if (auto step = installer::backup(home_, relative, clock_.now()); !step) {
        return step;
    }
    return installer::writeText(path(relative), text);
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

Result<HookChanges> Installer::stripHooks(const std::string& relative,
                                          const std::function<bool(const json&)>& remove) const {
    HookChanges changes;
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state != ConfigFile::State::object) {
        return changes;
    }
    auto present = config.root.find("hooks");
    if (present == config.root.end() || !present->is_object()) {
        return changes;  // nothing of anyone's to strip
    }
    json kept = json::object();
    for (const auto& [event, groups] : present->items()) {
        json left = withoutEntries(groups, remove, changes);
        // An event goes only when stripping emptied it.
        if (!left.is_array() || !left.empty() || groups.empty()) {
            kept[event] = std::move(left);
        }
    }
    if (changes.removed == 0) {
        return changes;  // untouched: no backup, no rewrite
    }
    if (auto step = installer::backup(home_, relative, clock_.now()); !step) {
        return tl::unexpected(step.error());
    }
    if (kept.empty()) {
        config.root.erase("hooks");
    } else {
        config.root["hooks"] = std::move(kept);
    }
    if (auto written = installer::writeConfig(path(relative), config.root); !written) {
        return tl::unexpected(written.error());
    }
    return changes;
}

Result<bool> Installer::stripStatusLine(const std::string& relative,
                                        const std::string& needle) const {
    ConfigFile config = installer::loadConfig(path(relative));
    if (config.state != ConfigFile::State::object) {
        return false;
    }
    auto line = config.root.find("statusLine");
    if (line == config.root.end() || !line->is_object() ||
        installer::commandOf(*line).find(needle) == std::string::npos ||
        installer::isOurs(installer::commandOf(*line), home_)) {
        return false;
    }
    config.root.erase("statusLine");
    if (auto written = installer::writeConfig(path(relative), config.root); !written) {
        return tl::unexpected(written.error());
    }
    return true;
}

void Installer::removeFile(const std::string& relative) const {
    std::error_code ignored;
    fs::remove(path(relative), ignored);
}

}  // namespace vorla
