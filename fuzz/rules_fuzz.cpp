// libFuzzer target: rules.json, which people edit by hand. Whatever decodes
// is written back in a form that decodes to the same rules.
#include "engine/policy/rule_store.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    auto rules = decodeRules(fuzz::text(data, size));
    if (!rules) {
        return 0;
    }
    auto again = decodeRules(encodeRules(*rules));
    fuzz::check(again && again->size() == rules->size());
    for (std::size_t i = 0; i < rules->size(); ++i) {
        const Rule& a = (*rules)[i];
        const Rule& b = (*again)[i];
        fuzz::check(a.key == b.key && a.behavior == b.behavior && a.timesFired == b.timesFired);
    }
    return 0;
}
