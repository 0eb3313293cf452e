#include "support/browser.h"

#include <unistd.h>

#include <filesystem>

namespace vorla::test {

BrowserRun phonePageInBrowser(const std::string& url, const std::string& cardText,
                              const std::string& button) {
    const std::string modules = std::string(VORLA_SOURCE_DIR) + "/build/node/node_modules";
    BrowserRun run;
    if (::access("/usr/bin/chromium", X_OK) != 0) {
        run.missing = "/usr/bin/chromium (Debian package chromium; scripts/install-deps.sh)";
    } else if (::access("/usr/bin/node", X_OK) != 0) {
        run.missing = "/usr/bin/node (Debian package nodejs)";
    } else if (!std::filesystem::exists(modules + "/playwright-core")) {
        run.missing = modules + "/playwright-core (scripts/install-node-deps.sh)";
    }
    run.options.args = {"/usr/bin/node",
                        std::string(VORLA_SOURCE_DIR) + "/tests/browser/phone_page.cjs", url,
                        cardText, button};
    run.options.env["VORLA_NODE_MODULES"] = modules;
    run.options.timeout = std::chrono::seconds(60);
    return run;
}

}  // namespace vorla::test
