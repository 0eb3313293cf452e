// libFuzzer target: usage-cache.json. Whatever decodes encodes back to a cache
// that decodes to the same thing.
#include "engine/usage/usage_cache.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    auto cache = decodeUsageCache(fuzz::text(data, size));
    if (cache) {
        fuzz::check(decodeUsageCache(encodeUsageCache(*cache)) == cache);
    }
    return 0;
}
