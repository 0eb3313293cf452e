#include "engine/support/log.h"

#include <unistd.h>

#include <string>

namespace vorla {

void logLine(std::string_view line) {
    std::string text(line);
    text.push_back('\n');
    // One write per line so that lines from several threads never interleave.
    [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace vorla
