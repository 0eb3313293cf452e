#!/usr/bin/env python3
"""A stand-in for the model APIs the real agent CLIs call, for contract tests.

Serves the Anthropic Messages API (POST /v1/messages), the OpenAI Responses
API (POST /v1/responses) and Chat Completions (POST /v1/chat/completions), and
Gemini's generateContent and streamGenerateContent, streamed as server-sent
events where asked, on 127.0.0.1. A request that offers a shell tool and
carries no tool result yet is answered with one call of that tool running
COMMAND; every other request gets a short text reply, so each agent run ends
after one tool call. Chat Completions and Gemini replies report cached input
and reasoning tokens too, so the agents' usage records carry each kind. Each request body is
appended as one JSON line to the log, and the chosen port is written to the
port file once the server listens.

Usage: mock_model_api.py --command CMD --port-file FILE [--log FILE] [--escalate]
"""

import argparse
import json
import os
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ARGS = None
LOG_LOCK = threading.Lock()
USAGE_IN, USAGE_OUT = 120, 8
# Of USAGE_IN, read from a prompt cache; of USAGE_OUT, spent on reasoning
# (Gemini counts its thoughts apart, on top of the output).
USAGE_CACHED, USAGE_REASONING = 20, 3


def sse(event, data):
    return f"event: {event}\ndata: {json.dumps(data)}\n\n".encode()


# --- Anthropic Messages -----------------------------------------------------

def anthropic_has_tool_result(body):
    for message in body.get("messages", []):
        content = message.get("content")
        if isinstance(content, list) and any(
                isinstance(b, dict) and b.get("type") == "tool_result" for b in content):
            return True
    return False


def anthropic_events(body):
    tools = [t.get("name") for t in body.get("tools", []) if isinstance(t, dict)]
    model = body.get("model", "claude-mock")
    usage = {"input_tokens": USAGE_IN, "output_tokens": 1,
             "cache_creation_input_tokens": 0, "cache_read_input_tokens": 0}
    out = [sse("message_start", {"type": "message_start", "message": {
        "id": "msg_mock", "type": "message", "role": "assistant", "model": model,
        "content": [], "stop_reason": None, "stop_sequence": None, "usage": usage}})]
    if "Bash" in tools and not anthropic_has_tool_result(body):
        block = {"type": "tool_use", "id": "toolu_mock", "name": "Bash", "input": {}}
        delta = {"type": "input_json_delta",
                 "partial_json": json.dumps({"command": ARGS.command,
                                             "description": "Run the contract command"})}
        stop = "tool_use"
    else:
        block = {"type": "text", "text": ""}
        delta = {"type": "text_delta", "text": "done"}
        stop = "end_turn"
    out += [
        sse("content_block_start", {"type": "content_block_start", "index": 0,
                                    "content_block": block}),
        sse("content_block_delta", {"type": "content_block_delta", "index": 0, "delta": delta}),
        sse("content_block_stop", {"type": "content_block_stop", "index": 0}),
        sse("message_delta", {"type": "message_delta",
                              "delta": {"stop_reason": stop, "stop_sequence": None},
                              "usage": {"output_tokens": USAGE_OUT}}),
        sse("message_stop", {"type": "message_stop"}),
    ]
    return out


# --- OpenAI Responses ---------------------------------------------------------

SHELL_TOOLS = ("exec_command", "shell_command", "shell", "local_shell")


def responses_shell_tool(body):
    names = [t.get("name") or t.get("type") for t in body.get("tools", []) if isinstance(t, dict)]
    return next((n for n in SHELL_TOOLS if n in names), None)


def responses_has_tool_output(body):
    items = body.get("input", [])
    return isinstance(items, list) and any(
        isinstance(i, dict) and i.get("type", "").endswith("_call_output") for i in items)


def responses_call(tool):
    if tool == "exec_command":
        args = {"cmd": ARGS.command}
        if ARGS.escalate:
            # Asking to leave the sandbox makes Codex ask for approval whenever
            # its approval policy lets it ask at all.
            args.update(sandbox_permissions="require_escalated",
                        justification="The contract test needs this command to run.")
    elif tool == "shell_command":
        args = {"command": ARGS.command}
    else:
        args = {"command": ["bash", "-lc", ARGS.command]}
    if tool == "local_shell":
        return {"type": "local_shell_call", "id": "lsh_mock", "call_id": "call_mock",
                "status": "completed",
                "action": {"type": "exec", "command": args["command"]}}
    return {"type": "function_call", "id": "fc_mock", "call_id": "call_mock", "name": tool,
            "arguments": json.dumps(args)}


def responses_events(body):
    tool = responses_shell_tool(body)
    if tool and not responses_has_tool_output(body):
        item = responses_call(tool)
    else:
        item = {"type": "message", "id": "msg_mock", "role": "assistant", "status": "completed",
                "content": [{"type": "output_text", "text": "done", "annotations": []}]}
    usage = {"input_tokens": USAGE_IN, "input_tokens_details": {"cached_tokens": 0},
             "output_tokens": USAGE_OUT, "output_tokens_details": {"reasoning_tokens": 0},
             "total_tokens": USAGE_IN + USAGE_OUT}
    response = {"id": "resp_mock", "object": "response", "model": body.get("model", "gpt-mock"),
                "status": "in_progress", "output": []}
    done = dict(response, status="completed", output=[item], usage=usage)
    return [
        sse("response.created", {"type": "response.created", "response": response}),
        sse("response.output_item.done", {"type": "response.output_item.done",
                                          "output_index": 0, "item": item}),
        sse("response.completed", {"type": "response.completed", "response": done}),
    ]


# --- OpenAI Chat Completions (Copilot CLI, Qwen Code, OpenCode) --------------

CHAT_SHELL_TOOLS = ("run_shell_command", "bash", "shell")


def chat_shell_tool(body):
    names = [(t.get("function") or {}).get("name") for t in body.get("tools") or []
             if isinstance(t, dict)]
    return next((n for n in CHAT_SHELL_TOOLS if n in names), None)


def chat_has_tool_result(body):
    return any(isinstance(m, dict) and m.get("role") == "tool" for m in body.get("messages", []))


def chat_chunks(body):
    """The reply as chunk objects: the streamed form, folded for a plain reply."""
    tool = chat_shell_tool(body)
    if tool and not chat_has_tool_result(body):
        call = {"index": 0, "id": "call_mock", "type": "function",
                "function": {"name": tool, "arguments": json.dumps(
                    {"command": ARGS.command, "description": "Run the contract command"})}}
        delta, finish = {"role": "assistant", "content": None, "tool_calls": [call]}, "tool_calls"
    else:
        delta, finish = {"role": "assistant", "content": "done"}, "stop"
    usage = {"prompt_tokens": USAGE_IN, "completion_tokens": USAGE_OUT,
             "total_tokens": USAGE_IN + USAGE_OUT,
             "prompt_tokens_details": {"cached_tokens": USAGE_CACHED},
             "completion_tokens_details": {"reasoning_tokens": USAGE_REASONING}}
    return delta, finish, usage


def chat_reply(body):
    delta, finish, usage = chat_chunks(body)
    base = {"id": "chatcmpl-mock", "created": 0, "model": body.get("model", "mock-model")}
    if not body.get("stream"):
        message = {k: v for k, v in delta.items() if k != "tool_calls" or v}
        for call in message.get("tool_calls", []):
            call.pop("index", None)
        return None, dict(base, object="chat.completion", usage=usage, choices=[
            {"index": 0, "message": message, "finish_reason": finish}])
    chunk = dict(base, object="chat.completion.chunk")
    events = [dict(chunk, choices=[{"index": 0, "delta": delta, "finish_reason": None}]),
              dict(chunk, choices=[{"index": 0, "delta": {}, "finish_reason": finish}]),
              dict(chunk, choices=[], usage=usage)]
    return [f"data: {json.dumps(e)}\n\n".encode() for e in events] + [b"data: [DONE]\n\n"], None


# --- Gemini generateContent (Gemini CLI) -------------------------------------

def gemini_has_tool_result(body):
    return any(isinstance(p, dict) and "functionResponse" in p
               for c in body.get("contents", []) if isinstance(c, dict)
               for p in c.get("parts", []))


def gemini_offers_shell(body):
    return any(isinstance(d, dict) and d.get("name") == "run_shell_command"
               for t in body.get("tools", []) if isinstance(t, dict)
               for d in t.get("functionDeclarations", []))


def gemini_reply(body):
    config = body.get("generationConfig") or {}
    if config.get("responseMimeType") == "application/json":
        # Side questions (which model, who speaks next) want JSON back.
        part = {"text": json.dumps({"reasoning": "mock", "next_speaker": "user",
                                    "model_choice": "flash"})}
    elif gemini_offers_shell(body) and not gemini_has_tool_result(body):
        part = {"functionCall": {"name": "run_shell_command", "args": {
            "command": ARGS.command, "description": "Run the contract command"}}}
    else:
        part = {"text": "done"}
    output = USAGE_OUT - USAGE_REASONING
    return {"candidates": [{"content": {"role": "model", "parts": [part]},
                            "finishReason": "STOP", "index": 0}],
            "usageMetadata": {"promptTokenCount": USAGE_IN, "candidatesTokenCount": output,
                              "cachedContentTokenCount": USAGE_CACHED,
                              "thoughtsTokenCount": USAGE_REASONING,
                              "totalTokenCount": USAGE_IN + USAGE_OUT},
            "modelVersion": "gemini-2.5-flash"}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.reply(404, b"{}", "application/json")

    def do_HEAD(self):
        self.reply(200, b"", "text/plain")

    def do_POST(self):
        length = int(self.headers.get("content-length") or 0)
        raw = self.rfile.read(length)
        try:
            body = json.loads(raw or b"{}")
        except ValueError:
            body = {}
        if ARGS.log:
            with LOG_LOCK, open(ARGS.log, "a", encoding="utf-8") as log:
                log.write(json.dumps({"path": self.path, "body": body}) + "\n")
        path = self.path.split("?")[0]
        if path.endswith("/messages/count_tokens"):
            self.reply(200, json.dumps({"input_tokens": USAGE_IN}).encode(), "application/json")
        elif path.endswith("/messages"):
            self.stream(anthropic_events(body))
        elif path.endswith("/responses"):
            self.stream(responses_events(body))
        elif path.endswith("/chat/completions"):
            events, reply = chat_reply(body)
            if events:
                self.stream(events)
            else:
                self.reply(200, json.dumps(reply).encode(), "application/json")
        elif path.endswith(":countTokens"):
            self.reply(200, json.dumps({"totalTokens": USAGE_IN}).encode(), "application/json")
        elif path.endswith(":streamGenerateContent"):
            self.stream([f"data: {json.dumps(gemini_reply(body))}\r\n\r\n".encode()])
        elif path.endswith(":generateContent"):
            self.reply(200, json.dumps(gemini_reply(body)).encode(), "application/json")
        else:
            self.reply(404, b"{}", "application/json")

    def reply(self, status, payload, kind):
        self.send_response(status)
        self.send_header("content-type", kind)
        self.send_header("content-length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def stream(self, events):
        payload = b"".join(events)
        self.send_response(200)
        self.send_header("content-type", "text/event-stream")
        self.send_header("content-length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--command", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log")
    parser.add_argument("--escalate", action="store_true",
                        help="ask Codex to run the command outside its sandbox")
    ARGS = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(ARGS.port_file + ".tmp", "w", encoding="utf-8") as f:
        f.write(str(server.server_address[1]))
    os.replace(ARGS.port_file + ".tmp", ARGS.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
