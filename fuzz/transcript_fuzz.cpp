// libFuzzer target: agent transcripts (Claude Code sessions and Codex
// rollouts), JSON Lines written by programs we do not control. Both scanners
// read the same bytes; whatever they count is never negative.
#include "engine/usage/transcript_scan.h"
#include "fuzz_support.h"

namespace {

void checkCounts(const vorla::UsageBuckets& buckets) {
    for (const auto& [day, models] : buckets) {
        for (const auto& [model, usage] : models) {
            vorla::fuzz::check(usage.messages >= 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    static const std::string path = fuzz::scratchDir() + "/transcript.jsonl";
    fuzz::writeFile(path, fuzz::text(data, size));
    auto claude = TranscriptScan::claudeScan(path);
    checkCounts(claude.buckets);
    checkCounts(TranscriptScan::codexUsage(path));
    return 0;
}
