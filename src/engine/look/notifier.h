// Desktop notifications about sessions: "<agent> needs you" when a session
// starts waiting for the user, "<agent> finished" when one is done, and the
// achievement notifications. It does not listen to events: every 2 seconds
// the composition root hands it the session list and compares each session's
// state with the one it saw the time before.
//
// Notifier: main thread only (the thread that runs `queue`).
// NotificationPoster: called from the main thread; must never block it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/lifetime.h"
#include "engine/records/game.h"
#include "engine/session/session.h"
#include "engine/support/main_queue.h"

namespace vorla {

// The platform's notification service.
class NotificationPoster {
  public:
    virtual ~NotificationPoster() = default;
    // Asks whether notifications can be shown. `answer` is called exactly
    // once, on any thread, possibly after a while.
    virtual void requestAuth(std::function<void(bool granted)> answer) = 0;
    // Shows a notification now, without sound. Returns at once; a
    // notification the service refuses is dropped silently.
    virtual void post(std::string title, std::string body) = 0;
    // "Needs you" for the open gate `gateId`: where the service can, with
    // buttons that answer it. By default an ordinary notification.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): overrides keep the id
    virtual void postGate(std::string title, std::string body, std::string gateId) {
        (void)gateId;
        post(std::move(title), std::move(body));
    }
};

class Notifier {
  public:
    // `poster` may be null (a build without notifications): never authorised.
    // `queue` must outlive this.
    Notifier(MainQueue& queue, std::unique_ptr<NotificationPoster> poster);
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    // Asks the poster once; the answer is stored on the main thread. Later
    // calls do nothing.
    void requestAuth();

    // Posts on the transitions that matter, when `enabled` and authorised,
    // and remembers every session's state in any case. The first call only
    // remembers. With `enabled` and permission never asked for (the setting
    // was off at start), asks now, so the next transitions are posted.
    void observe(const std::vector<std::shared_ptr<Session>>& sessions, bool enabled);

    // "🏆 <name>" with the achievement's detail as body, when `enabled` and
    // authorised.
    void notifyAchievement(const Achievement& achievement, bool enabled);

    [[nodiscard]] bool authorized() const { return authorized_; }

    // The id of the gate session `sessionId` waits at, or "" (a question
    // asked in the terminal): set by the composition root.
    std::function<std::string(const std::string& sessionId)> gateOf;

  private:
    void postTransition(const Session& session);

    MainQueue& queue_;
    std::unique_ptr<NotificationPoster> poster_;

    std::unordered_map<std::string, std::string> lastState_;
    bool seeded_ = false;
    bool authorized_ = false;
    bool authRequested_ = false;
    // Lets an answer that arrives late see that the notifier is gone.
    Lifetime<Notifier> lifetime_{this};
};

}  // namespace vorla
