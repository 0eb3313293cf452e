#include "engine/installer/opencode_plugin.h"

#include <nlohmann/json.hpp>

#include "engine/installer/hook_layout.h"

namespace vorla::installer {

namespace {

// A JSON string is a JavaScript string literal.
constexpr const char* kBody = R"js(
// Runs the bridge with one event. Resolves with what it printed, "" on any
// failure: OpenCode then goes on as if Vorla Agents were not there.
function bridge(payload) {
  return new Promise((resolve) => {
    let out = "";
    let child;
    try {
      child = spawn(BRIDGE, ["--source", "opencode"], { stdio: ["pipe", "pipe", "ignore"] });
    } catch {
      resolve("");
      return;
    }
    child.on("error", () => resolve(""));
    child.stdout.on("data", (chunk) => { out += chunk; });
    child.on("close", () => resolve(out));
    child.stdin.on("error", () => {});
    child.stdin.end(JSON.stringify(payload));
  });
}

const SESSION_EVENTS = {
  "session.created": "SessionStart",
  "session.idle": "Stop",
  "session.deleted": "SessionEnd",
};

export const VorlaAgents = async ({ directory }) => ({
  "tool.execute.before": async (input, output) => {
    const answer = await bridge({
      hook_event_name: "PreToolUse", session_id: input.sessionID, cwd: directory,
      tool_name: input.tool, tool_input: output.args,
    });
    let decision = null;
    try { decision = JSON.parse(answer); } catch {}
    if (decision && decision.decision === "deny") {
      throw new Error(typeof decision.reason === "string" ? decision.reason : "Denied in Vorla Agents");
    }
  },
  "tool.execute.after": async (input) => {
    bridge({ hook_event_name: "PostToolUse", session_id: input.sessionID, cwd: directory,
             tool_name: input.tool });
  },
  "chat.message": async (input) => {
    bridge({ hook_event_name: "UserPromptSubmit", session_id: input.sessionID, cwd: directory });
  },
  event: async ({ event }) => {
    const name = SESSION_EVENTS[event.type];
    if (!name) return;
    const properties = event.properties || {};
    const session = properties.sessionID || (properties.info && properties.info.id);
    bridge({ hook_event_name: name, session_id: session, cwd: directory });
  },
});
)js";

}  // namespace

std::string openCodePlugin(const std::string& home) {
    std::string text =
        "// Vorla Agents: shows this OpenCode session on the island and asks it before each tool\n"
        "// call. Written by `vorla-agents hooks install opencode`; `vorla-agents hooks remove\n"
        "// opencode` deletes it.\n"
        "import { spawn } from \"node:child_process\";\n\n"
        "const BRIDGE = ";
    text += nlohmann::json(stagedBridgePath(home))
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    text += ";\n";
    text += kBody;
    return text;
}

}  // namespace vorla::installer
