// libFuzzer target: the tool calls an agent asks the gate about. The first
// line is the tool name, the rest its detail. Grading never fails, always
// gives a reason, and never calls something read-only that it could not read
// whole or that substitutes.
#include "engine/policy/risk_engine.h"
#include "engine/policy/shell_parse.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    const std::string_view input = fuzz::text(data, size);
    const std::size_t newline = input.find('\n');
    const std::string_view tool = input.substr(0, std::min(newline, input.size()));
    const std::string_view detail =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    const std::optional<std::string> cwd = std::string("/p");

    const RiskVerdict verdict = RiskEngine::assess(tool, detail, cwd);
    fuzz::check(!verdict.reasons.empty());
    fuzz::check(verdict == RiskEngine::assess(tool, detail, cwd));

    const ShellScript script = parseShell(detail);
    const RiskVerdict asCommand = RiskEngine::assess("Bash", detail, cwd);
    if (asCommand.level == Risk::trivial) {
        fuzz::check(script.complete && !script.substitutes);
    }
    if (RiskEngine::allowRuleMayAnswer("Bash", detail)) {
        fuzz::check(asCommand.level != Risk::critical && !script.compound);
    }
    (void)RiskEngine::unlearnableReason(tool, detail);
    (void)RiskEngine::commandRuleKeys(tool, detail);
    return 0;
}
