// libFuzzer target: usage-cache.json, read from a file as the store reads it.
// Whatever decodes encodes back to a cache that decodes to the same thing,
// and the file readers agree with the text decoders.
#include "engine/usage/usage_cache.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    const std::string_view text = fuzz::text(data, size);
    static const std::string path = fuzz::scratchDir() + "/usage-cache.json";
    fuzz::writeFile(path, text);
    auto cache = decodeUsageCache(text);
    auto window = decodeWindowTotal(text);
    fuzz::check(loadUsageCache(path) == cache);
    fuzz::check(loadWindowTotal(path) == window);
    if (cache) {
        fuzz::check(decodeUsageCache(encodeUsageCache(*cache, window)) == cache);
    }
    if (window) {
        fuzz::check(decodeWindowTotal(encodeUsageCache({}, window)) == window);
    }
    return 0;
}
