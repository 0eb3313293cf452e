// Helpers shared by the end-to-end tests: the real vorla-bridge run as an
// agent's hook would run it, and polling for what other processes do.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/eventually.h"

namespace vorla::test {

inline ChildOptions bridgeOptions(const nlohmann::json& payload,
                                  const std::string& source = "claude") {
    ChildOptions options;
    options.args = {VORLA_BRIDGE_PATH, "--source", source};
    options.input = payload.dump();
    options.timeout = std::chrono::seconds(20);
    return options;
}

// The decision part of a Claude PermissionRequest answer.
inline nlohmann::json claudeDecision(const ChildResult& result) {
    EXPECT_EQ(result.exitCode, 0) << result.err;
    auto out = nlohmann::json::parse(result.out, nullptr, false);
    return out.is_object() ? out["hookSpecificOutput"]["decision"] : nlohmann::json();
}

}  // namespace vorla::test
