#include "engine/session/state_snapshot.h"

#include <filesystem>
#include <unordered_map>

#include "core/json_text.h"
#include "core/paths.h"
#include "engine/support/atomic_file.h"
#include "engine/support/path_component.h"

namespace vorla {

std::string_view snapshotStatus(SpriteKind state) {
    switch (state) {
        case SpriteKind::idle:
        case SpriteKind::done:
            return "idle";
        case SpriteKind::needsApproval:
        case SpriteKind::question:
        case SpriteKind::planReview:
            return "waiting";
        default:
            return "working";
    }
}

namespace {

void put(JSONTextWriter& out, std::string_view key, std::string_view text) {
    out.key(key);
    out.value(text);
}

void put(JSONTextWriter& out, std::string_view key, WallTime time) {
    out.key(key);
    out.number(toEpochSeconds(time));
}

void writeSession(JSONTextWriter& out, const Session& session) {
    out.startObject();
    put(out, "id", session.id());
    put(out, "agent", rawValue(session.source()));
    put(out, "agentName", displayName(session.source()));
    put(out, "project", lastPathComponent(session.cwd()));
    put(out, "cwd", session.cwd());
    put(out, "activity", session.activity());
    put(out, "lastActivityTs", session.lastSeen());
    put(out, "status", snapshotStatus(session.state()));
    out.endObject();
}

void writePending(JSONTextWriter& out, const Gate& gate, const Session* session) {
    out.startObject();
    put(out, "id", gate.id);
    put(out, "agent", session ? rawValue(session->source()) : "");
    put(out, "agentName", session ? displayName(session->source()) : "");
    put(out, "project", session ? lastPathComponent(session->cwd()) : "");
    put(out, "tool", gate.toolName);
    put(out, "detail", gate.detail);
    out.key("risk");
    out.integer(static_cast<std::int64_t>(rawValue(gate.risk.level)));
    put(out, "sinceTs", gate.openedAt);
    out.endObject();
}

// Session by id, the first of equal ids winning, so that each gate finds its
// owner without a scan of every session (a thousand gates, a thousand
// sessions).
std::unordered_map<std::string_view, const Session*> sessionsByID(
    const std::vector<std::shared_ptr<Session>>& sessions) {
    std::unordered_map<std::string_view, const Session*> byID;
    byID.reserve(sessions.size());
    for (const auto& session : sessions) {
        byID.emplace(session->id(), session.get());
    }
    return byID;
}

}  // namespace

std::string snapshotText(const std::vector<std::shared_ptr<Session>>& sessions,
                         const std::vector<std::shared_ptr<const Gate>>& gates, WallTime now) {
    constexpr std::size_t kPerEntry = 256;
    JSONTextWriter out(kPerEntry * (1 + sessions.size() + gates.size()));
    out.startObject();
    put(out, "ts", now);
    out.key("sessions");
    out.startArray();
    for (const auto& session : sessions) {
        writeSession(out, *session);
    }
    out.endArray();
    out.key("pending");
    out.startArray();
    const auto owners = sessionsByID(sessions);
    for (const auto& gate : gates) {
        auto owner = owners.find(gate->sessionID);
        writePending(out, *gate, owner == owners.end() ? nullptr : owner->second);
    }
    out.endArray();
    out.endObject();
    return out.take();
}

std::string defaultSnapshotPath() {
    return runDir() + "/state.json";
}

Result<> writeSnapshot(const std::string& path, std::string_view text) {
    return writeFileAtomically(path, text);
}

}  // namespace vorla
