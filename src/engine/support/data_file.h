// One of our small JSON files that the user may also edit by hand
// (rules.json, game.json, prefs.json). Reading remembers whether the file
// existed but could not be used; the first write after that keeps the old
// file beside the new one as "<name>.corrupt-<UTC stamp>", so a typo in a
// hand-edited file is never silently destroyed by the next save.
//
// Not thread-safe: used by the one thread that owns the store holding it
// (the main thread for every store in this application).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/support/atomic_file.h"
#include "engine/support/clock.h"

namespace vorla {

class DataFile {
  public:
    explicit DataFile(std::string path, const Clock& clock = SystemClock::shared());

    [[nodiscard]] const std::string& path() const { return path_; }

    // The whole file; nullopt when it is missing or cannot be read. A file
    // that exists but cannot be read is kept aside before the next write.
    [[nodiscard]] std::optional<std::string> read();

    // The caller could not decode what read() returned: keep it aside before
    // the next write.
    void markUndecodable() { keepAside_ = true; }

    // Replaces the file atomically (synced: it is the user's data). Fails,
    // leaving the file as it was, when the write fails or when a file to be
    // kept aside cannot be moved out of the way.
    [[nodiscard]] Result<> write(std::string_view contents);

  private:
    [[nodiscard]] Result<> moveAside();

    std::string path_;
    const Clock& clock_;
    bool keepAside_ = false;
};

}  // namespace vorla
