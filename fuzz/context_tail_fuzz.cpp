// libFuzzer target: the tail of a live transcript that the context meter reads
// (it may start in the middle of a line). A reading, when there is one, counts
// at least one token.
#include "engine/usage/context_meter.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    static const std::string path = fuzz::scratchDir() + "/tail.jsonl";
    fuzz::writeFile(path, fuzz::text(data, size));
    if (auto usage = ContextMeter::parse(path, 200000)) {
        fuzz::check(usage->used >= 1 && usage->limit == 200000);
    }
    return 0;
}
