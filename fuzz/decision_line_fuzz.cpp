// libFuzzer target: the decision line the bridge reads back from the socket,
// and what it then prints for the agent. Any line decodes or is refused; what
// decodes re-encodes to itself, and every answer is one line of JSON.
#include <nlohmann/json.hpp>
#include <string>

#include "bridge/bridge.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    auto decision = decodeDecision(std::string(fuzz::text(data, size)));
    if (!decision) {
        return 0;
    }
    fuzz::check(decodeDecision(encode(*decision)) == decision);
    for (Source source : kAllSources) {
        for (Canonical event : {Canonical::preToolUse, Canonical::permissionRequest}) {
            bridge::Answer answer = bridge::answerFor(source, event, *decision);
            fuzz::check(answer.out.find('\n') == std::string::npos);
            fuzz::check(answer.out.empty() || nlohmann::json::accept(answer.out));
        }
    }
    return 0;
}
