#include "app/cli/cli_support.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "core/text.h"
#include "core/unique_fd.h"
#include "core/unix_socket.h"

namespace vorla::app {

namespace {

// A busy app answers in microseconds; this only guards against a hung one.
constexpr int kAnswerTimeoutSeconds = 15;

// Display width of UTF-8 text: continuation bytes take no column.
std::size_t columns(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string cut(const std::string& text, std::size_t width) {
    if (columns(text) <= width) {
        return text;
    }
    if (width == 0) {
        return "";
    }
    std::string out;
    std::size_t used = 0;
    for (char c : text) {
        bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (starts && ++used > width - 1) {
            break;
        }
        out += c;
    }
    return out + "\u2026";
}

}  // namespace

Result<nlohmann::json> askApp(const ControlRequest& request) {
    // Only the user's own app: another user's listener in its place would
    // see every request and could answer anything.
    auto connected = UnixSocket::tryConnectOwned(controlSocketPath());
    if (!connected) {
        return fail(
            "Vorla Agents is not running (start it with 'vorla-agents --headless --hold' or "
            "'make run')",
            appNotRunning);
    }
    const UniqueFd fd(*connected);
    timeval tv{kAnswerTimeoutSeconds, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    nlohmann::json reply;
    try {
        UnixSocket::writeLine(fd.get(), encodeRequest(request));
        if (auto line = UnixSocket::readLine(fd.get(), kMaxReplyBytes)) {
            reply = nlohmann::json::parse(*line, nullptr, false);
        }
    } catch (const UnixSocket::Error&) {
        // Left without a reply: reported as no answer.
    }
    if (!reply.is_object()) {
        return fail("Vorla Agents did not answer on " + controlSocketPath(), appSilent);
    }
    if (!reply.value("ok", false)) {
        auto error = reply.find("error");
        return fail(error != reply.end() && error->is_string() ? error->get<std::string>()
                                                               : "the app could not do that",
                    appRefused);
    }
    return reply;
}

int reportFailure(const Error& error) {
    // The app's refusal can quote what an agent sent (an approval's id).
    std::fprintf(stderr, "vorla-agents: %s\n", visibleText(error.message).c_str());
    return error.code == appRefused ? kExitFailed : kExitNotRunning;
}

int usageError(std::string_view command, const std::string& message) {
    std::fprintf(stderr, "vorla-agents %.*s: %s\nTry 'vorla-agents %.*s --help'.\n",
                 static_cast<int>(command.size()), command.data(), message.c_str(),
                 static_cast<int>(command.size()), command.data());
    return kExitUsage;
}

bool isHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

JsonOption parseJsonOption(std::string_view command, const char* help, int argc, char** argv) {
    JsonOption option;
    for (int i = 1; i < argc && !option.exitStatus; ++i) {
        const std::string_view arg = argv[i];
        if (isHelp(arg)) {
            std::fputs(help, stdout);
            option.exitStatus = 0;
        } else if (arg == "--json") {
            option.json = true;
        } else {
            option.exitStatus = usageError(command, "unknown option '" + std::string(arg) + "'");
        }
    }
    return option;
}

int terminalWidth() {
    if (::isatty(STDOUT_FILENO) == 0) {
        return 0;
    }
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return 80;
    }
    return size.ws_col;
}

std::string formatTable(const Row& header, const std::vector<Row>& given) {
    std::vector<Row> rows = given;
    for (Row& row : rows) {
        for (std::string& cell : row) {
            cell = visibleText(cell);
        }
    }
    std::vector<std::size_t> widths(header.size(), 0);
    auto measure = [&](const Row& row) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], columns(row[i]));
        }
    };
    measure(header);
    std::for_each(rows.begin(), rows.end(), measure);
    std::size_t lead = 0;
    for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
        lead += widths[i] + 2;
    }
    const int width = terminalWidth();
    const std::size_t last =
        width > 0 ? static_cast<std::size_t>(std::max<int>(width - static_cast<int>(lead), 10))
                  : std::string::npos;
    std::string out;
    auto print = [&](const Row& row) {
        std::string line;
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            if (i + 1 == widths.size()) {
                line += cut(row[i], last);
            } else {
                line += row[i] + std::string(widths[i] - columns(row[i]) + 2, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        out += line + "\n";
    };
    print(header);
    std::for_each(rows.begin(), rows.end(), print);
    return out;
}

std::string shortDuration(double seconds) {
    auto s = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    char text[32];
    if (s < 60) {
        std::snprintf(text, sizeof text, "%llds", s);
    } else if (s < 3600) {
        std::snprintf(text, sizeof text, "%lldm %llds", s / 60, s % 60);
    } else if (s < 86400) {
        std::snprintf(text, sizeof text, "%lldh %lldm", s / 3600, (s % 3600) / 60);
    } else {
        std::snprintf(text, sizeof text, "%lldd %lldh", s / 86400, (s % 86400) / 3600);
    }
    return text;
}

void printJson(const nlohmann::json& json) {
    std::printf("%s\n",
                json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

}  // namespace vorla::app
