#include "engine/look/notifier.h"

#include "engine/support/path_component.h"

namespace vorla {

namespace {

bool isWaiting(SpriteKind state) {
    return state == SpriteKind::needsApproval || state == SpriteKind::question ||
           state == SpriteKind::planReview;
}

}  // namespace

Notifier::Notifier(MainQueue& queue, std::unique_ptr<NotificationPoster> poster)
    : queue_(queue), poster_(std::move(poster)) {}

void Notifier::requestAuth() {
    if (authRequested_ || !poster_) {
        return;
    }
    authRequested_ = true;
    poster_->requestAuth([&queue = queue_, weak = lifetime_.weak()](bool granted) {
        queue.post([weak, granted] {
            if (Notifier* self = weak.get()) {
                self->authorized_ = granted;
            }
        });
    });
}

void Notifier::observe(const std::vector<std::shared_ptr<Session>>& sessions, bool enabled) {
    std::unordered_map<std::string, std::string> current;
    for (const auto& session : sessions) {
        current[session->id()] = std::string(rawValue(session->state()));
    }
    if (seeded_ && enabled && authorized_) {
        for (const auto& session : sessions) {
            auto before = lastState_.find(session->id());
            if (before != lastState_.end() && before->second != rawValue(session->state())) {
                postTransition(*session);
            }
        }
    }
    if (enabled) {
        requestAuth();
    }
    lastState_ = std::move(current);
    seeded_ = true;
}

void Notifier::postTransition(const Session& session) {
    std::string agent(displayName(session.source()));
    std::string project = lastPathComponent(session.cwd());
    if (isWaiting(session.state())) {
        std::string gate = gateOf ? gateOf(session.id()) : std::string();
        std::string title = agent + " needs you";
        std::string body = session.activity() + " · " + project;
        if (gate.empty()) {
            poster_->post(std::move(title), std::move(body));
        } else {
            poster_->postGate(std::move(title), std::move(body), std::move(gate));
        }
    } else if (session.state() == SpriteKind::done) {
        poster_->post(agent + " finished", project);
    }
}

void Notifier::notifyAchievement(const Achievement& achievement, bool enabled) {
    if (enabled && authorized_) {
        poster_->post("🏆 " + achievement.name, achievement.detail);
    }
}

}  // namespace vorla
