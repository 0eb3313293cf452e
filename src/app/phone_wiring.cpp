#include "app/phone_wiring.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/phone/gate_cards.h"
#include "engine/support/log.h"

namespace vorla::app {

namespace {

// VORLA_REMOTE_PORT when it is a port number; else the default, said aloud.
std::uint16_t portFromEnvironment() {
    const char* text = std::getenv("VORLA_REMOTE_PORT");
    if (text == nullptr || *text == '\0') {
        return RemoteApproval::kDefaultPort;
    }
    std::string_view value(text);
    unsigned port = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (error != std::errc() || end != value.data() + value.size() || port > 65535) {
        logLine("VORLA_REMOTE_PORT is not a port number (0-65535): " + std::string(value) +
                "; using 8787");
        return RemoteApproval::kDefaultPort;
    }
    return static_cast<std::uint16_t>(port);
}

// The address with its token goes to the terminal only: log lines end up in
// the journal, where anyone allowed to read it could answer the agents.
void showPairing(const RemoteApproval& remote) {
    logLine("Phone approvals on port " + std::to_string(remote.boundPort()) +
            " (plain HTTP, every interface); the address to open is on the terminal");
    std::string text = "\n";
    if (auto code = remote.qrCode()) {
        text += "Scan with your phone to answer approvals from it:\n\n" +
                phone::terminalBlocks(*code) + "\n";
    }
    text += "VORLA_REMOTE_URL " + remote.pairingURL() + "\n\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

void wirePhoneApprovals(RemoteApproval& remote, SessionStore& store) {
    remote.setGateSource([&store] { return phone::gateCards(store); });
    remote.setOnDecision([&store](const std::string& id, Behavior behavior) {
        store.resolveRemotely(id, behavior);
    });
    const char* wanted = std::getenv("VORLA_REMOTE");
    if (wanted == nullptr || std::string_view(wanted) != "1") {
        return;
    }
    remote.setPort(portFromEnvironment());
    if (auto enabled = remote.enable(); !enabled) {
        logLine(enabled.error().message);
        return;
    }
    showPairing(remote);
}

}  // namespace vorla::app
