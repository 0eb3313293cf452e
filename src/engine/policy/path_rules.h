// Paths as the approval gate sees them: folded to one absolute form, compared
// with the project folder by whole components, and checked against the places
// an agent must never change unasked (our own files, the agents' settings and
// hooks, shell start-up files, SSH keys, git hooks) or read unasked (secrets).
//
// Stateless; safe from any thread. normalise() asks the file system about
// symbolic links; everything else only looks at the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::PathRules {

// "~", "~/x", "~user/x", "$HOME/x" and "${HOME}/x" with the home folder put in;
// anything else unchanged.
[[nodiscard]] std::string expandHome(std::string_view path);

// Absolute, with ".", ".." and repeated "/" folded and the symbolic links of
// the part that exists resolved. A relative path is taken from `cwd`; without
// a `cwd` it has no absolute form (nullopt).
[[nodiscard]] std::optional<std::string> normalise(std::string_view path,
                                                   const std::optional<std::string>& cwd);

// `path` is `folder` or lies below it, comparing whole components (so
// "/home/u/app2" is not inside "/home/u/app"). Both already normalised.
[[nodiscard]] bool isInside(std::string_view path, std::string_view folder);

// Why a command or write naming `text` must never be approved without a
// person ("touches a shell start-up file (.bashrc)", ...), one reason per kind
// of place found. `text` may be a single word or many, one per line; the
// places are recognised by their components however home is written.
[[nodiscard]] std::vector<std::string> protectedReasons(std::string_view text);

// The secret `word` names, as shown in a reason ("~/.aws", ".env.local"):
// files below ~/.ssh, ~/.aws or ~/.gnupg, .env files, *.pem, SSH key files,
// .netrc and files named like credentials. Absent for anything else.
[[nodiscard]] std::optional<std::string> secretName(std::string_view word);

}  // namespace vorla::PathRules
