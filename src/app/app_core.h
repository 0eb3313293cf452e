// The engine half of the composition root, shared by the desktop app and
// `vorla-agents --headless`: it creates and holds for the life of the process
// the session store, preferences, learned rules, audit log, game and event
// server, sound cues and notifier, connects them through the store's
// callbacks and its gate decider, runs the 2-second refresh, and cleans up at
// termination. The desktop app adds its windows on top, and passes the audio
// output that --headless does not have.
//
// Main thread only (the thread that runs `queue`).
#pragma once

#include <memory>

#include "core/lifetime.h"
#include "engine/look/notifier.h"
#include "engine/look/sound_engine.h"
#include "engine/phone/remote_approval.h"
#include "engine/policy/prefs.h"
#include "engine/policy/rule_store.h"
#include "engine/records/audit_log.h"
#include "engine/records/game.h"
#include "engine/session/control_desk.h"
#include "engine/session/control_server.h"
#include "engine/session/server.h"
#include "engine/session/session_store.h"
#include "engine/support/clock.h"
#include "engine/support/main_queue.h"

namespace vorla::app {

// What the "up" line says about the island's screen; all zero without a window.
struct ScreenSummary {
    bool hasNotch = false;
    int notchWidth = 0;
    int notchHeight = 0;
    int screenWidth = 0;
};

class AppCore : private PersonAsk {
  public:
    // The platform's outputs; either may be null (no sound, no notifications).
    struct Outputs {
        std::unique_ptr<AudioSink> audio;
        std::unique_ptr<NotificationPoster> notifications;
        // Launch at login (the desktop's autostart entry); null: not offered.
        std::unique_ptr<LoginItems> loginItems;
    };

    // Objects are created in start-up order: store, prefs, sound (cues
    // rendered, `outputs.audio` started), rules (loaded from their file),
    // audit log, phone approvals (off), game, notifier. `queue` and `clock`
    // must outlive this.
    AppCore(MainQueue& queue, const Clock& clock, Outputs outputs = {});
    // Terminates (see terminate()).
    ~AppCore() override;
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    // Once: starts the 2-second refresh (context, then notifications), asks
    // for notification permission when notifications are on, installs the
    // store's callbacks and the game's, plays the start-up cue, starts the
    // event server (logging why when it cannot) and logs the "up" line with
    // `screen`. Later calls do nothing.
    void setUp(const ScreenSummary& screen = {});

    // Termination: the server stops accepting, the listening socket is closed
    // and its file removed; bridges still waiting see their connection close
    // and leave their agents to their default behaviour. Idempotent.
    void terminate();

    [[nodiscard]] SessionStore& store() { return store_; }
    [[nodiscard]] Prefs& prefs() { return prefs_; }
    // The launch-at-login switch's backend; null where it is not offered.
    [[nodiscard]] LoginItems* loginItems() { return loginItems_.get(); }
    [[nodiscard]] RuleStore& rules() { return rules_; }
    [[nodiscard]] AuditLog& auditLog() { return auditLog_; }
    [[nodiscard]] Game& game() { return game_; }
    [[nodiscard]] RemoteApproval& remote() { return remote_; }
    [[nodiscard]] SoundEngine& sound() { return sound_; }
    [[nodiscard]] Notifier& notifier() { return notifier_; }
    // Null until setUp(), and when the socket could not be opened.
    [[nodiscard]] Server* server() { return server_.get(); }

    // Who, besides the phone page, answers a gate that needs a person. With
    // nobody and no phone, such a gate goes straight back to the agent's own
    // prompt (logged once). Set before setUp(); the default is the window.
    enum class Answerer { window, terminal, nobody };
    void setAnswerer(Answerer answerer) { answerer_ = answerer; }

    // Period of refreshContext().
    static constexpr std::chrono::milliseconds kRefreshInterval{2000};

  private:
    void connectCallbacks();
    void scheduleRefresh();
    void startServer();
    void startControl();
    // Whether the window, a terminal or the phone can answer a gate now;
    // the first "nobody" is logged.
    [[nodiscard]] bool canAnswerNow() override;
    // Every audit record: into the log, then through the achievement rules.
    void auditAndAchieve(const AuditEntry& entry);
    void achievementUnlocked(const Achievement& achievement);

    MainQueue& queue_;

    SessionStore store_;
    FilePreferencesStore preferencesFile_;
    std::unique_ptr<LoginItems> loginItems_;  // before prefs_, which uses it
    Prefs prefs_;
    SoundEngine sound_;
    RuleStore rules_;
    AuditLog auditLog_;
    RemoteApproval remote_;  // after store_: its page reads the store
    Game game_;
    Notifier notifier_;
    GateDecider decider_;  // after rules_ and prefs_, which it reads
    std::unique_ptr<Server> server_;
    ControlDesk desk_;
    std::unique_ptr<ControlServer> control_;  // the subcommands' requests

    Answerer answerer_ = Answerer::window;
    bool toldHandBack_ = false;

    bool didSetUp_ = false;
    TimerHandle refreshTimer_;
    // Lets a pending refresh tick see that the object is gone.
    Lifetime<AppCore> lifetime_{this};
};

}  // namespace vorla::app
