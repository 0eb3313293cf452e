// libFuzzer target: whatever arrives on the socket must decode or be rejected
// without crashing, and whatever decodes must survive a re-encode unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    if (auto event = vorla::decodeEvent(std::string(line))) {
        auto again = vorla::decodeEvent(vorla::encode(*event));
        if (!again || !(again->id == event->id && again->toolInput == event->toolInput)) {
            std::abort();
        }
        if (event->toolInput) {
            (void)event->toolInput->preview();
        }
    }
    (void)vorla::decodeDecision(std::string(line));
    return 0;
}
