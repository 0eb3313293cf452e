// The addresses the phone page answers to. A browser names the address it
// thinks it is talking to in Host; a web page that rebinds its own DNS name to
// this computer still sends its own name there, so anything but our own
// addresses is someone else's page reaching in. Safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::phone {

// The machine's interface addresses as a Host header writes them
// ("192.168.1.20", "[fe80::1]"), loopback always included; read afresh, as
// addresses come and go with the network.
[[nodiscard]] std::vector<std::string> localAddresses();

// `host` (a Host header value) is "<hostName>.local", "localhost" or one of
// `addresses`, followed by ":<port>". Names compare case-blind.
[[nodiscard]] bool hostAllowed(std::string_view host, std::string_view hostName,
                               const std::vector<std::string>& addresses, std::uint16_t port);

// `origin` (an Origin header value) is the page's own: "http://" + `host`.
[[nodiscard]] bool sameOrigin(std::string_view origin, std::string_view host);

}  // namespace vorla::phone
