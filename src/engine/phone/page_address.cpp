#include "engine/phone/page_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>

#include "core/text.h"

namespace vorla::phone {

namespace {

std::string addressText(const sockaddr* address) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        if (::inet_ntop(AF_INET, &v4->sin_addr, text.data(), text.size()) != nullptr) {
            return text.data();
        }
    } else if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (::inet_ntop(AF_INET6, &v6->sin6_addr, text.data(), text.size()) != nullptr) {
            return "[" + std::string(text.data()) + "]";
        }
    }
    return {};
}

}  // namespace

std::vector<std::string> localAddresses() {
    std::vector<std::string> addresses = {"127.0.0.1", "[::1]"};
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr) {
            continue;
        }
        std::string text = addressText(entry->ifa_addr);
        if (!text.empty() &&
            std::find(addresses.begin(), addresses.end(), text) == addresses.end()) {
            addresses.push_back(std::move(text));
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

bool hostAllowed(std::string_view host, std::string_view hostName,
                 const std::vector<std::string>& addresses, std::uint16_t port) {
    const std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() || !host.ends_with(suffix)) {
        return false;
    }
    const std::string name = asciiLower(host.substr(0, host.size() - suffix.size()));
    if (name == "localhost" || name == asciiLower(hostName) + ".local") {
        return true;
    }
    return std::any_of(addresses.begin(), addresses.end(),
                       [&](const std::string& address) { return asciiLower(address) == name; });
}

bool sameOrigin(std::string_view origin, std::string_view host) {
    return asciiLower(origin) == "http://" + asciiLower(host);
}

}  // namespace vorla::phone
