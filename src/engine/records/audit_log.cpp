#include "engine/records/audit_log.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/paths.h"
#include "core/protocol.h"
#include "core/unique_fd.h"
#include "engine/support/atomic_file.h"
#include "engine/support/calendar.h"

namespace vorla {

namespace {

// Appends one line, creating the file (0600) when it is missing. Never
// replaces: an existing day's history is never at risk. If a crash left the
// last line without its line feed, one is added first so the new line stays
// readable. A write that stops part-way (a full disk) is cut off again, so
// the file never ends in half an entry.
// A symbolic link or anything but a regular file in its place is left alone
// (the entry stays in memory only): appending through a planted link would
// write into whatever file it names.
void appendLine(const std::string& path, const std::string& line) {
    const UniqueFd fd = openOwnFile(path, O_WRONLY | O_APPEND | O_CREAT);
    if (!fd) {
        return;
    }
    struct stat info {};
    char last = '\n';
    const bool sized = ::fstat(fd.get(), &info) == 0;
    if (sized && info.st_size > 0) {
        const UniqueFd reader = openOwnFile(path, O_RDONLY);
        if (reader && ::pread(reader.get(), &last, 1, info.st_size - 1) != 1) {
            last = '\n';
        }
    }
    if (!writeAll(fd.get(), last == '\n' ? line : "\n" + line) && sized) {
        (void)::ftruncate(fd.get(), info.st_size);
    }
}

// Names in `directory`, or nullopt when it cannot be listed.
std::optional<std::vector<std::string>> listNames(const std::string& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(dir)) {
        names.emplace_back(item->d_name);
    }
    ::closedir(dir);
    return names;
}

// Spreadsheets run a cell that starts like a formula, and a detail is
// whatever an agent was told to run: such a cell is written as text, behind
// a leading apostrophe.
bool startsLikeAFormula(std::string_view text) {
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

void appendCSVField(std::string& out, std::string_view text) {
    out += '"';
    if (startsLikeAFormula(text)) {
        out += '\'';
    }
    for (char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

// Bare as stored, unless the text would break the row (a comma, a quote or a
// line break): then quoted like the detail.
void appendPlainField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        if (startsLikeAFormula(text)) {
            out += '\'';
        }
        out += text;
    } else {
        appendCSVField(out, text);
    }
}

std::string csvRow(const AuditEntry& entry) {
    std::string row = iso8601UTC(entry.ts);
    for (std::string_view field : {std::string_view(entry.agent), std::string_view(entry.project),
                                   entry.kindText(), std::string_view(entry.tool)}) {
        row += ',';
        appendPlainField(row, field);
    }
    row += ',';
    row += entry.risk ? std::to_string(*entry.risk) : "-1";
    row += ',';
    appendCSVField(row, entry.detail);
    return row;
}

std::string displayNameOf(const std::string& agent) {
    auto source = sourceFromRaw(agent);
    return source ? std::string(displayName(*source)) : agent;
}

std::string dayFile(const std::string& directory, WallTime time) {
    return directory + "/" + dayKey(time) + ".jsonl";
}

// Appends the entries of `file`, in file order.
void readDayFile(const std::string& file, std::vector<AuditEntry>& into) {
    if (auto text = readOwnFile(file)) {
        decodeAuditLines(*text, [&](AuditEntry&& entry) { into.push_back(std::move(entry)); });
    }
}

}  // namespace

int AuditLog::Score::trustPercent() const {
    if (approved + denied == 0) {
        return 100;
    }
    return approved * 100 / (approved + denied);
}

AuditLog::AuditLog(const Clock& clock, std::string directory)
    : clock_(clock), directory_(directory.empty() ? auditDir() : std::move(directory)) {
    load();
}

std::string AuditLog::fileFor(WallTime time) const {
    return dayFile(directory_, time);
}

void AuditLog::load() {
    (void)ensurePrivateDirectory(directory_);
    auto text = readOwnFile(fileFor(clock_.now()));
    if (!text) {
        return;
    }
    std::vector<AuditEntry> entries;
    decodeAuditLines(*text, [&](AuditEntry&& entry) { entries.push_back(std::move(entry)); });
    std::reverse(entries.begin(), entries.end());
    today_ = std::move(entries);
    changes_.notify();
}

void AuditLog::record(const AuditEntry& entry) {
    today_.insert(today_.begin(), entry);
    if (today_.size() > kTodayLimit) {
        today_.pop_back();
    }
    if (ensurePrivateDirectory(directory_)) {
        appendLine(fileFor(entry.ts), encodeAuditLine(entry) + "\n");
    }
    changes_.notify();
}

std::vector<AuditEntry> readRecentAudit(const std::string& directory, WallTime now, int days) {
    std::vector<AuditEntry> read;
    for (int i = 0; i < days; ++i) {
        readDayFile(dayFile(directory, now - std::chrono::seconds(std::int64_t{86400} * i)), read);
    }
    // Sort small (stamp, position) pairs and move each entry once: sorting
    // the entries themselves moved seven strings per step.
    std::vector<std::pair<WallTime, std::size_t>> order;
    order.reserve(read.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        order.emplace_back(read[i].ts, i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<AuditEntry> result;
    result.reserve(read.size());
    for (const auto& [ts, index] : order) {
        result.push_back(std::move(read[index]));
    }
    return result;
}

std::vector<AuditEntry> AuditLog::recent(int days) const {
    return readRecentAudit(directory_, clock_.now(), days);
}

std::string auditCSV(const std::vector<std::string>& files) {
    std::string csv = "timestamp,agent,project,event,tool,risk,detail";
    for (const std::string& file : files) {
        auto text = readOwnFile(file);
        if (!text) {
            continue;
        }
        decodeAuditLines(*text, [&](AuditEntry&& entry) {
            csv += '\n';
            csv += csvRow(entry);
        });
    }
    return csv;
}

Result<std::string> AuditLog::exportCSV() const {
    return exportAuditCSV(directory_);
}

Result<std::string> exportAuditCSV(const std::string& directory) {
    (void)ensurePrivateDirectory(directory);
    auto names = listNames(directory);
    if (!names) {
        return fail("Could not export: the audit folder cannot be read.");
    }
    std::erase_if(*names, [](const std::string& name) { return !name.ends_with(".jsonl"); });
    std::sort(names->begin(), names->end());
    std::vector<std::string> files;
    for (const std::string& name : *names) {
        files.push_back(directory);
        files.back().append("/").append(name);
    }
    const char* name = "vorla-agents-audit.csv";
    std::string target = desktopDirectory() + "/" + name;
    if (!writeFileAtomically(target, auditCSV(files))) {
        return fail(std::string("Could not save ") + name + " to your Desktop.");
    }
    return target;
}

std::vector<AuditLog::Score> AuditLog::scoreboard() const {
    std::vector<Score> scores;
    for (const AuditEntry& entry : today_) {
        auto it = std::find_if(scores.begin(), scores.end(),
                               [&](const Score& s) { return s.agent == entry.agent; });
        if (it == scores.end()) {
            scores.push_back(Score{entry.agent, displayNameOf(entry.agent)});
            it = scores.end() - 1;
        }
        if (entry.kind == AuditKind::tool) {
            ++it->toolsRun;
        } else if (entry.kind == AuditKind::approved) {
            ++it->approved;
        } else if (isDenial(entry.kind)) {
            ++it->denied;
        } else if (entry.kind == AuditKind::autoAllowed) {
            ++it->autoAllowed;
            ++it->approved;
        }
        if (entry.riskAtLeast(Risk::elevated)) {
            ++it->risky;
        }
    }
    std::stable_sort(scores.begin(), scores.end(),
                     [](const Score& a, const Score& b) { return a.toolsRun > b.toolsRun; });
    return scores;
}

int AuditLog::clicksSaved() const {
    return static_cast<int>(std::count_if(today_.begin(), today_.end(),
                                          [](const AuditEntry& e) { return isAutomatic(e.kind); }));
}

}  // namespace vorla
