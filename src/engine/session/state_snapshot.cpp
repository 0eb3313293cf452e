#include "engine/session/state_snapshot.h"

#include <filesystem>

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

nlohmann::json sessionJson(const Session& session) {
    return {{"id", session.id()},
            {"agent", rawValue(session.source())},
            {"agentName", displayName(session.source())},
            {"project", lastPathComponent(session.cwd())},
            {"cwd", session.cwd()},
            {"activity", session.activity()},
            {"lastActivityTs", toEpochSeconds(session.lastSeen())},
            {"status", snapshotStatus(session.state())}};
}

nlohmann::json pendingJson(const Gate& gate, const Session* session) {
    return {{"id", gate.id},
            {"agent", session ? rawValue(session->source()) : ""},
            {"agentName", session ? displayName(session->source()) : ""},
            {"project", session ? lastPathComponent(session->cwd()) : ""},
            {"tool", gate.toolName},
            {"detail", gate.detail},
            {"risk", rawValue(gate.risk.level)},
            {"sinceTs", toEpochSeconds(gate.openedAt)}};
}

}  // namespace

nlohmann::json buildSnapshot(const std::vector<std::shared_ptr<Session>>& sessions,
                             const std::vector<std::shared_ptr<const Gate>>& gates, WallTime now) {
    auto sessionList = nlohmann::json::array();
    for (const auto& session : sessions) {
        sessionList.push_back(sessionJson(*session));
    }
    auto pendingList = nlohmann::json::array();
    for (const auto& gate : gates) {
        const Session* owner = nullptr;
        for (const auto& session : sessions) {
            if (session->id() == gate->sessionID) {
                owner = session.get();
                break;
            }
        }
        pendingList.push_back(pendingJson(*gate, owner));
    }
    return {{"ts", toEpochSeconds(now)}, {"sessions", sessionList}, {"pending", pendingList}};
}

std::string defaultSnapshotPath() {
    return runDir() + "/state.json";
}

void writeSnapshot(const std::string& path, const nlohmann::json& snapshot) {
    // Invalid UTF-8 in an agent's text is replaced rather than dropping the file.
    std::string bytes = snapshot.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    [[maybe_unused]] bool written = writeFileAtomically(path, bytes);
}

}  // namespace vorla
