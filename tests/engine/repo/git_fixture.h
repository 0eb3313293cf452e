// A throw-away git repository under a temporary HOME (so no user or system
// configuration leaks in), driven with the real git.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/git.h"
#include "support/temp_home.h"

namespace vorla::test {

class GitFixture : public ::testing::Test {
  protected:
    // Runs git in `dir` (the repository by default) and expects it to succeed.
    std::string git(const std::vector<std::string>& arguments, const std::string& dir = "") {
        return test::git(dir.empty() ? repo() : dir, arguments);
    }

    // Creates the repository folder `name` under the home and `git init`s it.
    void initRepo(const std::string& name = "project") {
        repoName_ = name;
        home_.write(name + "/.keep-folder", "");
        git({"init", "-q"});
        std::remove(home_.file(name + "/.keep-folder").c_str());
    }

    void write(const std::string& relative, const std::string& contents) {
        home_.write(repoName_ + "/" + relative, contents);
    }

    void commitAll() {
        git({"add", "-A"});
        git({"commit", "-q", "-m", "snapshot"});
    }

    [[nodiscard]] std::string repo() const { return home_.file(repoName_); }
    [[nodiscard]] const TempHome& home() const { return home_; }

  private:
    TempHome home_;
    std::string repoName_ = "project";
};

}  // namespace vorla::test
