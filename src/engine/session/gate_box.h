// The rendezvous between a server connection thread, which waits for a
// decision, and the main thread, where a rule, the policy, the island or the
// phone gives it. The first decision wins; later ones are ignored.
//
// Safe from any thread; shared (shared_ptr) by the server and the gate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <optional>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "engine/support/process_tree.h"
#include "engine/support/thread_annotations.h"

namespace vorla {

// Reason texts sent with decisions, beginning with the product name.
inline constexpr const char* kMatchedRuleMessage = "Vorla Agents: matched your rule";
inline constexpr const char* kAutoApprovedMessage = "Vorla Agents: auto-approved (safe)";
inline constexpr const char* kPhoneApprovedMessage = "Vorla Agents: approved from your phone";
inline constexpr const char* kPhoneDeniedMessage = "Vorla Agents: denied from your phone";
inline constexpr const char* kNoResponseMessage = "Vorla Agents: no response, denied by default";
inline constexpr const char* kInternalErrorMessage =
    "Vorla Agents: internal error, denied for safety";

class GateBox {
  public:
    // Stores the decision and wakes the waiter, unless one is already
    // stored, the box was handed back or abandoned, or the wait has already
    // ended (the answer could no longer reach the agent). Returns whether
    // this call's decision was the one stored.
    bool resolve(Behavior behavior, std::optional<std::string> message);

    // Blocks until a decision is stored, the box is handed back or abandoned,
    // or `timeout` has passed; true unless the time ran out. Leaves the box open
    // (the waiter calls wait() at the end).
    [[nodiscard]] bool waitFor(std::chrono::steady_clock::duration timeout);

    // Blocks until a decision is stored, the box is handed back or
    // abandoned, or `timeout` has passed, then closes the box to later
    // decisions. Returns the stored decision if there is one (even one that
    // arrived just as the time ran out); otherwise a denial with
    // kNoResponseMessage after a time-out and kInternalErrorMessage when the
    // box was handed back or abandoned (a handed-back box's waiter sends
    // nothing: check handedBack()).
    [[nodiscard]] Decision wait(std::chrono::steady_clock::duration timeout);

    // Wakes the waiter without a decision (the server is shutting down, or
    // the bridge went away) and refuses later decisions.
    void abandon();

    // Nobody here can answer (or, at a rule check, nothing to say): wakes
    // the waiter without a decision, refuses later decisions, and the server
    // closes the connection without an answer, so the agent goes on by
    // itself (asks in its own terminal) at once.
    void handBack();
    [[nodiscard]] bool handedBack() const;

    [[nodiscard]] std::optional<Decision> decision() const;

    // The agent process that waits on this gate, as the server found it
    // behind the bridge's connection, and the session markers in the
    // bridge's environment: a process under the agent, or carrying one of
    // its markers, may not answer.
    void setAgent(ProcessIdentity agent, std::vector<std::string> markers);
    [[nodiscard]] std::optional<ProcessIdentity> agent() const;
    [[nodiscard]] std::vector<std::string> agentMarkers() const;

  private:
    mutable Mutex mutex_;
    std::condition_variable signalled_;
    std::optional<Decision> decision_ VORLA_GUARDED_BY(mutex_);
    bool abandoned_ VORLA_GUARDED_BY(mutex_) = false;
    bool handedBack_ VORLA_GUARDED_BY(mutex_) = false;
    bool finished_ VORLA_GUARDED_BY(mutex_) = false;  // the wait has returned
    std::optional<ProcessIdentity> agent_ VORLA_GUARDED_BY(mutex_);
    std::vector<std::string> agentMarkers_ VORLA_GUARDED_BY(mutex_);
};

}  // namespace vorla
