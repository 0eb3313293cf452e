// A private, empty HOME for one test: created in the constructor, pointed to
// by $HOME while the object lives, removed with everything in it afterwards.
// The variables that move the agents' folders ($CODEX_HOME, $QWEN_HOME, ...)
// are unset meanwhile, so the agents' folders are the ones under this home.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorla::test {

class TempHome {
  public:
    // `prefix` lets a test ask for a long path (socket path limits).
    explicit TempHome(const std::string& prefix = "/tmp/vorla-test-");
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    // path() + "/" + relative
    [[nodiscard]] std::string file(const std::string& relative) const;
    // Writes a file (creating folders) under the home.
    void write(const std::string& relative, const std::string& contents) const;
    [[nodiscard]] std::optional<std::string> read(const std::string& relative) const;

  private:
    std::string path_;
    std::optional<std::string> previousHome_;
    std::vector<std::pair<std::string, std::string>> previousAgentFolders_;
    static constexpr const char* kAgentFolderVariables[] = {
        "CODEX_HOME", "CLAUDE_CONFIG_DIR", "GEMINI_CLI_HOME",     "COPILOT_HOME",
        "QWEN_HOME",  "XDG_DATA_HOME",     "OPENCODE_CONFIG_DIR", "XDG_CONFIG_HOME"};
};

}  // namespace vorla::test
