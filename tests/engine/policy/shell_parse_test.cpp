#include "engine/policy/shell_parse.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

// Each command's words, joined by "|" per word and " ; " per command.
std::string shape(const ShellScript& script) {
    std::string out;
    for (const SimpleCommand& command : script.commands) {
        if (!out.empty()) {
            out += " ; ";
        }
        std::string words;
        for (const ShellWord& word : command.assignments) {
            words += (words.empty() ? "" : "|") + word.text;
        }
        for (const ShellWord& word : command.words) {
            words += (words.empty() ? "" : "|") + word.text;
        }
        for (const ShellRedirect& redirect : command.redirects) {
            words += (words.empty() ? "" : "|") + redirect.op + redirect.target.text;
        }
        out += words;
    }
    return out;
}

TEST(ShellParseTest, SplitsCommandsAndUnquotesWords) {
    struct Case {
        const char* text;
        const char* shape;
    };
    const Case cases[] = {
        {"ls -la", "ls|-la"},
        {"'r'm \"-rf\" ~/a\\ b", "rm|-rf|~/a b"},
        {"a;b&&c||d|e&f\ng", "a ; b ; c ; d ; e ; f ; g"},
        {"echo $'a\\x41\\'b' $\"x\"", "echo|aA'b|x"},
        {"A=1 B=\"x y\" make all", "A=1|B=x y|make|all"},
        {"ls 2>/dev/null >out 2>&1 &>all", "ls|>/dev/null|>out|>&1|&>all"},
        {"cat <<EOF\nrm -rf ~\nEOF\nls", "cat|<<EOF ; ls"},
        {"cat <<-'X'\n\t$(ls)\n\tX", "cat|<<-X"},
        {"echo $(rm a; rm b) `touch c`", "rm|a ; rm|b ; touch|c ; echo|$()|``"},
        {"diff <(ls a) >(cat)", "ls|a ; cat ; diff|<()|>()"},
        {"for f in *; do rm \"$f\"; done", "rm|$f"},
        {"f() { rm x; }; f", "rm|x ; f"},
        {"echo a#b # comment\nls", "echo|a#b ; ls"},
        {"echo ${HOME}/x $1", "echo|${HOME}/x|$1"},
        {"ls \\\n -la", "ls|-la"},
    };
    for (const Case& c : cases) {
        const ShellScript script = parseShell(c.text);
        EXPECT_TRUE(script.complete) << c.text;
        EXPECT_EQ(shape(script), c.shape) << c.text;
    }
}

TEST(ShellParseTest, FlagsWhatAGraderMustKnow) {
    EXPECT_FALSE(parseShell("git log | head").compound);
    EXPECT_TRUE(parseShell("git log | head").commands[0].piped);
    EXPECT_TRUE(parseShell("ls; ls").compound);
    EXPECT_TRUE(parseShell("(ls)").compound);
    EXPECT_FALSE(parseShell("ls $HOME").substitutes);
    EXPECT_TRUE(parseShell("ls $(pwd)").substitutes);
    EXPECT_TRUE(parseShell("cat <<EOF\n`id`\nEOF").substitutes);
    EXPECT_FALSE(parseShell("cat <<'EOF'\n`id`\nEOF").substitutes);
    const ShellScript word = parseShell("echo *.txt \"*\" $x");
    EXPECT_TRUE(word.commands[0].words[1].globs);
    EXPECT_FALSE(word.commands[0].words[2].globs);
    EXPECT_TRUE(word.commands[0].words[3].expands);
    for (const char* broken : {"echo 'open", "echo \"open", "echo $(ls", "ls |", "echo `ls",
                               "case a in a) ls;; esac", ")", "echo (", "a=(1 2)"}) {
        EXPECT_FALSE(parseShell(broken).complete) << broken;
    }
}

}  // namespace
}  // namespace vorla
