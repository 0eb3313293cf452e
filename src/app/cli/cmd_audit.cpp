// `vorla-agents audit [--day YYYY-MM-DD] [--json]` prints a day of the audit
// log; `vorla-agents audit export [PATH]` writes the whole history as CSV.
// Both read the files directly: the log is only ever appended to.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "core/paths.h"
#include "core/unique_fd.h"
#include "engine/records/audit_log.h"
#include "engine/support/atomic_file.h"
#include "engine/support/calendar.h"

namespace vorla::app {

namespace {

const char* kAuditHelp =
    "Usage: vorla-agents audit [--day YYYY-MM-DD] [--json]\n"
    "       vorla-agents audit export [PATH]\n"
    "\n"
    "Prints a day of the audit log (today unless --day), oldest first: every tool\n"
    "run and every approval decision. 'export' writes the whole history as CSV to\n"
    "PATH (default: vorla-agents-audit.csv on your desktop) and says where.\n"
    "\n"
    "  --day DAY  the local day to print\n"
    "  --json     one JSON object per entry, one per line, as stored\n"
    "  -h, --help show this help\n";

std::string localClock(WallTime time) {
    std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

int printDay(const std::string& day, bool json) {
    auto start =
        day.empty() ? std::optional(startOfDay(SystemClock::shared().now())) : dayFromKey(day);
    if (!start) {
        return usageError("audit", "'" + day + "' is not a day (YYYY-MM-DD)");
    }
    AuditLog log(SystemClock::shared());
    const std::string path = log.fileFor(*start);
    auto text = readOwnFile(path);
    if (!text) {
        std::fprintf(stderr, "vorla-agents: no audit entries for %s (no file %s)\n",
                     dayKey(*start).c_str(), path.c_str());
        return kExitFailed;
    }
    std::vector<AuditEntry> entries;
    // Lines that do not decode (invalid UTF-8 included) are skipped.
    decodeAuditLines(*text, [&](AuditEntry&& e) { entries.push_back(std::move(e)); });
    if (json) {
        for (const AuditEntry& entry : entries) {
            std::printf("%s\n", encodeAuditLine(entry).c_str());
        }
        return 0;
    }
    if (entries.empty()) {
        std::printf("No audit entries for %s.\n", dayKey(*start).c_str());
        return 0;
    }
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (const AuditEntry& e : entries) {
        rows.push_back({localClock(e.ts), e.agent, e.project, std::string(e.kindText()),
                        e.risk ? std::to_string(*e.risk) : "-", e.by.empty() ? "-" : e.by,
                        e.tool + (e.detail.empty() ? "" : ": ") + e.detail});
    }
    std::fputs(
        formatTable({"TIME", "AGENT", "PROJECT", "EVENT", "RISK", "BY", "WHAT"}, rows).c_str(),
        stdout);
    return 0;
}

int exportCSV(std::string target) {
    if (target.empty()) {
        target = desktopDirectory() + "/vorla-agents-audit.csv";
    }
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(auditDir(), error)) {
        if (item.path().extension() == ".jsonl") {
            files.push_back(item.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    const std::string csv = auditCSV(files);
    if (std::filesystem::is_directory(target, error)) {
        target += "/vorla-agents-audit.csv";
    }
    if (!writeFileAtomically(target, csv)) {
        std::fprintf(stderr, "vorla-agents: could not write %s\n", target.c_str());
        return kExitFailed;
    }
    const auto rows = std::count(csv.begin(), csv.end(), '\n');
    std::printf("Wrote %ld audit entries to %s\n", static_cast<long>(rows), target.c_str());
    return 0;
}

}  // namespace

int runAudit(int argc, char** argv) {
    bool json = false;
    std::string day;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (isHelp(arg)) {
            std::fputs(kAuditHelp, stdout);
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--day" && i + 1 < argc) {
            day = argv[++i];
        } else if (arg.starts_with("--day=")) {
            day = arg.substr(6);
        } else if (arg == "--day") {
            return usageError("audit", "--day needs a day (YYYY-MM-DD)");
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return usageError("audit", "unknown option '" + std::string(arg) + "'");
        } else {
            words.emplace_back(arg);
        }
    }
    if (words.empty()) {
        return printDay(day, json);
    }
    if (words[0] != "export") {
        return usageError("audit", "unknown subcommand '" + words[0] + "'");
    }
    if (words.size() > 2 || json || !day.empty()) {
        return usageError("audit", "export takes only an optional PATH");
    }
    return exportCSV(words.size() == 2 ? words[1] : std::string());
}

}  // namespace vorla::app
