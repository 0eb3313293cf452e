// Phone approvals: a plain-HTTP page on the local network that lists the open
// gates and takes Allow/Deny decisions, guarded by a random token that is
// part of the pairing address.
//
// Main thread only (the thread that runs `mainQueue`). The I/O thread of the
// listener hands every request to the main thread through the queue; the page
// is built and decisions are delivered there, so the gate source and the
// decision handler run on the main thread too.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/lifetime.h"
#include "core/protocol.h"
#include "core/result.h"
#include "engine/phone/http_listener.h"
#include "engine/phone/http_message.h"
#include "engine/phone/page.h"
#include "engine/phone/qr_code.h"
#include "engine/support/main_queue.h"
#include "engine/support/observable.h"

namespace vorla {

class RemoteApproval {
  public:
    // The open gates in the store's order, as cards. Unset: the store is gone
    // and the page is empty.
    using GateSource = std::function<std::vector<phone::GateCard>()>;
    using DecisionHandler = std::function<void(const std::string& gateID, Behavior behavior)>;

    static constexpr std::uint16_t kDefaultPort = 8787;

    explicit RemoteApproval(MainQueue& mainQueue, std::uint16_t port = kDefaultPort,
                            phone::HttpLimits limits = {});
    ~RemoteApproval();
    RemoteApproval(const RemoteApproval&) = delete;
    RemoteApproval& operator=(const RemoteApproval&) = delete;

    [[nodiscard]] bool enabled() const { return listener_ != nullptr; }
    // Empty while disabled.
    [[nodiscard]] const std::string& token() const { return token_; }
    // The port to listen on; read at enable() (0 asks for any free port).
    [[nodiscard]] std::uint16_t port() const { return port_; }
    void setPort(std::uint16_t port) { port_ = port; }
    // The port actually listened on while enabled, else port().
    [[nodiscard]] std::uint16_t boundPort() const;

    void setGateSource(GateSource source) { gates_ = std::move(source); }
    void setOnDecision(DecisionHandler handler) { onDecision_ = std::move(handler); }

    // New token, then listen on all interfaces. Nothing when already enabled.
    // Fails with "Could not listen on port <n>: <why>".
    [[nodiscard]] Result<> enable();
    // Stops listening and forgets the token; accepted connections finish.
    void disable();

    // "http://<host>.local:<port>/?t=<token>"
    [[nodiscard]] std::string pairingURL() const;
    [[nodiscard]] std::optional<phone::QRMatrix> qrCode() const;

    // The whole HTTP response to one request's text.
    [[nodiscard]] std::string respond(std::string_view request);

    // Called when enabled or token change, and after every enable().
    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changed_.subscribe(std::move(onChange));
    }

  private:
    [[nodiscard]] phone::HttpResponse answer(std::string_view request);
    void reapFinished();

    MainQueue& mainQueue_;
    const phone::HttpLimits limits_;
    std::uint16_t port_;
    std::string token_;
    GateSource gates_;
    DecisionHandler onDecision_;
    std::unique_ptr<phone::HttpListener> listener_;
    // Disabled listeners still finishing their connections.
    std::vector<std::unique_ptr<phone::HttpListener>> retired_;
    // Requests in flight hold this weakly: once we are gone they are dropped.
    Lifetime<RemoteApproval> lifetime_{this};
    ChangeNotifier changed_;
};

// The computer's name for the pairing address: gethostname() with spaces as
// "-", or "localhost".
[[nodiscard]] std::string pairingHostName();

}  // namespace vorla
