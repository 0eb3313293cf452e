#include "support/temp_home.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vorla::test {

TempHome::TempHome(const std::string& prefix) {
    std::string pattern = prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path_ = pattern;
    if (const char* home = std::getenv("HOME")) {
        previousHome_ = home;
    }
    ::setenv("HOME", path_.c_str(), 1);
    // The agents' own folders follow HOME in a test unless it points them elsewhere.
    for (const char* name : kAgentFolderVariables) {
        if (const char* value = std::getenv(name)) {
            previousAgentFolders_.emplace_back(name, value);
        }
        ::unsetenv(name);
    }
}

TempHome::~TempHome() {
    if (previousHome_) {
        ::setenv("HOME", previousHome_->c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
    for (const char* name : kAgentFolderVariables) {
        ::unsetenv(name);
    }
    for (const auto& [name, value] : previousAgentFolders_) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempHome::file(const std::string& relative) const {
    return path_ + "/" + relative;
}

void TempHome::write(const std::string& relative, const std::string& contents) const {
    std::filesystem::path target(file(relative));
    std::filesystem::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << contents;
}

std::optional<std::string> TempHome::read(const std::string& relative) const {
    std::ifstream in(file(relative), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vorla::test
