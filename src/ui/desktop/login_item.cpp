#include "ui/desktop/login_item.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/paths.h"
#include "engine/support/atomic_file.h"

namespace vorla::ui {

namespace {

// Exec quoting of the desktop entry format: inside double quotes, `"`, `` ` ``,
// `$` and `\` take a backslash, and every backslash of the resulting string
// is doubled again by the file's own escaping.
std::string quotedExec(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += "\\\\";
        }
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string autostartEntry(const std::string& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vorla Agents\n"
           "Comment=Watches your coding agents and answers their approvals\n"
           "Exec=" +
           quotedExec(executable) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

XdgLoginItems::XdgLoginItems(std::string executable, std::string entryPath)
    : executable_(std::move(executable)), entryPath_(std::move(entryPath)) {}

std::string XdgLoginItems::defaultEntryPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config = (configHome != nullptr && *configHome == '/')
                                   ? std::string(configHome)
                                   : homeDirectory() + "/.config";
    return config + "/autostart/vorla-agents.desktop";
}

std::string XdgLoginItems::runningExecutable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

Result<> XdgLoginItems::setRegistered(bool registered) {
    if (!registered) {
        if (::unlink(entryPath_.c_str()) != 0 && errno != ENOENT) {
            return failSystem("could not remove " + entryPath_, errno);
        }
        return {};
    }
    if (executable_.empty() || executable_.front() != '/') {
        return fail("the running program's path is unknown");
    }
    const std::string folder = std::filesystem::path(entryPath_).parent_path().string();
    if (auto made = ensurePrivateDirectory(folder); !made) {
        return fail("could not create " + folder + ": " + made.error().message);
    }
    auto written =
        writeFileAtomically(entryPath_, autostartEntry(executable_), Durability::synced, 0644);
    if (!written) {
        return fail("could not write " + entryPath_ + ": " + written.error().message);
    }
    return {};
}

bool XdgLoginItems::registered() const {
    struct stat info {};
    return ::stat(entryPath_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace vorla::ui
