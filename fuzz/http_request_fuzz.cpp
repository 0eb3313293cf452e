// libFuzzer target: the phone page's HTTP request, the only input open to the
// network. Every request gets one whole response whose Content-Length is right,
// and text from outside never reaches the page unescaped. "TOKEN" in the input
// stands for the pairing token, so the fuzzer also reaches the pages behind it.
#include <string>
#include <vector>

#include "core/text.h"
#include "engine/phone/page.h"
#include "engine/phone/remote_approval.h"
#include "engine/support/main_queue.h"
#include "fuzz_support.h"

namespace {

using namespace vorla;

std::string withToken(std::string_view input, const std::string& token) {
    std::string out(input);
    for (std::size_t at = out.find("TOKEN"); at != std::string::npos;
         at = out.find("TOKEN", at + token.size())) {
        out.replace(at, 5, token);
    }
    return out;
}

void checkWhole(const std::string& response) {
    fuzz::check(response.rfind("HTTP/1.1 ", 0) == 0);
    const std::size_t end = response.find("\r\n\r\n");
    fuzz::check(end != std::string::npos);
    const std::size_t length = response.find("Content-Length: ");
    fuzz::check(length != std::string::npos && length < end);
    fuzz::check(std::stoul(response.substr(length + 16)) == response.size() - end - 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static LoopMainQueue queue;
    static std::string lastRequest;
    static RemoteApproval* approval = [] {
        auto* made = new RemoteApproval(queue, 0);
        made->setGateSource([] {
            phone::GateCard card{"gate-1",       "Claude Code", lastRequest, lastRequest,
                                 Risk::critical, {lastRequest}, lastRequest};
            return std::vector<phone::GateCard>{card};
        });
        made->setOnDecision([](const std::string&, Behavior) {});
        if (!made->enable()) {
            std::abort();  // no port to be had: nothing would be fuzzed
        }
        return made;
    }();
    const std::string_view input = fuzz::text(data, size);
    lastRequest = std::string(input);
    checkWhole(approval->respond(withToken(input, approval->token())));

    const std::string escaped = phone::escapeHTML(input);
    fuzz::check(escaped.find_first_of("<>\"") == std::string::npos);
    (void)withoutCutCharacter(input);
    (void)isValidUTF8(input);
    return 0;
}
