// The real git for tests: a fixed author and first branch ("main"), and none
// of the user's configuration (tests run under a temporary HOME).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/repo/shell.h"

namespace vorla::test {

// Runs git with `arguments` in `dir` and expects it to succeed; its output.
inline std::string git(const std::string& dir, const std::vector<std::string>& arguments) {
    std::vector<std::string> full = {
        "-c", "user.name=Test",          "-c", "user.email=test@example.com",
        "-c", "init.defaultBranch=main", "-c", "commit.gpgsign=false"};
    full.insert(full.end(), arguments.begin(), arguments.end());
    Shell::Outcome result = Shell::execute("git", full, dir, 30);
    EXPECT_EQ(result.exitStatus, 0) << "git " << arguments.front() << " in " << dir;
    return result.output;
}

}  // namespace vorla::test
