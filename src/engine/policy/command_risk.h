// Grades a shell command line by what it would run: every simple command is
// graded with its own arguments (wrappers such as sudo, env or xargs and the
// code given to sh -c are graded too), redirections that write are noticed,
// and the line is read-only only when every command in it is.
//
// Stateless: the compiled tables are built once on first use and immutable
// afterwards, so every function here is safe from any thread. Linear in the
// length of the command.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/policy/risk.h"
#include "engine/policy/shell_parse.h"

namespace vorla::CommandRisk {

[[nodiscard]] RiskVerdict grade(std::string_view command);

// The command only reads, with these arguments and assignments; its
// redirections are not looked at (see writesNothing).
[[nodiscard]] bool isReadOnly(const SimpleCommand& command);

// The redirection reads, duplicates a descriptor or writes to /dev/null.
[[nodiscard]] bool writesNothing(const ShellRedirect& redirect);

// Why a learned rule keyed on this command's first words would allow far
// more than the call it was taught on: an interpreter given inline code, a
// package runner, or a wrapper that runs whatever follows it. Absent when
// such a rule only allows more of the same command.
[[nodiscard]] std::optional<std::string> runsWhateverFollows(const SimpleCommand& command);

}  // namespace vorla::CommandRisk
