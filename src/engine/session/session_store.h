// The one store of live sessions and open approval gates: turns every event
// from an agent into a change of a session, sequences approval gates (its
// GateDecider says whether a rule, the policy or a person answers; the server's
// wait ends in the time-out), and publishes the state snapshot after every
// change (see emitState).
//
// Main thread only: the server and the phone reach it through MainQueue::post.
// Observable: subscribe() fires synchronously after a change of sessions,
// gates or celebration (setting an equal value does not fire); each Session
// has its own subscription for its fields.
// Operations never fail: missing event fields take defaults.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/lifetime.h"
#include "core/protocol.h"
#include "engine/policy/risk_engine.h"
#include "engine/records/audit_entry.h"
#include "engine/session/gate_decider.h"
#include "engine/session/gates.h"
#include "engine/session/session.h"
#include "engine/session/snapshot_writer.h"
#include "engine/support/clock.h"
#include "engine/support/main_queue.h"
#include "engine/support/observable.h"

namespace vorla {

class SessionStore {
  public:
    using SessionRef = std::shared_ptr<Session>;
    using GateRef = std::shared_ptr<const Gate>;

    struct Options {
        // How long a celebration shows.
        std::chrono::milliseconds celebrationDuration{1600};
        // A done session is pruned once its last event is strictly older.
        std::chrono::milliseconds pruneAfter{25000};
        // Context window assumed for every session's meter reading.
        std::int64_t contextLimit = 200000;
        // Where the snapshot goes; empty: defaultSnapshotPath() at each write.
        std::string snapshotPath;
    };

    // `queue` runs the celebration timer; both must outlive the store.
    SessionStore(MainQueue& queue, const Clock& clock);
    SessionStore(MainQueue& queue, const Clock& clock, Options options);
    ~SessionStore();
    SessionStore(const SessionStore&) = delete;
    SessionStore& operator=(const SessionStore&) = delete;

    // Callbacks, set once by the composition root before the server starts.
    // An unset callback is skipped. They run synchronously inside the store's
    // operations and must not change sessions or gates re-entrantly.
    std::function<void()> onGateOpened;            // a gate waits for a person
    std::function<void(Behavior)> onGateClosed;    // a person or phone decided
    std::function<void()> onSessionDone;           // a session first reached done
    std::function<void(const AuditEntry&)> audit;  // every audit record

    // What answers a gate before a person (rule, policy) and whether a person
    // can; set once by the composition root before the server starts, and it
    // must outlive the store's use. Without one every gate waits for a person
    // and a rule check hands every call back: nothing is allowed unasked.
    void setDecider(GateDecider& decider) { decider_ = &decider; }

    // Observable state.
    [[nodiscard]] const std::vector<SessionRef>& sessions() const { return sessions_; }
    [[nodiscard]] const std::vector<GateRef>& gates() const { return gates_; }
    [[nodiscard]] std::optional<Source> celebration() const { return celebration_; }

    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changed_.subscribe(std::move(onChange));
    }

    // Ingests one non-gating event.
    void apply(const Event& event);
    // Finds (by sessionID, else "<source>-unknown") or creates the event's
    // session and refreshes cwd, transcriptPath and lastSeen from it.
    SessionRef sessionFor(const Event& event);
    // Re-reads every session's context use, prunes done sessions, writes the
    // snapshot. Run every 2 seconds. The transcript tails are read on a
    // thread of the store's own (a slow or network disk must not hold up the
    // main thread) and the readings applied in a task posted back here; a
    // refresh while the previous read is still under way reads nothing.
    void refreshContext();
    // A context read is under way: its readings are not applied yet.
    [[nodiscard]] bool readingContext() const { return readingContext_; }
    // Working folders shared by at least two sessions that are not done, sorted.
    [[nodiscard]] std::vector<std::string> conflicts() const;
    // Shows `source`'s celebration for celebrationDuration (a new one replaces it).
    void celebrate(Source source);

    // The gate path. openGate answers `box` at once by rule or policy, hands
    // it back when nobody can answer, or queues a Gate for a person.
    void openGate(const Event& event, std::shared_ptr<GateBox> box);
    // A Claude Code or Codex pre-tool-use (isRuleCheck): a learned deny rule
    // answers `box` with a denial, recorded like a rule's denial at a gate;
    // anything else hands the box back at once (no allow is ever sent there)
    // and the event is applied as an ordinary one.
    void checkRules(const Event& event, const std::shared_ptr<GateBox>& box);
    // Removes the gate (idempotent) and, with a behavior, signals and records
    // it as given `by` (AuditBy).
    void closeGate(const GateRef& gate, std::optional<Behavior> behavior, std::string_view by = {});
    void closeGate(const std::string& id);
    // A decision from the phone page; unknown ids are ignored. A decision
    // that comes after the server's wait has ended (time-out) closes the gate
    // without being signalled or recorded: the agent never received it.
    void resolveRemotely(const std::string& id, Behavior behavior);
    // The island's Allow/Deny buttons: the same, without a reason text.
    void resolveOnIsland(const std::string& id, Behavior behavior);
    // `vorla-agents allow` / `deny`: the same as the island, recorded so.
    void resolveFromTerminal(const std::string& id, Behavior behavior);
    // The oldest gate with its session; absent when there is no gate or the
    // oldest gate's session is gone.
    [[nodiscard]] std::optional<std::pair<SessionRef, GateRef>> activeGate() const;
    [[nodiscard]] GateRef gate(const std::string& id) const;

    // Publishes the snapshot: the file is rewritten once the work already
    // queued on the main thread has run, so a burst of events costs one
    // write and every change is in the file a moment later. The text is
    // printed on the main thread and written by a thread of the store's own.
    void emitState();
    // Writes a queued snapshot now and returns once the file holds it
    // (tests; the store's end).
    void flushState();

  private:
    [[nodiscard]] SessionRef findSession(std::string_view id) const;
    void removeSession(const std::string& id);
    void recordTool(const Session& session, const Event& event);
    void recordDecision(const Session& session, AuditKind kind, const std::string& tool,
                        const std::string& detail, Risk risk, std::string_view by);
    void setCelebration(std::optional<Source> source);
    void decide(const std::string& id, Behavior behavior, std::optional<std::string> message,
                std::string_view by);
    // Queues a snapshot write; `always`: even when only "ts" would change.
    void queueState(bool always);
    void writeState();
    void applyContext(const std::vector<std::pair<std::string, ContextUsage>>& readings);

    MainQueue& queue_;
    const Clock& clock_;
    const Options options_;
    GateDecider* decider_ = nullptr;  // null: ask a person

    std::vector<SessionRef> sessions_;
    std::vector<GateRef> gates_;
    // Sessions that ended while a gate of theirs still waits: no longer listed
    // or updated, only kept so that the island can show that gate's card (and
    // the cards queued behind it) until it closes.
    std::vector<SessionRef> endedWithGates_;
    std::optional<Source> celebration_;
    TimerHandle celebrationTask_;
    bool statePending_ = false;  // a snapshot write is queued
    bool stateAlways_ = false;   // and it is for a change, not the refresh
    // Lets a pending celebration timer see that the store is gone.
    Lifetime<SessionStore> lifetime_{this};

    ChangeNotifier changed_;
    SnapshotWriter snapshotWriter_;

    bool readingContext_ = false;
    std::thread contextReader_;  // joined before the next read and at the end
};

}  // namespace vorla
