// libFuzzer target: the phone page's HTTP request, the only input open to the
// network. Every request gets one whole response whose Content-Length is right,
// and text from outside never reaches the page unescaped. "TOKEN" in the input
// stands for the pairing token and "HOST" for an address the page answers to,
// so the fuzzer also reaches the pages behind them.
#include <string>
#include <vector>

#include "core/text.h"
#include "engine/phone/page.h"
#include "engine/phone/remote_approval.h"
#include "engine/support/main_queue.h"
#include "fuzz_support.h"

namespace {

using namespace vorla;

std::string replaced(std::string text, std::string_view name, const std::string& value) {
    for (std::size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + value.size())) {
        text.replace(at, name.size(), value);
    }
    return text;
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
            phone::GateCard card{"0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10",
                                 "Claude Code",
                                 lastRequest,
                                 lastRequest,
                                 Risk::critical,
                                 {lastRequest},
                                 lastRequest};
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
    const std::string request =
        replaced(replaced(std::string(input), "TOKEN", approval->token()), "HOST",
                 "localhost:" + std::to_string(approval->boundPort()));
    checkWhole(approval->respond(request));

    const std::string escaped = phone::escapeHTML(input);
    fuzz::check(escaped.find_first_of("<>\"") == std::string::npos);
    const std::string visible = visibleText(input);
    fuzz::check(isValidUTF8(visible) && visible.find_first_of("\r\n\x1b\x7f") == std::string::npos);
    (void)withoutCutCharacter(input);
    (void)isValidUTF8(input);
    return 0;
}
