#include "engine/usage/context_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <set>

#include "core/paths.h"
#include "engine/support/agent_dirs.h"
#include "engine/support/calendar.h"
#include "engine/support/path_component.h"

namespace vorla {

namespace {

// The global files, in their order: each under the home folder or an agent's
// configuration folder (which the agent may have been told to move).
enum class Base { home, claude, codex, copilot, opencode };
constexpr std::array<std::pair<Base, const char*>, 16> kGlobalFiles = {{
    {Base::home, "CLAUDE.md"},
    {Base::claude, "CLAUDE.md"},
    {Base::claude, "settings.json"},
    {Base::codex, "AGENTS.md"},
    {Base::codex, "config.toml"},
    {Base::home, ".grok/config.toml"},
    {Base::home, ".gemini/GEMINI.md"},
    {Base::home, ".gemini/settings.json"},
    {Base::copilot, "copilot-instructions.md"},
    {Base::copilot, "config.json"},
    {Base::home, ".qwen/QWEN.md"},
    {Base::home, ".qwen/settings.json"},
    {Base::opencode, "AGENTS.md"},
    {Base::opencode, "opencode.json"},
    {Base::opencode, "plugins/vorla-agents.js"},
    {Base::home, "AGENTS.md"},
}};

constexpr std::array<const char*, 11> kProjectFiles = {"CLAUDE.md",
                                                       "AGENTS.md",
                                                       ".claude/settings.json",
                                                       ".cursorrules",
                                                       ".claude/settings.local.json",
                                                       "GEMINI.md",
                                                       ".gemini/settings.json",
                                                       "QWEN.md",
                                                       ".qwen/settings.json",
                                                       ".github/copilot-instructions.md",
                                                       "opencode.json"};

void addIfPresent(std::vector<ContextFile>& files, const std::string& path,
                  const std::string& scope) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return;
    }
    WallTime modified{std::chrono::duration_cast<WallTime::duration>(
        std::chrono::seconds(info.st_mtim.tv_sec) +
        std::chrono::nanoseconds(info.st_mtim.tv_nsec))};
    files.push_back(ContextFile{lastPathComponent(path), path, scope,
                                static_cast<std::int64_t>(info.st_size), modified});
}

}  // namespace

std::string ContextFile::sizeDisplay() const {
    if (bytes > 1023) {
        return std::to_string(bytes / 1024) + " KB";
    }
    return std::to_string(bytes) + " B";
}

namespace ContextScanner {

std::vector<ContextFile> scan(const std::vector<std::string>& projects, const Clock& clock) {
    std::vector<ContextFile> files;
    const std::string home = homeDirectory();
    const std::string claude = claudeConfigDir(home);
    const std::string codex = codexHome(home);
    const std::string copilot = copilotHome(home);
    const std::string opencode = openCodeConfigDir(home);
    for (const auto& [base, relative] : kGlobalFiles) {
        const std::string& folder = base == Base::claude     ? claude
                                    : base == Base::codex    ? codex
                                    : base == Base::copilot  ? copilot
                                    : base == Base::opencode ? opencode
                                                             : home;
        addIfPresent(files, folder + "/" + relative, "Global");
    }
    for (const std::string& project : std::set<std::string>(projects.begin(), projects.end())) {
        std::string scope = lastPathComponent(project);
        for (const char* relative : kProjectFiles) {
            addIfPresent(files, project + "/" + relative, scope);
        }
    }
    const WallTime now = clock.now();
    std::stable_sort(files.begin(), files.end(), [now](const ContextFile& a, const ContextFile& b) {
        bool aToday = isSameDay(a.modified, now);
        bool bToday = isSameDay(b.modified, now);
        if (aToday != bToday) {
            return aToday;
        }
        return a.modified > b.modified;
    });
    return files;
}

}  // namespace ContextScanner

}  // namespace vorla
