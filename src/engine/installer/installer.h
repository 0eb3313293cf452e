// Installs, detects and removes our hooks in each agent's configuration, and
// stages the bridge program they run at ~/.vorla-agents/bin/vorla-bridge.
//
// Main thread only; every operation is synchronous and short. The truth lives
// in the files: `agents` is re-read by refresh(), which each action ends with.
// Each action returns the message to show: what was done, or why it failed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "core/result.h"
#include "engine/installer/config_file.h"
#include "engine/support/clock.h"
#include "engine/support/observable.h"

namespace vorla {

// What one change to an agent's hook file did, for the message reporting it.
struct HookChanges {
    int added = 0;    // entries of ours written
    int removed = 0;  // entries taken out (ours, or the evicted owner's)
    int kept = 0;     // every other entry, left as it was
};

class Installer {
  public:
    struct Status {
        // untrusted: our hooks are in place but the agent will not run them
        // (Codex: its config.toml does not trust them as they are now).
        enum class Case { conflict, unsupported, notFound, notInstalled, untrusted, installed };
        Case kind = Case::notFound;
        // the other owner (conflict) or the reason (unsupported, untrusted)
        std::string payload;

        static Status conflict(std::string owner) { return {Case::conflict, std::move(owner)}; }
        static Status notFound() { return {Case::notFound, {}}; }
        static Status notInstalled() { return {Case::notInstalled, {}}; }
        static Status installed() { return {Case::installed, {}}; }
        static Status untrusted(std::string reason) { return {Case::untrusted, std::move(reason)}; }
        friend bool operator==(const Status&, const Status&) = default;
    };

    struct Agent {
        Source id = Source::claude;
        std::string name;
        // Relative to home (".claude"), or absolute when the agent's folder
        // was moved out of it ($CLAUDE_CONFIG_DIR, $CODEX_HOME, $QWEN_HOME, ...).
        std::string configDir;
        Status status;
        friend bool operator==(const Agent&, const Agent&) = default;
    };

    // `bridgeCandidates`: where to look for the program to stage, in order
    // (see installer/bridge_location.h). The agents' folders are taken from
    // their variables when set (see support/agent_dirs.h). Computes `agents`
    // at once.
    Installer(std::string home, std::vector<std::string> bridgeCandidates,
              const Clock& clock = SystemClock::shared());

    [[nodiscard]] const std::vector<Agent>& agents() const { return agents_; }
    [[nodiscard]] const std::string& home() const { return home_; }
    // Fires after refresh() and after every action.
    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changed_.subscribe(std::move(onChange));
    }

    // Claude Code, Codex, Grok Build, Gemini CLI, Copilot CLI, Qwen Code and
    // OpenCode, in that order, with their status.
    void refresh();

    // Our entries are the ones whose command is exactly ours (see
    // installer/hook_layout.h). Actions take out or replace single entries,
    // never a whole group of someone else's; a group they leave empty goes.
    // For the JSON files, the message's second line says what changed:
    // "<file>: added 8 hooks of ours in place of 8 earlier; left 2 other
    // hooks as they were."

    // Stages the bridge and writes our hooks. "Installed hooks for <agent>."
    // For Codex also trusts exactly our hook entries in its config.toml, as
    // Codex's own review would ("... and trusted them in <config.toml>.").
    // Grok, Copilot CLI and OpenCode get a file of their own (OpenCode's is a
    // plugin); the others' settings are merged.
    [[nodiscard]] Result<std::string> install(Source agent);
    // Removes our hooks (and Codex's trust in them). "Removed hooks for <agent>."
    [[nodiscard]] Result<std::string> uninstall(Source agent);
    // Removes `owner`'s hooks so ours can take their place: the entries whose
    // command holds the owner's mark (see evictionNeedle), never ours.
    // "Removed <owner>'s hooks from <agent>."
    [[nodiscard]] Result<std::string> evict(const std::string& owner, Source agent);

    // The line a person reads about an action's outcome: its message, or
    // "Failed: <why>".
    [[nodiscard]] static std::string outcomeText(const Result<std::string>& outcome);

    // Another notch application's hooks in the agent's configuration, whether
    // or not ours are there too (status reports a conflict only without ours).
    [[nodiscard]] std::optional<std::string> foreignOwner(Source agent) const;

  private:
    // Under home for a relative name; an absolute one is taken as it is.
    [[nodiscard]] std::string path(const std::string& relative) const;
    [[nodiscard]] std::string claudeSettings() const;
    [[nodiscard]] std::string codexHooksFile() const;
    // The settings file our hooks are merged into; nullopt for agents that
    // get a file of their own.
    [[nodiscard]] std::optional<std::string> mergedFile(Source agent) const;
    // The file that is wholly ours (Grok, Copilot CLI, OpenCode).
    [[nodiscard]] std::optional<std::string> ownFile(Source agent) const;
    [[nodiscard]] std::string codexConfigFile() const;
    // hooks.json's absolute path as Codex names it in its trust tables.
    [[nodiscard]] std::string codexHooksKeyPath() const;
    [[nodiscard]] Status codexStatus() const;
    // Rewrites Codex's trust tables for our entries in `hooks`, dropping
    // those for `previous` (our entries before the change).
    [[nodiscard]] Result<> trustCodexHooks(const nlohmann::json& previous,
                                           const nlohmann::json& hooks) const;
    [[nodiscard]] Status jsonStatus(const std::string& dir, const std::string& file) const;
    [[nodiscard]] Status grokStatus() const;
    // notFound without the folder, else installed when our own file is there.
    [[nodiscard]] Status ownFileStatus(const std::string& dir, const std::string& file) const;

    [[nodiscard]] Result<> stageBridge() const;
    [[nodiscard]] Result<HookChanges> mergeHooks(const std::string& relative,
                                                 const nlohmann::json& add) const;
    [[nodiscard]] static std::string mergeLine(const std::string& file,
                                               const Result<HookChanges>& merged);
    [[nodiscard]] Result<> writeGrokFile() const;
    // Backs up and rewrites our own file; an existing one of ours that is not
    // a JSON object (`isJson`) is someone's edit and is left alone.
    [[nodiscard]] Result<> writeOwnFile(const std::string& relative, const std::string& text,
                                        bool isJson) const;
    void disableGrokClaudeCompat() const;
    // Takes out the entries `remove` picks; the file is not touched when
    // there are none.
    [[nodiscard]] Result<HookChanges> stripHooks(
        const std::string& relative,
        const std::function<bool(const nlohmann::json&)>& remove) const;
    // True when a status line with `needle` in its command was removed.
    [[nodiscard]] Result<bool> stripStatusLine(const std::string& relative,
                                               const std::string& needle) const;
    void removeFile(const std::string& relative) const;

    // Refreshes, then turns the outcome into the action's result.
    Result<std::string> finish(const Result<>& outcome, std::string success);

    // Constant after construction.
    const std::string home_;
    const std::string claudeDir_;  // relative to home_ when inside it, like configDir
    const std::string codexDir_;
    const std::string geminiDir_;
    const std::string qwenDir_;
    const std::string copilotDir_;
    const std::string openCodeDir_;
    const std::vector<std::string> bridgeCandidates_;
    const Clock& clock_;

    std::vector<Agent> agents_;
    ChangeNotifier changed_;
};

}  // namespace vorla
