# A typical Python hook: parse the payload, build an event, send one line.
import json, os, socket, sys, time, uuid

payload = json.load(sys.stdin)
event = {"id": str(uuid.uuid4()).upper(), "source": "claude",
         "event": "postToolUse", "rawEvent": payload.get("hook_event_name", "unknown"),
         "gating": False, "toolName": payload.get("tool_name"),
         "toolInput": payload.get("tool_input"), "terminal": {"ppid": os.getppid()},
         "ts": time.time()}
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(os.path.expanduser("~/.vorla-agents/run/vorla.sock"))
s.sendall(json.dumps(event).encode() + b"\n")
s.close()
