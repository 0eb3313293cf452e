#!/usr/bin/env python3
"""Fills a HOME with a realistic working day for the settings screenshots:
learned rules, a week of audit lines (today's spread over the morning and
afternoon, with decisions, risks and repeated approvals that become
suggestions), game progress with achievements, Claude Code and Codex
transcripts, git repositories with worktrees and uncommitted changes, and
context files. Times are local (the caller sets TZ).

Usage: settings_seed.py HOME
"""
import json
import os
import subprocess
import sys
import time

HOME = sys.argv[1]
NOW = int(time.time())
REFERENCE_EPOCH = 978307200  # rules and achievements store seconds since 2001


def write(path, text):
    path = os.path.join(HOME, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def iso(epoch):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch))


def git(cwd, *args):
    subprocess.run(["git", "-C", cwd, *args], check=True, capture_output=True,
                   env=dict(os.environ, HOME=HOME, GIT_AUTHOR_NAME="Ada", GIT_AUTHOR_EMAIL="ada@example.com",
                            GIT_COMMITTER_NAME="Ada", GIT_COMMITTER_EMAIL="ada@example.com"))


def repos():
    code = os.path.join(HOME, "code")
    shop = os.path.join(code, "shop")
    os.makedirs(shop)
    git(shop, "init", "-q", "-b", "main")
    files = ["src/cart.ts", "src/checkout.ts", "src/payment.ts", "src/api/orders.ts",
             "src/api/stripe.ts", "src/ui/Button.tsx", "src/ui/Summary.tsx", "tests/cart.test.ts",
             "tests/checkout.test.ts", "package.json", "README.md"]
    for name in files:
        write(os.path.join("code/shop", name), "// %s\nexport const version = 1;\n" % name)
    git(shop, "add", "-A")
    git(shop, "commit", "-q", "-m", "Shop skeleton")
    git(shop, "worktree", "add", "-q", "-b", "checkout-flow", os.path.join(code, "shop-checkout"))
    git(shop, "worktree", "add", "-q", "-b", "search-ranking", os.path.join(code, "shop-search"))
    # An agent halfway through a task: edits, one new file.
    for name in files[:8]:
        write(os.path.join("code/shop-checkout", name),
              "// %s\nexport const version = 2;\nexport const step = 'review';\n" % name)
    write("code/shop-checkout/src/ui/Receipt.tsx", "export const Receipt = () => null;\n")
    write("code/shop-search/src/search.ts", "export const rank = () => 0;\n")

    api = os.path.join(code, "api")
    os.makedirs(api)
    git(api, "init", "-q", "-b", "main")
    write("code/api/main.go", "package main\n")
    git(api, "add", "-A")
    git(api, "commit", "-q", "-m", "API")
    write("code/api/main.go", "package main\n\nfunc main() {}\n")
    write("code/api/handlers.go", "package main\n")
    os.makedirs(os.path.join(code, "docs"))


def context_files():
    write(".claude/CLAUDE.md", "# My preferences\n\n- Small commits.\n- Run the tests before saying done.\n" * 4)
    write("code/shop-checkout/CLAUDE.md", "# Shop\n\nTypeScript, pnpm, vitest. Never touch payment keys.\n" * 12)
    write("code/api/AGENTS.md", "# API\n\nGo 1.22; `make test` runs everything.\n" * 30)
    write(".codex/AGENTS.md", "Answer briefly. Prefer the standard library.\n" * 3)
    # Only the project's CLAUDE.md was edited today.
    for path, days in ((".claude/CLAUDE.md", 12), ("code/api/AGENTS.md", 3), (".codex/AGENTS.md", 30)):
        then = NOW - days * 86400
        os.utime(os.path.join(HOME, path), (then, then))


# One audit line; `minutes` before now.
def line(minutes, agent, session, project, kind, tool, detail, risk=None):
    entry = {"ts": iso(NOW - minutes * 60), "agent": agent, "sessionID": session, "project": project,
             "kind": kind, "tool": tool, "detail": detail}
    if risk is not None:
        entry["risk"] = risk
    return NOW - minutes * 60, entry


def audit():
    entries = []
    # Today: three sessions across the last hours, decisions and runs.
    script = [
        (300, "claude", "c1", "shop-checkout", "approved", "Bash", "pnpm test", 1),
        (296, "claude", "c1", "shop-checkout", "tool", "Bash", "pnpm test", None),
        (290, "claude", "c1", "shop-checkout", "auto-allowed", "Read", "src/cart.ts", 0),
        (282, "claude", "c1", "shop-checkout", "tool", "Edit", "src/checkout.ts", None),
        (270, "claude", "c1", "shop-checkout", "approved", "Bash", "git diff --stat", 0),
        (255, "claude", "c1", "shop-checkout", "denied", "Bash", "rm -rf node_modules/.cache", 2),
        (240, "codex", "x1", "api", "approved", "Bash", "go test ./...", 1),
        (236, "codex", "x1", "api", "tool", "Bash", "go test ./...", None),
        (220, "codex", "x1", "api", "auto-allowed", "Read", "handlers.go", 0),
        (200, "codex", "x1", "api", "approved", "Bash", "go vet ./...", 1),
        (185, "claude", "c1", "shop-checkout", "approved", "Bash", "pnpm lint", 1),
        (170, "claude", "c1", "shop-checkout", "tool", "Write", "src/ui/Receipt.tsx", None),
        (150, "grok", "g1", "docs", "tool", "Read", "guide.md", None),
        (140, "grok", "g1", "docs", "approved", "Bash", "mkdocs build", 1),
        (120, "claude", "c1", "shop-checkout", "auto-denied", "Bash", "git push --force", 3),
        (95, "codex", "x1", "api", "approved", "Bash", "go test ./...", 1),
        (80, "claude", "c2", "shop-search", "approved", "Bash", "pnpm test", 1),
        (75, "claude", "c2", "shop-search", "tool", "Edit", "src/search.ts", None),
        (60, "claude", "c1", "shop-checkout", "approved", "Bash", "pnpm test", 1),
        (45, "codex", "x1", "api", "tool", "Edit", "handlers.go", None),
        (30, "claude", "c2", "shop-search", "auto-allowed", "Grep", "rank", 0),
        (20, "claude", "c1", "shop-checkout", "approved", "Bash", "git diff --stat", 0),
        (12, "codex", "x1", "api", "approved", "Bash", "go vet ./...", 1),
        (6, "claude", "c1", "shop-checkout", "tool", "Bash", "pnpm test", None),
        (2, "claude", "c2", "shop-search", "approved", "Bash", "pnpm test", 1),
    ]
    entries += [line(*row) for row in script]
    # Earlier this week: the same habits, so some commands become suggestions.
    for day in range(1, 6):
        base = day * 24 * 60
        entries.append(line(base + 30, "claude", "old%d" % day, "shop", "approved", "Bash", "git diff --stat", 0))
        entries.append(line(base + 60, "codex", "oldx%d" % day, "api", "approved", "Bash", "go vet ./...", 1))
        entries.append(line(base + 90, "claude", "old%d" % day, "shop", "tool", "Bash", "pnpm test", None))
    by_day = {}
    for epoch, entry in entries:
        by_day.setdefault(time.strftime("%Y-%m-%d", time.localtime(epoch)), []).append((epoch, entry))
    for day, rows in by_day.items():
        rows.sort(key=lambda row: row[0])
        write(".vorla-agents/audit/%s.jsonl" % day, "".join(json.dumps(e) + "\n" for _, e in rows))


def rules_and_game():
    ref = NOW - REFERENCE_EPOCH
    rules = [
        {"key": "Bash: pnpm test", "behavior": "allow", "createdAt": ref - 9 * 86400, "timesFired": 41},
        {"key": "Read", "behavior": "allow", "createdAt": ref - 8 * 86400, "timesFired": 118},
        {"key": "Bash: go test", "behavior": "allow", "createdAt": ref - 3 * 86400, "timesFired": 17},
        {"key": "Bash: git push", "behavior": "deny", "createdAt": ref - 2 * 86400, "timesFired": 3},
    ]
    write(".vorla-agents/data/rules.json", json.dumps(rules))
    game = {"coins": 137, "streak": 5, "bestStreak": 9,
            "lastActiveDay": time.strftime("%Y-%m-%d", time.localtime(NOW)), "bossesBeaten": 2,
            "unlocked": {"first-blood": ref - 9 * 86400, "century": ref - 86400,
                         "boss-slayer": ref - 2 * 86400}}
    write(".vorla-agents/data/game.json", json.dumps(game))


def transcripts():
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run([sys.executable, os.path.join(here, "..", "bench", "gen_transcripts.py"), HOME,
                    "--claude-mb", "3", "--files", "24", "--big-mb", "0", "--codex-mb", "1",
                    "--now", str(NOW)], check=True, stdout=subprocess.DEVNULL)


repos()
context_files()
audit()
rules_and_game()
transcripts()
