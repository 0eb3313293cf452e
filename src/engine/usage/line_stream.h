// Streams a large text file line by line in big blocks, so memory follows the
// longest line rather than the file. Any thread; no shared state.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vorla {

struct StreamedLine {
    const char* data = nullptr;
    std::size_t size = 0;      // without the line feed
    std::size_t capacity = 0;  // readable bytes from data on; at least size + 64
};

// Calls `visit` for every non-empty line ("\n"-separated) that contains
// `marker`, in file order; with an empty marker, for every non-empty line.
// Lines without the marker are never split out: the search runs over whole
// blocks. The line is valid only during the call. False when the file cannot
// be opened or read (lines already visited stay visited).
bool forEachLine(const std::string& path, std::string_view marker,
                 const std::function<void(const StreamedLine&)>& visit);

}  // namespace vorla
