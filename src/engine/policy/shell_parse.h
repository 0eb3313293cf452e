// Reads a shell command line the way a POSIX shell (and bash) would split it:
// quotes, escapes, the operators ; && || | |& & and line feeds, redirections,
// here-documents, $( ) and backtick substitutions, <( ) and >( ), subshells,
// groups and NAME=value assignments. It does not run or expand anything; it
// only says which simple commands the line would run, with their words
// unquoted, so the risk engine can grade every one of them.
//
// What it cannot follow (an unclosed quote, a `case`, nesting too deep) is
// reported as incomplete, and callers treat such a line as unknown.
// Pure functions over plain values; safe from any thread. Linear in the
// length of the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorla {

struct ShellWord {
    std::string text;  // quotes and escapes removed; $name and ${...} kept as written
    bool expands =
        false;           // holds $name, ${...}, $(( )), $( ), `...` or <( ): known only at run time
    bool globs = false;  // holds an unquoted * ? or [
    bool quoted = false;  // any part was quoted or escaped

    friend bool operator==(const ShellWord&, const ShellWord&) = default;
};

struct ShellRedirect {
    std::string op;    // ">", ">>", ">|", "&>", "&>>", "<", "<>", ">&", "<&", "<<", "<<-", "<<<"
    ShellWord target;  // a file, a descriptor number or "-", a here-doc delimiter, a here-string

    friend bool operator==(const ShellRedirect&, const ShellRedirect&) = default;
};

struct SimpleCommand {
    std::vector<ShellWord> assignments;  // NAME=value words before the command name
    std::vector<ShellWord> words;        // the command name first; may be empty (`A=1`, `> f`)
    std::vector<ShellRedirect> redirects;
    bool substituted = false;  // runs inside $( ), backticks or <( ) of another command
    bool piped = false;        // its output goes into the next command through |

    friend bool operator==(const SimpleCommand&, const SimpleCommand&) = default;
};

struct ShellScript {
    std::vector<SimpleCommand> commands;  // in reading order, substitutions' commands included
    bool complete = true;                 // false: some part could not be read
    bool substitutes = false;             // $( ), backticks, <( ) or >( ) anywhere
    bool compound = false;  // more than one pipeline, or a subshell, group, loop or function

    friend bool operator==(const ShellScript&, const ShellScript&) = default;
};

[[nodiscard]] ShellScript parseShell(std::string_view text);

}  // namespace vorla
