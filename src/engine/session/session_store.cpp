#include "engine/session/session_store.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "core/text.h"
#include "engine/look/tool_label.h"
#include "engine/session/state_snapshot.h"
#include "engine/support/path_component.h"

namespace vorla {

namespace {

constexpr const char* kUnknownTool = "tool";

std::string toolOrDefault(const Event& event) {
    return event.toolName.value_or(kUnknownTool);
}

std::string detailOf(const Event& event) {
    return event.toolInput ? event.toolInput->preview() : std::string();
}

// The whole tool input as the risk engine should read it (see gradedText).
RiskVerdict assessEvent(const std::string& tool, const Event& event) {
    return RiskEngine::assess(
        tool, event.toolInput ? RiskEngine::gradedText(*event.toolInput) : std::string(),
        event.cwd);
}

// A tool event's sprite and activity ("Running Bash", "Ran Bash"); an event
// without a tool name reads "Working".
void showTool(Session& session, const Event& event, std::string_view verb) {
    if (event.toolName) {
        session.setState(spriteFor(*event.toolName));
        session.setActivity(std::string(verb) + shortTool(*event.toolName));
    } else {
        session.setState(SpriteKind::thinking);
        session.setActivity("Working");
    }
}

}  // namespace

SessionStore::SessionStore(MainQueue& queue, const Clock& clock)
    : SessionStore(queue, clock, Options{}) {}

SessionStore::SessionStore(MainQueue& queue, const Clock& clock, Options options)
    : queue_(queue), clock_(clock), options_(std::move(options)) {}

SessionStore::~SessionStore() {
    celebrationTask_.cancel();
    if (contextReader_.joinable()) {
        contextReader_.join();
    }
    flushState();  // the file outlives us: leave the last state in it
}

void SessionStore::setCelebration(std::optional<Source> source) {
    if (assignIfChanged(celebration_, source)) {
        changed_.notify();
    }
}

SessionStore::SessionRef SessionStore::findSession(std::string_view id) const {
    for (const auto& session : sessions_) {
        if (session->id() == id) {
            return session;
        }
    }
    return nullptr;
}

SessionStore::GateRef SessionStore::gate(const std::string& id) const {
    for (const auto& gate : gates_) {
        if (gate->id == id) {
            return gate;
        }
    }
    return nullptr;
}

SessionStore::SessionRef SessionStore::sessionFor(const Event& event) {
    std::string key = event.sessionID.value_or(std::string(rawValue(event.source)) + "-unknown");
    if (auto session = findSession(key)) {
        if (event.cwd) {
            session->setCwd(*event.cwd);
        }
        if (event.transcriptPath) {
            session->setTranscriptPath(event.transcriptPath);
        }
        session->setLastSeen(clock_.now());
        return session;
    }
    auto session = std::make_shared<Session>(key, event.source, event.cwd.value_or("~"), clock_);
    session->setTerminal(event.terminal);
    session->setTranscriptPath(event.transcriptPath);
    sessions_.push_back(session);
    changed_.notify();
    return session;
}

void SessionStore::removeSession(const std::string& id) {
    SessionRef ended = findSession(id);
    if (!ended) {
        return;
    }
    std::erase(sessions_, ended);
    if (std::any_of(gates_.begin(), gates_.end(),
                    [&](const GateRef& g) { return g->sessionID == id; })) {
        endedWithGates_.push_back(ended);
    }
    changed_.notify();
}

void SessionStore::apply(const Event& event) {
    SessionRef session = sessionFor(event);
    switch (event.event) {
        case Canonical::sessionStart:
            session->setState(SpriteKind::idle);
            session->setActivity("Session started");
            break;
        case Canonical::sessionEnd:
            removeSession(session->id());
            break;
        case Canonical::userPromptSubmit:
            session->setState(SpriteKind::thinking);
            session->setActivity("Thinking");
            break;
        case Canonical::preToolUse:
            showTool(*session, event, "Running ");
            break;
        case Canonical::postToolUse:
            session->setToolCount(session->toolCount() + 1);
            showTool(*session, event, "Ran ");
            recordTool(*session, event);
            break;
        case Canonical::stop:
            if (session->state() != SpriteKind::done) {
                if (onSessionDone) {
                    onSessionDone();
                }
                celebrate(session->source());
            }
            session->setState(SpriteKind::done);
            session->setActivity("Done");
            break;
        case Canonical::notification:
            session->setActivity("Notification");
            break;
        case Canonical::permissionRequest:
        case Canonical::other:
            break;
    }
    emitState();
}

void SessionStore::recordTool(const Session& session, const Event& event) {
    if (!audit) {
        return;
    }
    audit(AuditEntry{clock_.now(), std::string(rawValue(session.source())), session.id(),
                     lastPathComponent(session.cwd()), AuditKind::tool, toolOrDefault(event),
                     detailOf(event), std::nullopt});
}

void SessionStore::recordDecision(const Session& session, AuditKind kind, const std::string& tool,
                                  const std::string& detail, Risk risk, std::string_view by) {
    if (!audit) {
        return;
    }
    audit(AuditEntry{clock_.now(), std::string(rawValue(session.source())), session.id(),
                     lastPathComponent(session.cwd()), kind, tool, detail, rawValue(risk),
                     std::string(by)});
}

void SessionStore::refreshContext() {
    std::vector<std::pair<std::string, std::string>> transcripts;  // session id, path
    for (const auto& session : sessions_) {
        if (session->transcriptPath()) {
            transcripts.emplace_back(session->id(), *session->transcriptPath());
        }
    }
    if (!transcripts.empty() && !readingContext_) {
        readingContext_ = true;
        if (contextReader_.joinable()) {
            contextReader_.join();  // finished: its readings were applied
        }
        contextReader_ =
            std::thread([queue = &queue_, weak = lifetime_.weak(),
                         transcripts = std::move(transcripts), limit = options_.contextLimit] {
                std::vector<std::pair<std::string, ContextUsage>> readings;
                for (const auto& [id, path] : transcripts) {
                    if (auto usage = ContextMeter::read(path, limit)) {
                        readings.emplace_back(id, *usage);
                    }
                }
                // The queue outlives the store, and the store joins this thread.
                queue->post([weak, readings = std::move(readings)] {
                    if (SessionStore* self = weak.get()) {
                        self->applyContext(readings);
                    }
                });
            });
    }
    const WallTime now = clock_.now();
    auto pruned = std::erase_if(sessions_, [&](const SessionRef& s) {
        return s->state() == SpriteKind::done && now - s->lastSeen() > options_.pruneAfter;
    });
    if (pruned > 0) {
        changed_.notify();
    }
    queueState(false);  // an unchanged file is left alone
}

void SessionStore::applyContext(const std::vector<std::pair<std::string, ContextUsage>>& readings) {
    readingContext_ = false;
    for (const auto& [id, usage] : readings) {
        if (auto session = findSession(id)) {  // it may have been pruned meanwhile
            session->setContext(usage);
        }
    }
}

std::vector<std::string> SessionStore::conflicts() const {
    std::map<std::string, int> live;
    for (const auto& session : sessions_) {
        if (session->state() != SpriteKind::done) {
            ++live[session->cwd()];
        }
    }
    std::vector<std::string> shared;
    for (const auto& [cwd, count] : live) {
        if (count >= 2) {
            shared.push_back(cwd);  // std::map keeps them sorted
        }
    }
    return shared;
}

void SessionStore::celebrate(Source source) {
    setCelebration(source);
    celebrationTask_.cancel();
    celebrationTask_ = queue_.postAfter(options_.celebrationDuration, [weak = lifetime_.weak()] {
        if (SessionStore* store = weak.get()) {
            store->setCelebration(std::nullopt);
        }
    });
}

void SessionStore::openGate(const Event& event, std::shared_ptr<GateBox> box) {
    SessionRef session = sessionFor(event);
    const std::string tool = toolOrDefault(event);
    const std::string detail = detailOf(event);
    RiskVerdict verdict = assessEvent(tool, event);
    const GateOutcome outcome =
        decider_ != nullptr ? decider_->atGate(tool, detail, verdict) : GateOutcome::askPerson;

    switch (outcome) {
        case GateOutcome::ruleAllows:
            box->resolve(Behavior::allow, kMatchedRuleMessage);
            session->setState(spriteFor(tool));
            session->setActivity("Running " + shortTool(tool));
            recordDecision(*session, AuditKind::autoAllowed, tool, detail, verdict.level,
                           AuditBy::rule);
            emitState();
            return;
        case GateOutcome::ruleDenies:
            box->resolve(Behavior::deny, kMatchedRuleMessage);
            session->setState(SpriteKind::error);
            session->setActivity("Blocked " + shortTool(tool));
            recordDecision(*session, AuditKind::autoDenied, tool, detail, verdict.level,
                           AuditBy::rule);
            emitState();
            return;
        case GateOutcome::policyAllows:
            box->resolve(Behavior::allow, kAutoApprovedMessage);
            session->setState(spriteFor(tool));
            session->setActivity("Running " + shortTool(tool));
            session->setToolCount(session->toolCount() + 1);
            recordDecision(*session, AuditKind::autoAllowed, tool, detail, verdict.level,
                           AuditBy::policy);
            emitState();
            return;
        case GateOutcome::handBack:
            // No answer at all: the agent asks in its own terminal.
            box->handBack();
            session->setState(SpriteKind::needsApproval);
            session->setActivity("Asking in its terminal");
            emitState();
            return;
        case GateOutcome::askPerson:
            break;
    }
    // Any other value waits for a person too: nothing is allowed unasked.
    session->setState(SpriteKind::needsApproval);
    session->setActivity("Waiting on you");
    gates_.push_back(
        std::make_shared<const Gate>(Gate{event.id, session->id(), tool, detail, spriteFor(tool),
                                          std::move(verdict), clock_.now(), std::move(box)}));
    changed_.notify();
    if (onGateOpened) {
        onGateOpened();
    }
    emitState();
}

void SessionStore::checkRules(const Event& event, const std::shared_ptr<GateBox>& box) {
    const std::string tool = toolOrDefault(event);
    const std::string detail = detailOf(event);
    // Only a denial is ever sent here; anything else goes on as the ordinary
    // event it also is.
    if (decider_ == nullptr || decider_->atRuleCheck(tool, detail) != GateOutcome::ruleDenies) {
        box->handBack();
        apply(event);
        return;
    }
    box->resolve(Behavior::deny, kMatchedRuleMessage);
    SessionRef session = sessionFor(event);
    session->setState(SpriteKind::error);
    session->setActivity("Blocked " + shortTool(tool));
    recordDecision(*session, AuditKind::autoDenied, tool, detail, assessEvent(tool, event).level,
                   AuditBy::rule);
    emitState();
}

void SessionStore::closeGate(const GateRef& gate, std::optional<Behavior> behavior,
                             std::string_view by) {
    if (!gate) {
        return;
    }
    GateRef keep = gate;  // the caller's reference may point into gates_
    if (std::erase_if(gates_, [&](const GateRef& g) { return g->id == keep->id; }) == 0) {
        return;
    }
    changed_.notify();
    SessionRef session = findSession(keep->sessionID);
    if (behavior) {
        if (onGateClosed) {
            onGateClosed(*behavior);
        }
        if (session) {
            recordDecision(*session,
                           *behavior == Behavior::allow ? AuditKind::approved : AuditKind::denied,
                           keep->toolName, keep->detail, keep->risk.level, by);
        }
    }
    bool sessionStillWaits = std::any_of(gates_.begin(), gates_.end(), [&](const GateRef& g) {
        return g->sessionID == keep->sessionID;
    });
    if (!sessionStillWaits) {
        std::erase_if(endedWithGates_,
                      [&](const SessionRef& s) { return s->id() == keep->sessionID; });
    }
    if (session && !sessionStillWaits) {
        if (!behavior) {
            session->setState(SpriteKind::thinking);
            session->setActivity("Working");
        } else if (*behavior == Behavior::deny) {
            session->setState(SpriteKind::error);
            session->setActivity("Blocked " + shortTool(keep->toolName));
        } else {
            session->setState(spriteFor(keep->toolName));
            session->setActivity("Running " + shortTool(keep->toolName));
        }
    }
    emitState();
}

void SessionStore::closeGate(const std::string& id) {
    closeGate(gate(id), std::nullopt);
}

void SessionStore::resolveRemotely(const std::string& id, Behavior behavior) {
    decide(id, behavior, behavior == Behavior::allow ? kPhoneApprovedMessage : kPhoneDeniedMessage,
           AuditBy::phone);
}

void SessionStore::resolveOnIsland(const std::string& id, Behavior behavior) {
    decide(id, behavior, std::nullopt, AuditBy::island);
}

void SessionStore::resolveFromTerminal(const std::string& id, Behavior behavior) {
    decide(id, behavior, std::nullopt, AuditBy::terminal);
}

void SessionStore::decide(const std::string& id, Behavior behavior,
                          std::optional<std::string> message, std::string_view by) {
    GateRef found = gate(id);
    if (!found) {
        return;
    }
    bool delivered = found->box->resolve(behavior, std::move(message));
    // Too late (the wait already ended): the agent never gets this answer, so
    // it is neither signalled nor recorded.
    closeGate(found, delivered ? std::optional(behavior) : std::nullopt, by);
}

std::optional<std::pair<SessionStore::SessionRef, SessionStore::GateRef>> SessionStore::activeGate()
    const {
    if (gates_.empty()) {
        return std::nullopt;
    }
    const GateRef& oldest = gates_.front();
    if (auto session = findSession(oldest->sessionID)) {
        return std::pair(session, oldest);
    }
    // Its session ended while it waited: the card still shows (the agent may
    // still be waiting, and every gate behind it would be hidden otherwise).
    for (const auto& ended : endedWithGates_) {
        if (ended->id() == oldest->sessionID) {
            return std::pair(ended, oldest);
        }
    }
    return std::nullopt;
}

void SessionStore::emitState() {
    queueState(true);
}

void SessionStore::queueState(bool always) {
    stateAlways_ = stateAlways_ || always;
    if (statePending_) {
        return;
    }
    statePending_ = true;
    queue_.post([weak = lifetime_.weak()] {
        if (SessionStore* store = weak.get()) {
            store->writeState();
        }
    });
}

void SessionStore::writeState() {
    statePending_ = false;
    const bool always = std::exchange(stateAlways_, false);
    const WallTime now = clock_.now();
    snapshotWriter_.submit(
        options_.snapshotPath.empty() ? defaultSnapshotPath() : options_.snapshotPath,
        snapshotText(sessions_, gates_, now), now, always);
}

void SessionStore::flushState() {
    if (statePending_) {
        writeState();
    }
    snapshotWriter_.flush();
}

}  // namespace vorla
