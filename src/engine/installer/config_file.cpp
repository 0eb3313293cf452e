#include "engine/installer/config_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/unique_fd.h"
#include "engine/support/atomic_file.h"
#include "engine/support/calendar.h"

namespace vorla::installer {

namespace fs = std::filesystem;

ConfigFile loadConfig(const std::string& path) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error)) && !fs::exists(path, error)) {
        return {};
    }
    ConfigFile file;
    file.state = ConfigFile::State::invalid;
    auto text = readFile(path);
    if (!text) {
        return file;
    }
    auto root = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (root.is_object()) {
        file.state = ConfigFile::State::object;
        file.root = std::move(root);
    }
    return file;
}

Result<> writeText(const std::string& path, std::string_view text) {
    std::string target = path;
    std::error_code error;
    // Dotfile managers link these files into a repository: rewrite the file the
    // link names instead of replacing the link with a plain file.
    if (fs::is_symlink(path, error)) {
        fs::path resolved = fs::weakly_canonical(path, error);
        if (!error) {
            target = resolved.string();
        }
    }
    unsigned mode = 0600;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    }
    if (auto written = writeFileAtomically(target, text, Durability::synced, mode); !written) {
        return fail("Could not write " + target + ": " + written.error().message);
    }
    return {};
}

Result<> writeConfig(const std::string& path, const nlohmann::json& root) {
    return writeText(path,
                     root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

std::string backupStamp(WallTime now) {
    std::string stamp = iso8601UTC(now);
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    return stamp;
}

Result<> backup(const std::string& home, const std::string& relative, WallTime now) {
    std::string source = relative.starts_with('/') ? relative : home + "/" + relative;
    std::error_code error;
    if (!fs::exists(source, error)) {
        return {};
    }
    std::string folder = home + "/.vorla-agents/backups/" + backupStamp(now);
    if (auto made = ensurePrivateDirectory(folder); !made) {
        return fail("Could not create " + folder + ": " + made.error().message);
    }
    std::string name = relative;
    std::replace(name.begin(), name.end(), '/', '_');
    // A copy already taken this second is the older state; keep it.
    fs::copy_file(source, folder + "/" + name, fs::copy_options::none, error);
    return {};
}

}  // namespace vorla::installer
