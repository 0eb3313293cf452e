#include "engine/usage/opencode_db.h"

#include <simdjson.h>
#include <sqlite3.h>

#include <memory>
#include <string_view>

#include "engine/usage/token_count.h"
#include "engine/usage/transcript_scan.h"

namespace vorla::OpenCodeDB {

namespace {

namespace dom = simdjson::dom;

// How long a read waits for OpenCode to finish a write before giving up.
constexpr int kBusyMilliseconds = 250;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// The tokens of one message's JSON, or nothing when it is not an answer.
bool readMessage(dom::parser& parser, std::string_view json, std::string& model, DayUsage& out) {
    dom::element root;
    std::string_view role;
    dom::element tokens;
    if (parser.parse(json).get(root) != simdjson::SUCCESS ||
        root["role"].get(role) != simdjson::SUCCESS || role != "assistant" ||
        root["tokens"].get(tokens) != simdjson::SUCCESS || !tokens.is_object()) {
        return false;
    }
    std::string_view id;
    // An identifier is never that long: a longer one is cut, not carried along.
    model = TranscriptScan::shortModel(
        root["modelID"].get(id) == simdjson::SUCCESS ? id.substr(0, 128) : "");
    std::int64_t input = tokenCount(tokens["input"]);
    std::int64_t output = tokenCount(tokens["output"]);
    std::int64_t reasoning = tokenCount(tokens["reasoning"]);
    std::int64_t cacheRead = tokenCount(tokens["cache"]["read"]);
    std::int64_t cacheWrite = tokenCount(tokens["cache"]["write"]);
    // Reasoning is billed as output; where the total already holds it in
    // the output count it is not added twice.
    bool inside = tokenCount(tokens["total"]) == input + output + cacheRead + cacheWrite;
    out = DayUsage{input, output + (inside ? 0 : reasoning), cacheWrite, cacheRead, 1};
    return true;
}

}  // namespace

std::optional<UsageBuckets> usage(const std::string& path, WallTime since) {
    sqlite3* raw = nullptr;
    int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(raw);
    if (opened != SQLITE_OK) {
        return {};
    }
    sqlite3_busy_timeout(db.get(), kBusyMilliseconds);
    // time_created is in milliseconds since the epoch.
    constexpr std::string_view kQuery =
        "SELECT strftime('%Y-%m-%d', time_created / 1000, 'unixepoch'), data FROM message "
        "WHERE time_created >= ?1 AND typeof(data) = 'text'";
    sqlite3_stmt* prepared = nullptr;
    int prepare = sqlite3_prepare_v2(db.get(), kQuery.data(), static_cast<int>(kQuery.size()),
                                     &prepared, nullptr);
    Statement statement(prepared);
    if (prepare == SQLITE_BUSY || prepare == SQLITE_LOCKED) {
        return std::nullopt;
    }
    if (prepare != SQLITE_OK) {
        return UsageBuckets{};  // not OpenCode's database (no message table)
    }
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since.time_since_epoch());
    sqlite3_bind_int64(statement.get(), 1, millis.count());
    UsageBuckets result;
    dom::parser parser;
    std::string model;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const auto* day = sqlite3_column_text(statement.get(), 0);
        const auto* data = sqlite3_column_text(statement.get(), 1);
        int size = sqlite3_column_bytes(statement.get(), 1);
        DayUsage counts;
        if (day == nullptr || data == nullptr ||
            !readMessage(parser, {reinterpret_cast<const char*>(data), static_cast<size_t>(size)},
                         model, counts)) {
            continue;
        }
        result[reinterpret_cast<const char*>(day)][model] += counts;
    }
    if (step != SQLITE_DONE) {
        return std::nullopt;
    }
    return result;
}

}  // namespace vorla::OpenCodeDB
