// Runs tests/browser/phone_page.cjs: headless Chromium driven by playwright-core
// (installed by scripts/install-node-deps.sh into build/node) opens a pairing
// address, presses a card's button and reports what it saw.
#pragma once

#include <optional>
#include <string>

#include "support/child_process.h"

namespace vorla::test {

// The options for the child; `missing` tells what is not installed, if
// anything, so a test can fail loudly instead of passing silently.
struct BrowserRun {
    ChildOptions options;
    std::optional<std::string> missing;
};

BrowserRun phonePageInBrowser(const std::string& url, const std::string& cardText,
                              const std::string& button);

}  // namespace vorla::test
