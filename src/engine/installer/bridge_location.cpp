#include "engine/installer/bridge_location.h"

#include <unistd.h>

#include <filesystem>

namespace vorla::installer {

namespace fs = std::filesystem;

std::vector<std::string> programCandidates(const std::string& program,
                                           const std::string& libexecDir) {
    std::vector<std::string> candidates;
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        fs::path dir = self.parent_path();
        candidates.push_back((dir / program).string());
        candidates.push_back((dir.parent_path() / "libexec/vorla-agents" / program).string());
    }
    candidates.push_back(libexecDir + "/" + program);
    return candidates;
}

std::vector<std::string> bridgeCandidates(const std::string& libexecDir) {
    return programCandidates("vorla-bridge", libexecDir);
}

std::optional<std::string> findExecutable(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
        std::error_code error;
        if (fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

}  // namespace vorla::installer
