// The application's one-line log messages. There are no levels and no log
// file: lines go to standard error (the journal under a service manager).
// Safe from any thread; each line is written with a single call.
#pragma once

#include <string_view>

namespace vorla {

void logLine(std::string_view line);

}  // namespace vorla
