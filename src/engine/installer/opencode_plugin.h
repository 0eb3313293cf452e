// The plugin through which OpenCode runs our bridge: OpenCode has no hook
// commands, only JavaScript plugins loaded from its config folder. Pure;
// safe from any thread.
#pragma once

#include <string>

namespace vorla::installer {

// The plugin's file name inside OpenCode's plugins folder.
inline constexpr const char* kOpenCodePluginName = "vorla-agents.js";

// The plugin's text. It runs the staged bridge under `home` once per event,
// without blocking OpenCode's event loop; before a tool call it waits for the
// bridge's answer ({"decision": "deny", "reason": ...} stops the call, with
// the reason shown to the model) and lets the call go on whenever the bridge
// fails or says nothing.
[[nodiscard]] std::string openCodePlugin(const std::string& home);

}  // namespace vorla::installer
