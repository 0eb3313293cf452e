// How the front command (`vorla-agents`) passes a command line it does not
// run itself to the application program, vorla-agents-app.
#pragma once

namespace vorla::app {

// Set for vorla-agents-app to the absolute path of the command that started
// it, so that what it writes for people and the desktop (the autostart entry)
// names the command they know rather than the program under libexec.
inline constexpr const char* kCommandPathVariable = "VORLA_AGENTS_COMMAND";

// Replaces this process with vorla-agents-app and the same arguments (argv[0]
// kept). Returns only when that fails, after saying why on stderr: the exit
// status to end with.
int handOver(char** argv);

}  // namespace vorla::app
