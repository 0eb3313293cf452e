// libFuzzer target: any hook payload the bridge reads must give an event (or
// nothing) without crashing, and the event must encode to one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "bridge/bridge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string payload(reinterpret_cast<const char*>(data), size);
    auto noEnv = [](const char*) -> std::optional<std::string> { return std::nullopt; };
    auto event = vorla::bridge::buildEvent(vorla::Source::grok, std::move(payload), noEnv,
                                           {"ID", vorla::TerminalContext{}, 1.0});
    if (event && vorla::encode(*event).find('\n') != std::string::npos) {
        std::abort();
    }
    return 0;
}
