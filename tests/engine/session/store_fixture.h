// A session store on a manual clock and a loop queue under a temporary HOME,
// with events built by verbs and every callback recorded, and the parts of a
// gate decider (real rules and preferences) for the tests that install it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "core/uuid.h"
#include "engine/policy/prefs.h"
#include "engine/policy/rule_store.h"
#include "engine/session/gate_decider.h"
#include "engine/session/session_store.h"
#include "support/eventually.h"
#include "support/manual_clock.h"
#include "support/temp_home.h"

// Tests name only the fields they care about ({.kind = ..., .tool = ...});
// GCC 12 warns about the rest even though they have defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vorla::test {

struct EventSpec {
    Canonical kind = Canonical::other;
    std::optional<std::string> sessionID = "s1";
    Source source = Source::claude;
    std::optional<std::string> tool;
    std::optional<std::string> command;  // becomes toolInput {"command": ...}
    std::optional<std::string> cwd = "/work/app";
    std::optional<std::string> transcript;
};

inline Event makeEvent(const EventSpec& spec) {
    Event event;
    event.id = randomUUID();
    event.source = spec.source;
    event.event = spec.kind;
    event.rawEvent = std::string(rawValue(spec.kind));
    event.sessionID = spec.sessionID;
    event.cwd = spec.cwd;
    event.toolName = spec.tool;
    if (spec.command) {
        event.toolInput = JSONValue(nlohmann::json{{"command", *spec.command}});
    }
    event.transcriptPath = spec.transcript;
    event.terminal.termProgram = "tmux";
    return event;
}

// Whether a person can answer, as the test sets it; counts the questions.
class TestPerson final : public PersonAsk {
  public:
    bool canAnswerNow() override {
        ++asked;
        return present;
    }
    bool present = true;
    int asked = 0;
};

class StoreTest : public ::testing::Test {
  protected:
    StoreTest() {
        store.onGateOpened = [this] { ++gatesOpened; };
        store.onGateClosed = [this](Behavior b) { closedWith.push_back(b); };
        store.onSessionDone = [this] { ++sessionsDone; };
        store.audit = [this](const AuditEntry& entry) { audited.push_back(entry); };
    }

    Event send(const EventSpec& spec) {
        Event event = makeEvent(spec);
        store.apply(event);
        return event;
    }

    // Opens a gate for `spec` and returns its box.
    std::shared_ptr<GateBox> gate(EventSpec spec, std::string* id = nullptr) {
        spec.kind = Canonical::permissionRequest;
        Event event = makeEvent(spec);
        event.gating = true;
        if (id != nullptr) {
            *id = event.id;
        }
        auto box = std::make_shared<GateBox>();
        store.openGate(event, box);
        return box;
    }

    [[nodiscard]] std::shared_ptr<Session> only() const {
        EXPECT_EQ(store.sessions().size(), 1u);
        return store.sessions().empty() ? nullptr : store.sessions().front();
    }

    // Runs the queue's tasks until `condition` holds (work posted from other
    // threads arrives meanwhile); false after ten seconds.
    bool waitUntil(const std::function<bool()>& condition) {
        return test::eventually([&] {
            queue.runPending();
            return condition();
        });
    }

    // The file as it stands once the queued write has run.
    [[nodiscard]] nlohmann::json snapshot() {
        queue.runPending();
        store.flushState();
        auto text = home.read(".vorla-agents/run/state.json");
        return text ? nlohmann::json::parse(*text) : nlohmann::json();
    }

    TempHome home;
    ManualClock clock;
    LoopMainQueue queue{clock};
    SessionStore store{queue, clock};
    // Not installed by default (store.setDecider(decider)): without it every
    // gate waits for a person.
    RuleStore rules{clock};
    MemoryPreferencesStore preferences;
    Prefs prefs{preferences};
    TestPerson person;
    GateDecider decider{rules, prefs, person};

    int gatesOpened = 0;
    int sessionsDone = 0;
    std::vector<Behavior> closedWith;
    std::vector<AuditEntry> audited;
};

}  // namespace vorla::test
