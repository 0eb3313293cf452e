#include "engine/phone/remote_approval.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "core/uuid.h"
#include "engine/phone/http_message.h"
#include "engine/phone/page_address.h"
#include "engine/phone/token.h"

namespace vorla {

std::string pairingHostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    std::string host(name.data());
    std::replace(host.begin(), host.end(), ' ', '-');
    return host;
}

RemoteApproval::RemoteApproval(MainQueue& mainQueue, std::uint16_t port, phone::HttpLimits limits)
    : mainQueue_(mainQueue), limits_(limits), port_(port) {}

RemoteApproval::~RemoteApproval() {
    lifetime_.end();
    listener_.reset();
    retired_.clear();
}

std::uint16_t RemoteApproval::boundPort() const {
    return listener_ ? listener_->port() : port_;
}

Result<> RemoteApproval::enable() {
    if (enabled()) {
        return {};
    }
    reapFinished();
    token_ = phone::makeToken();
    WeakSelf<RemoteApproval> weak = lifetime_.weak();
    MainQueue* queue = &mainQueue_;
    auto handler = [weak, queue](std::string request, phone::HttpListener::Reply reply) {
        queue->post([weak, request = std::move(request), reply = std::move(reply)] {
            if (RemoteApproval* self = weak.get()) {
                reply(self->respond(request));
            }
        });
    };
    auto opened = phone::HttpListener::open(port_, handler, limits_);
    if (opened) {
        listener_ = std::move(*opened);
    } else {
        token_.clear();
    }
    changed_.notify();
    if (!opened) {
        return fail("Could not listen on port " + std::to_string(port_) + ": " +
                    opened.error().message);
    }
    return {};
}

void RemoteApproval::disable() {
    if (listener_) {
        listener_->stopListening();
        retired_.push_back(std::move(listener_));
    }
    reapFinished();
    token_.clear();
    changed_.notify();
}

void RemoteApproval::reapFinished() {
    std::erase_if(retired_, [](const auto& listener) { return listener->finished(); });
}

std::string RemoteApproval::pairingURL() const {
    return "http://" + pairingHostName() + ".local:" + std::to_string(boundPort()) +
           "/?t=" + token_;
}

std::optional<phone::QRMatrix> RemoteApproval::qrCode() const {
    return phone::qrMatrix(pairingURL());
}

std::string RemoteApproval::respond(std::string_view request) {
    return phone::serialize(answer(request));
}

phone::HttpResponse RemoteApproval::answer(std::string_view request) {
    auto parsed = phone::parseRequest(request);
    if (!parsed) {
        return phone::badRequest();
    }
    auto host = phone::headerValues(*parsed, "host");
    if (host.size() != 1 ||
        !phone::hostAllowed(host[0], pairingHostName(), phone::localAddresses(), boundPort())) {
        return phone::forbidden();
    }
    auto parameters = phone::queryParameters(parsed->target);
    if (!parameters) {
        return phone::badRequest();
    }
    if (!phone::authorised(*parameters, token_)) {
        return phone::unauthorised();
    }
    if (parsed->method != "POST") {
        return phone::ok(phone::page(gates_ ? gates_() : std::vector<phone::GateCard>{}, token_),
                         "text/html; charset=utf-8");
    }
    // A form or fetch from another page carries that page's origin.
    auto origin = phone::headerValues(*parsed, "origin");
    if (origin.size() > 1 || (origin.size() == 1 && !phone::sameOrigin(origin[0], host[0]))) {
        return phone::forbidden();
    }
    auto id = phone::parameter(*parameters, "id");
    auto action = phone::parameter(*parameters, "a");
    if (!id || !action || !isUUID(*id)) {
        return phone::badRequest();
    }
    if (onDecision_) {
        onDecision_(*id, *action == "allow" ? Behavior::allow : Behavior::deny);
    }
    return phone::ok("ok");
}

}  // namespace vorla
