// libFuzzer target: audit log files (JSON Lines, appended to for months, maybe
// cut short by a crash or edited by hand). Every entry read is written back as
// a line that reads as the same entry.
#include <string>

#include "engine/records/audit_entry.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    (void)decodeAuditLines(fuzz::text(data, size), [](AuditEntry&& entry) {
        const std::string line = encodeAuditLine(entry);
        fuzz::check(line.find('\n') == std::string::npos);
        int count = 0;
        (void)decodeAuditLines(line, [&](AuditEntry&& again) {
            ++count;
            fuzz::check(again == entry);
        });
        fuzz::check(count == 1);
        (void)entry.id();
    });
    return 0;
}
