// Token usage from the session records of Gemini CLI, Copilot CLI and Qwen
// Code (JSON Lines), per day and model.
//
// Pure functions of the files' bytes: any number may run at once on
// different threads. An unreadable file gives an empty result, a bad line is
// skipped. Every response is also returned keyed (by the agent's own ids), so
// a session copied into another file on resume or fork counts once.
#pragma once

#include <string>

#include "engine/usage/transcript_scan.h"

namespace vorla::AgentRecords {

using Scan = TranscriptScan::ClaudeScan;  // buckets plus the keyed responses behind them

// ~/.gemini/tmp/<project>/chats/session-*.jsonl: one line per message, a
// message written again under its id replaces the earlier one, and a "$set"
// of "messages" replaces them all. A reply's "tokens" carry input (cached
// reads included), output, cached, thoughts and tool-use prompt counts.
[[nodiscard]] Scan geminiUsage(const std::string& path);

// ~/.copilot/session-state/<id>/events.jsonl: its "session.usage_record"
// events, keyed by their accounting identity (source session and sequence).
[[nodiscard]] Scan copilotUsage(const std::string& path);

// ~/.qwen/projects/<cwd>/chats/<id>.jsonl: each record's "usageMetadata"
// (Gemini's field names), keyed by the record's uuid.
[[nodiscard]] Scan qwenUsage(const std::string& path);

}  // namespace vorla::AgentRecords
