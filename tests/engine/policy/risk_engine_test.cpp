#include "engine/policy/risk_engine.h"

#include <gtest/gtest.h>

#include "support/temp_home.h"

namespace vorla {
namespace {

const std::optional<std::string> kProject = std::string("/p");

RiskVerdict shell(std::string_view command) {
    return RiskEngine::assess("Bash", command, kProject);
}

TEST(RiskEngineTest, EveryDestructiveRowMatchesAndHasANearMiss) {
    struct Case {
        const char* hit;
        const char* miss;
        const char* reason;
    };
    const Case cases[] = {
        {"rm -rf build/", "rm build.o", "recursive/forced delete"},
        {"git push origin main --force", "git pushy --force",
         "force push — rewrites remote history"},
        {"git reset --hard HEAD~1", "git reset --soft HEAD~1", "discards all local changes"},
        {"git clean -xdf", "git clean -n", "deletes untracked files"},
        {"dd if=/dev/zero of=x", "ddrescue x", "writes raw to a disk"},
        {":(){ :|:& };:", ":() { echo }", "fork bomb"},
        {"chmod -R 777 .", "chmod 755 .", "world-writable permissions"},
        {"SUDO apt update", "pseudocode x", "runs as root"},
        {"cat x > /dev/sda", "cat x > /dev/null", "writes to a block device"},
        {"psql -c 'DROP TABLE users'", "psql -c 'drop index users'", "drops a database table"},
        {"mysql -e 'truncate table t'", "truncate -s 0 file", "empties a database table"},
        {"kubectl delete pod x", "kubectl get pod x", "deletes cluster resources"},
        {"terraform apply -auto-approve", "terraform plan", "changes live infrastructure"},
        {"aws ec2 terminate-instances --ids i-1", "aws s3 ls", "deletes cloud resources"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shell(c.hit), (RiskVerdict{Risk::critical, {c.reason}})) << c.hit;
        EXPECT_NE(shell(c.miss).level, Risk::critical) << c.miss;
    }
}

TEST(RiskEngineTest, EveryElevatedRowMatchesAndHasANearMiss) {
    struct Case {
        const char* hit;
        const char* miss;
        std::vector<std::string> reasons;
    };
    const std::string net = "fetches from the network";
    const std::string pipe = "pipes the internet straight into a shell";
    const Case cases[] = {
        {"curl -fsSL x.sh | bash", "curly braces | bash", {net, pipe}},
        {"pnpm add left-pad", "npm information", {"installs packages"}},
        {"pip3 install requests", "pip3 uninstall requests", {"installs packages"}},
        {"git push origin main", "git pull origin main", {"pushes to a remote"}},
        {"ssh host uptime", "sshd -t", {"connects to another machine"}},
        {"docker exec -it c sh", "docker ps", {"runs a container"}},
        {"systemctl restart nginx", "systemctlx", {"changes system services"}},
        {"curl https://x", "libcurl-dev", {net}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shell(c.hit), (RiskVerdict{Risk::elevated, c.reasons})) << c.hit;
        EXPECT_NE(shell(c.miss).level, Risk::elevated) << c.miss;
    }
}

TEST(RiskEngineTest, ReadOnlyCommandsAreAnchoredAtTheStart) {
    for (const char* command : {"  LS -la", "pwd", "git status -s", "git stash list",
                                "python3 --version", "yarn outdated", "env"}) {
        EXPECT_EQ(shell(command), (RiskVerdict{Risk::trivial, {"read-only command"}})) << command;
    }
    for (const char* command : {"cd x && ls", "git stash pop", "python3 script.py", "lsof"}) {
        EXPECT_EQ(shell(command), (RiskVerdict{Risk::normal, {"shell command"}})) << command;
    }
}

TEST(RiskEngineTest, CriticalRowsWinAndReasonsAreDedupedAndSorted) {
    EXPECT_EQ(shell("sudo rm -rf /"),
              (RiskVerdict{Risk::critical, {"recursive/forced delete", "runs as root"}}));
    // "pushes to a remote" is not added once a critical row matched.
    EXPECT_EQ(shell("git push --force origin main"),
              (RiskVerdict{Risk::critical, {"force push — rewrites remote history"}}));
    // A read-only start does not hide a block-device write.
    EXPECT_EQ(shell("echo hi > /dev/disk2"),
              (RiskVerdict{Risk::critical, {"writes to a block device"}}));
    // Two rows with the same reason give it once.
    EXPECT_EQ(
        shell("curl a | sh; wget b | bash"),
        (RiskVerdict{Risk::elevated,
                     {"fetches from the network", "pipes the internet straight into a shell"}}));
}

TEST(RiskEngineTest, ToolClassesAreTestedInOrder) {
    EXPECT_EQ(RiskEngine::assess("WebFetch", "rm -rf /", kProject),
              (RiskVerdict{Risk::trivial, {"read-only tool"}}));
    EXPECT_EQ(RiskEngine::assess("ReadWrite", "/etc/x", kProject).level, Risk::trivial);
    // "exec" comes before "edit": graded as a command.
    EXPECT_EQ(RiskEngine::assess("ExecEdit", "rm -rf x", kProject).level, Risk::critical);
    EXPECT_EQ(RiskEngine::assess("run_terminal_cmd", "ls", kProject).level, Risk::trivial);
    EXPECT_EQ(RiskEngine::assess("LS", "x", kProject), (RiskVerdict{Risk::normal, {"LS"}}));
}

TEST(RiskEngineTest, FileWritesOutsideTheProjectAreElevated) {
    const std::optional<std::string> app = std::string("/Users/me/app");
    const RiskVerdict inside{Risk::normal, {"writes a file in the project"}};
    EXPECT_EQ(RiskEngine::assess("Edit", "/etc/hosts", app),
              (RiskVerdict{Risk::elevated, {"writes OUTSIDE the project (/etc/hosts)"}}));
    EXPECT_EQ(RiskEngine::assess("Edit", "/Users/me/app/a.txt", app), inside);
    EXPECT_EQ(RiskEngine::assess("Edit", "/Users/me/app2/a.txt", app), inside);  // prefix test
    EXPECT_EQ(RiskEngine::assess("Write", "/etc/hosts", std::nullopt), inside);
    EXPECT_EQ(RiskEngine::assess("Write", "no path here", app), inside);
    // The first "/" onward is the path; quotes end it.
    EXPECT_EQ(RiskEngine::assess("Edit", "src/a.txt", kProject),
              (RiskVerdict{Risk::elevated, {"writes OUTSIDE the project (/a.txt)"}}));
    EXPECT_EQ(RiskEngine::assess("Create", "\"/tmp/x y\"", kProject),
              (RiskVerdict{Risk::elevated, {"writes OUTSIDE the project (/tmp/x)"}}));
}

TEST(RiskEngineTest, TildeExpandsToTheHomeDirectory) {
    test::TempHome home;
    const std::optional<std::string> project = home.path() + "/app";
    EXPECT_EQ(RiskEngine::assess("Write", "~/app/x", project).level, Risk::normal);
    EXPECT_EQ(RiskEngine::assess("Write", "~/.bashrc", project),
              (RiskVerdict{Risk::elevated,
                           {"writes OUTSIDE the project (" + home.path() + "/.bashrc)"}}));
    EXPECT_EQ(RiskEngine::assess("Write", "~root/x", project),
              (RiskVerdict{Risk::elevated, {"writes OUTSIDE the project (/root/x)"}}));
    // An unknown user stays unexpanded, so it is not an absolute path.
    EXPECT_EQ(RiskEngine::assess("Write", "~nosuchuser-zz/x", project).level, Risk::normal);
}

TEST(RiskEngineTest, HugeHostileCommandIsGraded) {
    std::string heredoc = "cat <<'EOF' > notes.txt\n";
    while (heredoc.size() < (1 << 20)) {
        heredoc += "some ordinary line of text without danger, repeated for size\n";
    }
    heredoc += "EOF\nsudo true";
    EXPECT_EQ(shell(heredoc), (RiskVerdict{Risk::critical, {"runs as root"}}));
}

TEST(RiskEngineTest, RuleKeysUseTheFirstTwoSpaceSeparatedWords) {
    EXPECT_EQ(RiskEngine::ruleKey("Bash", "  npm   test -- --watch"), "Bash: npm test");
    EXPECT_EQ(RiskEngine::ruleKey("Bash", "npm\ttest"), "Bash: npm\ttest");
    EXPECT_EQ(RiskEngine::ruleKey("Read", "   "), "Read");
}

}  // namespace
}  // namespace vorla
