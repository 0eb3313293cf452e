#!/usr/bin/env python3
"""Writes the starting corpus of every fuzz target into fuzz/seeds/<target>/,
from the kinds of input the test suites use. Run it again after changing it;
the fuzzers' own finds stay in build/fuzz/corpus/, outside git."""
import json
import os
import pathlib

SEEDS = pathlib.Path(__file__).resolve().parent / "seeds"


def claude_line(mid, ts, usage, model="claude-opus-4-1", request=None):
    message = {"role": "assistant", "content": [{"type": "text", "text": "hi"}],
               "id": mid, "model": model, "usage": usage}
    line = {"type": "assistant", "message": message, "timestamp": ts}
    if request:
        line["requestId"] = request
    return json.dumps(line, separators=(",", ":")) + "\n"


def tokens(i, o, w=0, r=0):
    return {"input_tokens": i, "output_tokens": o, "cache_creation_input_tokens": w,
            "cache_read_input_tokens": r}


def codex_line(payload, ts="2025-03-09T08:00:00.123Z"):
    return json.dumps({"type": "event_msg", "payload": payload, "timestamp": ts},
                      separators=(",", ":")) + "\n"


def totals(i, c, o):
    return {"type": "token_count",
            "info": {"total_token_usage": {"input_tokens": i, "cached_input_tokens": c,
                                           "output_tokens": o}}}


USER = '{"type":"user","message":{"role":"user","content":"go on"}}\n'

seeds = {
    "http_request_fuzz": [
        b"GET /?t=TOKEN HTTP/1.1\r\nHost: HOST\r\n\r\n",
        b"POST /?t=TOKEN&id=0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10&a=allow HTTP/1.1\r\nHost: HOST\r\n"
        b"Origin: http://HOST\r\nContent-Length: 0\r\n\r\n",
        b"POST /decide?id=0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10&a=deny&t=TOKEN HTTP/1.1\r\n"
        b"Host: HOST\r\n\r\n",
        b"\r\nGET  /a?b HTTP/1.1\r\nHost: x",
        b"GET /?t=wrong HTTP/1.1\r\nHost: HOST\r\n\r\n",
        b"GET /\xff\xfe HTTP/1.1\r\n\r\n",
        "GET /?t=TOKEN&q=\u00e9<script> HTTP/1.1\r\nHost: HOST\r\n\r\n".encode(),
        b"POST /decide?t=TOKEN&id=X&a=allow&a=deny HTTP/1.1\r\nHost: HOST\r\n\r\n",
    ],
    "event_decode_fuzz": [
        b'{"id":"E1","source":"claude","event":"PermissionRequest","rawEvent":"PermissionRequest",'
        b'"sessionID":"s1","cwd":"/work/shop","toolName":"Bash","toolInput":{"command":"npm test"},'
        b'"gating":true,"ts":1748786589.5,"terminal":{"termProgram":"xterm","tmuxPane":"%1","ppid":42}}',
        b'{"id":"E2","source":"codex","event":"Stop","rawEvent":"Stop","sessionID":"s1","gating":false,"terminal":{"ppid":1},"ts":0}',
        b'{"behavior":"allow","message":"Vorla Agents: matched your rule"}',
    ],
    "hook_payload_fuzz": [
        json.dumps({"hook_event_name": "PreToolUse", "session_id": "s1", "cwd": "/work/shop",
                    "tool_name": "Bash", "tool_input": {"command": "ls"}}).encode(),
        json.dumps({"hookEventName": "permission_request", "sessionId": "s2",
                    "toolName": "write", "toolInput": {"path": "/a", "content": "\u00e9"}}).encode(),
        b'{"hook_event_name":"Stop","session_id":"s1","transcript_path":"/t.jsonl"}',
    ],
    "decision_line_fuzz": [
        b'{"behavior":"allow","message":"Vorla Agents: matched your rule"}',
        b'{"behavior":"deny"}',
        b'{"behavior":"deny","message":"Vorla Agents: no response, denied by default"}',
        b'{"behavior":"allow","message":null}',
        b'{"behavior":"ALLOW","message":"\\u00e9\\n"}',
    ],
    "transcript_fuzz": [
        (claude_line("m1", "2025-03-09T10:00:00.000Z", tokens(10, 5, 3, 2), request="r1")
         + claude_line("m1", "2025-03-09T10:00:01.000Z", tokens(10, 5, 3, 2), request="r1")
         + USER + "not json\n"
         + claude_line("m2", "2025-03-10T00:30:00Z", {"input_tokens": 5.0, "output_tokens": 2.5,
                                                      "cache_read_input_tokens": "7"},
                       model="claude-sonnet-4")).encode(),
        (codex_line({"type": "session_meta"}, "2025-03-09T23:59:00Z")
         + codex_line({"model": "o3"}) + codex_line(totals(100, 40, 10)) + "not json\n"
         + codex_line({"model": "gpt-5-codex"})
         + codex_line(totals(300, 100, 50), "2025-03-10T00:30:00Z")).encode(),
        codex_line(totals(9, 0, 9))[:-10].encode(),
    ],
    "context_tail_fuzz": [
        ('{"type":"assistant","message":{"role":"assistant","usage":{"input_tokens":10,'
         '"cache_read_input_tokens":20,"cache_creation_input_tokens":30,"output_tokens":7}}}\n'
         + USER + "{not json\n"
         + '{"message":{"usage":{"input_tokens":"12"}}}\n').encode(),
        ('_tokens":5}}}\n{"type":"assistant","isSidechain":true,"message":{"usage":'
         '{"input_tokens":99}}}\n').encode(),
    ],
    "rules_fuzz": [
        b'[{"behavior":"allow","createdAt":785692800.25,"key":"Bash: npm test","timesFired":0}]',
        b'[{"key":"Bash: git commit","behavior":"Allow","createdAt":1,"timesFired":0},'
        b'{"key":"A","behavior":"deny","createdAt":-1e300,"timesFired":9007199254740993}]',
        b'[{"key":"A","behavior":"allow"', b"{}", b"",
    ],
    "shell_command_fuzz": [
        b"Bash\nls -la; rm notes.txt && git log --oneline | head",
        b"Bash\ncat <<EOF > x\n$(rm -rf ~) `id` ${HOME}\nEOF\necho $'\\x41' >> ~/.bashrc",
        b"Bash\nsudo env -S 'sh -c \"rm -r ~/w\"' | xargs -I{} find . -exec rm {} +",
        b"Write\n/p/../.claude/settings.json",
        b"apply_patch\n*** Begin Patch\n*** Update File: a\n*** Move to: ~/.ssh/x\n",
        b"Read\n~/.aws/credentials",
        b"Bash\nf() { (echo 'x; for i in *; do $(( i + 1 )); done",
    ],
    "usage_cache_fuzz": [
        ('{"version":2,"window":{"key":"' + "ab" * 32 + '","total":{"2025-03-09":{"Opus":'
         '{"input":1,"output":2,"cacheWrite":3,"cacheRead":4,"messages":5}}}}}\n'
         '{"/a":{"mtime":"2025-03-09T14:05:00Z","size":1,"buckets":{"2025-03-09":{"Opus":'
         '{"input":1,"output":2,"cacheWrite":3,"cacheRead":4,"messages":5}}},'
         '"keyed":{"2025-03-09":{"Opus":"ffffffffffffffff02040608"}}},'
         '"/codex.jsonl":{"mtime":"1970-01-01T00:00:00Z","size":0,"buckets":{},"keyed":{}}}\n').encode(),
        b'{"version":2}\n{"/a":{"mtime":"2025-03-09T14:05:00Z","size":1,"buckets":{},'
        b'"keyed":{"d":{"m":"0a"}}}}\n',
        b'{"version":2,"window":{"key":"k","total":{"d":{"m":{"output":-1}}}}}',
        # the one-line form of earlier versions, which is rebuilt
        b'{"/a":{"mtime":"2025-03-09T14:05:00Z","size":1,"buckets":{}}}',
    ],
    "audit_lines_fuzz": [
        ('{"ts":"2026-01-14T22:59:59Z","agent":"claude","sessionID":"s1","project":"app",'
         '"kind":"tool","tool":"Bash","detail":"npm test"}\n'
         '{"ts":"2026-01-15T08:00:00Z","agent":"codex","sessionID":"s1","project":"app",'
         '"kind":"approved","tool":"Bash","detail":"a \\"b\\"\\tc","risk":2}\n\n'
         '{"ts":"2026-01-15T07:00:01Z","agent":"claude"}\n'
         '{"ts":"2026-01-15T07:01:00Z","ag').encode(),
    ],
    "git_output_fuzz": [
        b'3\t4\tsrc/a.cpp\n-\t-\tlogo.png\n\n7\tmissing-path\n1\t1\t"we\\tird\\\\name\\""\n'
        b'x\t2\tdir/with\ttab\n0\t0\t"\\303\\251t\\351"\n',
        b"worktree /srv/bare.git\nbare\n\nworktree /src/app\nHEAD 0123456789abcdef\n"
        b"branch refs/heads/topic/refs/heads/x\n\nworktree /src/app-old\nHEAD 0123456789abcdef\n"
        b"detached\nlocked\n",
    ],
    "data_files_fuzz": [
        b'\x00{"coins":3,"streak":5,"bestStreak":6,"lastActiveDay":"2026-13-45",'
        b'"bossesBeaten":0,"unlocked":{"first-blood":786000000,"retired":1}}',
        b'\x00{"coins":40,"streak":2,"bestStreak":2,"lastActiveDay":"2026-01-14","unlocked":{}}',
        b'\x01{"autoApproveLevel":2,"soundEnabled":"no","notifyEnabled":null}',
        b'\x01{"autoApproveLevel":-1,"soundEnabled":false,"launchAtLogin":true,"notifyEnabled":true}',
        b'\x01{"autoApproveLevel":',
    ],
    "agent_config_fuzz": [
        b"\x00" + json.dumps({
            "model": "opus",
            "statusLine": {"type": "command", "command": "~/bin/line"},
            "hooks": {"PreToolUse": [{"matcher": "Bash", "hooks": [
                {"type": "command", "command": "/usr/bin/guard"}]}],
                "Stop": [{"hooks": [{"command": "/opt/pebble-harbor/hook --x"}]}]}}).encode(),
        b"\x01" + json.dumps({"hooks": {"PreToolUse": [{"hooks": [
            {"type": "command", "command": "'/h/.vorla-agents/bin/vorla-bridge' --source codex"}]}]}}).encode(),
        b"\x00[1,2]", b"\x01", b"\x00{\"hooks\":[]}",
        b'\x02model = "grok-4"\n\n[compat.claude]\nhooks = true\n\n[other]\nx = 1\n',
        b"\x02[compat.claude]\n",
    ],
}

for target, inputs in seeds.items():
    folder = SEEDS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for index, data in enumerate(inputs):
        (folder / f"seed-{index}").write_bytes(data)
