#!/usr/bin/env python3
"""Writes a synthetic but realistic HOME with Claude Code transcripts and
Codex rollouts for the usage benchmark.

Claude: each response is spread over 1-3 lines (one per content block) that
share message.id, requestId and usage; tool results are large lines without
usage and carry most of the bytes; some sessions are continued and start
with a copy of an earlier session's lines; a few "<synthetic>" zero-usage
responses; a few lines that mention usage outside message.usage. Codex:
rollouts with turn_context and token_count events, each session within one
day. Timestamps fall within the last six days (UTC) before --now.

Usage: gen_transcripts.py OUT_HOME --claude-mb 1024 --files 2000
           [--big-mb 700] [--codex-mb 40] [--seed 1] [--now EPOCH]
"""
import argparse
import json
import os
import random
import time
import uuid

WORDS = ("the of and to in is that for it as with was on be by this are from or at an have not "
         "function return const value error file path test build module import export class "
         "struct config result string number array object index length update create delete "
         "async await promise handler request response server client cache token model agent").split()
MODELS = ["claude-sonnet-4-5-20250929"] * 6 + ["claude-opus-4-1-20250805"] * 3 + \
         ["claude-haiku-4-5-20251001"]
TOOLS = ["Read", "Bash", "Edit", "Grep", "Glob", "Write"]


def make_blob(rng, size):
    out, n = [], 0
    while n < size:
        w = rng.choice(WORDS)
        if rng.random() < 0.05:
            w += "\\n"
        out.append(w)
        n += len(w) + 1
    return " ".join(out)


class Writer:
    def __init__(self, rng, now):
        self.rng = rng
        self.now = now
        self.blob = make_blob(rng, 4 << 20)

    def text(self, size):
        start = self.rng.randrange(0, len(self.blob) - size - 1)
        piece = self.blob[start:start + size]
        # Never end inside an escape.
        return piece.rstrip("\\")

    def stamp(self, t):
        return time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(t)) + ".%03dZ" % int((t % 1) * 1000)

    def tool_result_size(self):
        r = self.rng.random()
        if r < 0.55:
            return self.rng.randint(300, 4000)
        if r < 0.9:
            return self.rng.randint(4000, 30000)
        if r < 0.995:
            return self.rng.randint(30000, 120000)
        return self.rng.randint(200000, 900000)

    def claude_session(self, session_id, cwd, start, budget):
        """Lines of one session, about `budget` bytes."""
        rng = self.rng
        lines, size, t = [], 0, start
        # Long sessions run faster so that they end before "now".
        pace = min(1.0, (self.now - start) / max(1.0, budget / 25000 * 500))
        parent = None
        model = rng.choice(MODELS)
        common = '"isSidechain":false,"userType":"external","cwd":%s,"sessionId":"%s","version":"2.0.14","gitBranch":"main"' % (
            json.dumps(cwd), session_id)

        def emit(line):
            nonlocal size
            lines.append(line)
            size += len(line) + 1

        while size < budget:
            u = str(uuid.UUID(int=rng.getrandbits(128)))
            prompt = self.text(rng.randint(40, 600))
            emit('{"parentUuid":%s,%s,"type":"user","message":{"role":"user","content":"%s"},"uuid":"%s","timestamp":"%s"}' % (
                json.dumps(parent), common, prompt, u, self.stamp(t)))
            parent = u
            for _ in range(rng.randint(1, 6)):
                t += rng.uniform(2, 40) * pace
                msg_id = "msg_01" + "".join(rng.choice("ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz0123456789") for _ in range(22))
                req_id = "req_011C" + "".join(rng.choice("ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz0123456789") for _ in range(20))
                cache_write = rng.randint(0, 8000)
                usage = '{"input_tokens":%d,"cache_creation_input_tokens":%d,"cache_read_input_tokens":%d,"cache_creation":{"ephemeral_5m_input_tokens":%d,"ephemeral_1h_input_tokens":0},"output_tokens":%d,"service_tier":"standard"}' % (
                    rng.randint(1, 40), cache_write, rng.randint(5000, 180000), cache_write, rng.randint(1, 3000))
                blocks = rng.randint(1, 3)
                tool = rng.choice(TOOLS)
                for b in range(blocks):
                    u = str(uuid.UUID(int=rng.getrandbits(128)))
                    if b == blocks - 1:
                        content = '{"type":"tool_use","id":"toolu_%s","name":"%s","input":{"command":"%s","description":"%s"}}' % (
                            u[:8], tool, self.text(rng.randint(20, 300)), self.text(rng.randint(10, 60)))
                    elif b == 0 and blocks == 3:
                        content = '{"type":"thinking","thinking":"%s","signature":"%s"}' % (
                            self.text(rng.randint(200, 3000)), "E" * rng.randint(200, 600))
                    else:
                        content = '{"type":"text","text":"%s"}' % self.text(rng.randint(50, 1500))
                    emit('{"parentUuid":"%s",%s,"message":{"id":"%s","type":"message","role":"assistant","model":"%s","content":[%s],"stop_reason":null,"stop_sequence":null,"usage":%s},"requestId":"%s","type":"assistant","uuid":"%s","timestamp":"%s"}' % (
                        parent, common, msg_id, model, content, usage, req_id, u, self.stamp(t)))
                    parent = u
                t += rng.uniform(0.5, 20) * pace
                u = str(uuid.UUID(int=rng.getrandbits(128)))
                body = self.text(self.tool_result_size())
                extra = ""
                if rng.random() < 0.02:
                    # A tool result that has a key named usage outside message.usage.
                    extra = ',"toolUseResult":{"stdout":"ok","usage":"npm run build -- --help"}'
                emit('{"parentUuid":"%s",%s,"type":"user","message":{"role":"user","content":[{"tool_use_id":"toolu_x","type":"tool_result","content":"%s","is_error":false}]},"uuid":"%s","timestamp":"%s"%s}' % (
                    parent, common, body, u, self.stamp(t), extra))
                parent = u
            if rng.random() < 0.03:
                u = str(uuid.UUID(int=rng.getrandbits(128)))
                emit('{"parentUuid":"%s",%s,"type":"assistant","uuid":"%s","timestamp":"%s","message":{"id":"%s","container":null,"model":"<synthetic>","role":"assistant","stop_reason":"stop_sequence","stop_sequence":"","type":"message","usage":{"input_tokens":0,"output_tokens":0,"cache_creation_input_tokens":0,"cache_read_input_tokens":0,"server_tool_use":{"web_search_requests":0},"service_tier":null},"content":[{"type":"text","text":"No response requested."}]},"isApiErrorMessage":false}' % (
                    parent, common, u, self.stamp(t), str(uuid.UUID(int=rng.getrandbits(128)))))
                parent = u
            t += rng.uniform(5, 600) * pace
        return lines, t

    def write_claude(self, home, total_bytes, files, big_bytes):
        rng = self.rng
        projects = max(1, files // 40)
        root = os.path.join(home, ".claude", "projects")
        earlier = {}  # project -> list of earlier sessions' lines
        written = 0
        sizes = []
        if big_bytes:
            sizes.append(big_bytes)
        rest = total_bytes - big_bytes
        count = files - len(sizes)
        weights = [rng.lognormvariate(0, 1.2) for _ in range(count)]
        scale = rest / sum(weights)
        sizes += [max(2000, int(w * scale)) for w in weights]
        for i, budget in enumerate(sizes):
            project = "-home-dev-src-project-%02d" % (i % projects)
            cwd = "/home/dev/src/project-%02d" % (i % projects)
            os.makedirs(os.path.join(root, project), exist_ok=True)
            session_id = str(uuid.UUID(int=rng.getrandbits(128)))
            start = self.now - rng.uniform(0.2, 5.5) * 86400
            lines = []
            prior = earlier.get(project)
            if prior and rng.random() < 0.12 and budget < 50 << 20:
                # A continued session: the earlier session's lines come first,
                # with their own timestamps, then new work after them.
                lines = list(prior[: rng.randint(len(prior) // 2, len(prior))])
                start = max(start, self.now - 5.5 * 86400)
            new, _ = self.claude_session(session_id, cwd, start, max(1000, budget - sum(len(l) + 1 for l in lines)))
            lines += new
            if budget < 50 << 20:
                earlier[project] = lines
            path = os.path.join(root, project, session_id + ".jsonl")
            with open(path, "w") as f:
                f.write("\n".join(lines))
                f.write("\n")
            written += os.path.getsize(path)
        return written

    def write_codex(self, home, total_bytes):
        rng = self.rng
        written = 0
        while written < total_bytes:
            start = self.now - rng.uniform(0.2, 5.5) * 86400
            day_end = (int(start) // 86400 + 1) * 86400 - 1
            t = start
            sid = str(uuid.UUID(int=rng.getrandbits(128)))
            g = time.gmtime(start)
            folder = os.path.join(home, ".codex", "sessions", "%04d" % g.tm_year, "%02d" % g.tm_mon, "%02d" % g.tm_mday)
            os.makedirs(folder, exist_ok=True)
            path = os.path.join(folder, "rollout-%s-%s.jsonl" % (time.strftime("%Y-%m-%dT%H-%M-%S", g), sid))
            model = rng.choice(["gpt-5-codex", "gpt-5", "gpt-5-codex"])
            lines = ['{"timestamp":"%s","type":"session_meta","payload":{"id":"%s","timestamp":"%s","cwd":"/home/dev/src/tool","originator":"codex_cli_rs","cli_version":"0.46.0","instructions":null}}' % (
                self.stamp(t), sid, self.stamp(t))]
            totals = [0, 0, 0, 0]
            budget = rng.randint(20000, 2000000)
            size = 0
            while size < budget and t < day_end - 120:
                t += rng.uniform(1, 30)
                lines.append('{"timestamp":"%s","type":"turn_context","payload":{"cwd":"/home/dev/src/tool","approval_policy":"on-request","sandbox_policy":{"mode":"workspace-write"},"model":"%s","effort":"medium","summary":"auto"}}' % (self.stamp(t), model))
                lines.append('{"timestamp":"%s","type":"response_item","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":"%s"}]}}' % (self.stamp(t), self.text(rng.randint(30, 400))))
                for _ in range(rng.randint(1, 5)):
                    t += rng.uniform(1, 20)
                    last_in = rng.randint(3000, 60000)
                    last_cached = rng.randint(0, last_in)
                    last_out = rng.randint(10, 2000)
                    last_reason = rng.randint(0, last_out)
                    totals = [totals[0] + last_in, totals[1] + last_cached, totals[2] + last_out, totals[3] + last_reason]
                    lines.append('{"timestamp":"%s","type":"response_item","payload":{"type":"function_call","name":"shell","arguments":"{\\"command\\":[\\"bash\\",\\"-lc\\",\\"%s\\"]}","call_id":"call_%s"}}' % (
                        self.stamp(t), self.text(rng.randint(10, 80)), sid[:8]))
                    lines.append('{"timestamp":"%s","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":%d,"cached_input_tokens":%d,"output_tokens":%d,"reasoning_output_tokens":%d,"total_tokens":%d},"last_token_usage":{"input_tokens":%d,"cached_input_tokens":%d,"output_tokens":%d,"reasoning_output_tokens":%d,"total_tokens":%d},"model_context_window":272000},"rate_limits":null}}' % (
                        self.stamp(t), totals[0], totals[1], totals[2], totals[3], totals[0] + totals[2],
                        last_in, last_cached, last_out, last_reason, last_in + last_out))
                    t += rng.uniform(0.5, 10)
                    lines.append('{"timestamp":"%s","type":"response_item","payload":{"type":"function_call_output","call_id":"call_%s","output":"%s"}}' % (
                        self.stamp(t), sid[:8], self.text(self.tool_result_size() // 2)))
                size = sum(len(l) + 1 for l in lines)
            with open(path, "w") as f:
                f.write("\n".join(lines))
                f.write("\n")
            written += os.path.getsize(path)
        return written


def main():
    p = argparse.ArgumentParser()
    p.add_argument("home")
    p.add_argument("--claude-mb", type=float, default=100)
    p.add_argument("--files", type=int, default=200)
    p.add_argument("--big-mb", type=float, default=0)
    p.add_argument("--codex-mb", type=float, default=0)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--now", type=float, default=time.time())
    a = p.parse_args()
    rng = random.Random(a.seed)
    w = Writer(rng, a.now)
    claude = w.write_claude(a.home, int(a.claude_mb * 1e6), a.files, int(a.big_mb * 1e6)) if a.files else 0
    codex = w.write_codex(a.home, int(a.codex_mb * 1e6)) if a.codex_mb else 0
    print("wrote %.1f MB of Claude transcripts (%d files) and %.1f MB of Codex rollouts under %s" % (
        claude / 1e6, a.files, codex / 1e6, a.home))


if __name__ == "__main__":
    main()
