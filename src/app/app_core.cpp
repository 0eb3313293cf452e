#include "app/app_core.h"

#include <algorithm>
#include <string>

#include "app/phone_wiring.h"
#include "core/unix_socket.h"
#include "engine/support/log.h"

namespace vorla::app {

AppCore::AppCore(MainQueue& queue, const Clock& clock, Outputs outputs)
    : queue_(queue),
      store_(queue, clock),
      loginItems_(std::move(outputs.loginItems)),
      prefs_(preferencesFile_, loginItems_.get()),
      sound_(std::move(outputs.audio), [this] { return prefs_.soundEnabled(); }),
      rules_(clock),
      auditLog_(clock),
      remote_(queue),
      game_(clock),
      notifier_(queue, std::move(outputs.notifications)),
      decider_(rules_, prefs_, *this),
      desk_(store_, rules_, clock) {}

AppCore::~AppCore() {
    terminate();
}

void AppCore::setUp(const ScreenSummary& screen) {
    if (didSetUp_) {
        return;
    }
    didSetUp_ = true;
    scheduleRefresh();
    if (prefs_.notifyEnabled()) {
        notifier_.requestAuth();
    }
    connectCallbacks();
    wirePhoneApprovals(remote_, store_);
    sound_.play(Cue::launch);
    startServer();
    startControl();
    logLine(std::string("Vorla Agents up. notch=") + (screen.hasNotch ? "true" : "false") +
            " w=" + std::to_string(screen.notchWidth) + " h=" + std::to_string(screen.notchHeight) +
            " screen=" + std::to_string(screen.screenWidth));
}

void AppCore::connectCallbacks() {
    // The store and the game are members of this object, so their callbacks
    // cannot outlive it; `this` is safe to capture.
    store_.setDecider(decider_);
    store_.onGateOpened = [this] { sound_.play(Cue::needsApproval); };
    notifier_.gateOf = [this](const std::string& sessionId) {
        for (const auto& gate : store_.gates()) {
            if (gate->sessionID == sessionId) {
                return gate->id;  // the oldest: the one the island shows first
            }
        }
        return std::string();
    };
    store_.onGateClosed = [this](Behavior behavior) {
        sound_.play(behavior == Behavior::allow ? Cue::approved : Cue::denied);
    };
    store_.onSessionDone = [this] {
        sound_.play(Cue::done);
        game_.agentCompleted();
    };
    store_.audit = [this](const AuditEntry& entry) { auditAndAchieve(entry); };
    game_.onAchievement = [this](const Achievement& achievement) {
        achievementUnlocked(achievement);
    };
}

void AppCore::achievementUnlocked(const Achievement& achievement) {
    sound_.play(Cue::launch);
    notifier_.notifyAchievement(achievement, prefs_.notifyEnabled());
}

bool AppCore::canAnswerNow() {
    if (answerer_ != Answerer::nobody || remote_.enabled()) {
        return true;
    }
    if (!toldHandBack_) {
        toldHandBack_ = true;
        logLine(
            "Vorla Agents: no window, no phone approvals (VORLA_REMOTE=1) and no --hold, so "
            "approvals that need you go back to the agent's own prompt");
    }
    return false;
}

void AppCore::auditAndAchieve(const AuditEntry& entry) {
    auditLog_.record(entry);
    auto live = std::count_if(store_.sessions().begin(), store_.sessions().end(),
                              [](const auto& s) { return s->state() != SpriteKind::done; });
    game_.applyEntryRules(entry, static_cast<int>(live));
}

void AppCore::scheduleRefresh() {
    refreshTimer_ = queue_.postAfter(kRefreshInterval, [weak = lifetime_.weak()] {
        if (AppCore* self = weak.get()) {
            self->store_.refreshContext();
            self->notifier_.observe(self->store_.sessions(), self->prefs_.notifyEnabled());
            self->scheduleRefresh();
        }
    });
}

void AppCore::startServer() {
    server_ = std::make_unique<Server>(store_, queue_);
    try {
        server_->start();
    } catch (const UnixSocket::Error& error) {
        logLine("Vorla Agents: could not open socket: " + error.describe());
        server_.reset();
    }
}

void AppCore::startControl() {
    control_ = std::make_unique<ControlServer>(
        queue_, [this](std::string_view line, const UnixSocket::Peer& caller) {
            return desk_.answer(line, caller.pid)
                .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        });
    try {
        control_->start();
    } catch (const UnixSocket::Error& error) {
        // The app still works without it; only the subcommands cannot reach it.
        logLine("Vorla Agents: could not open the command socket: " + error.describe());
        control_.reset();
    }
}

void AppCore::terminate() {
    refreshTimer_.cancel();
    if (control_) {
        control_->stop();
    }
    if (server_) {
        server_->stop();
    }
}

}  // namespace vorla::app
