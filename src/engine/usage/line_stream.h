// Streams a large text file line by line in big blocks, so memory follows the
// longest line rather than the file. Any thread; no shared state.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vorla {

struct StreamedLine {
    const char* data = nullptr;
    std::size_t size = 0;      // without the line feed
    std::size_t capacity = 0;  // readable bytes from data on; at least size + 64
};

enum class LineSelection {
    all,     // every non-empty line
    marked,  // only lines that contain one of the markers
};

// Calls `visit` for the wanted non-empty lines ("\n"-separated), in file
// order; `visit` returns which lines it wants from then on, starting with
// `selection`. Unwanted lines are never split out: the marker search runs
// over whole blocks. The line is valid only during the call. False when the
// file cannot be opened or read (lines already visited stay visited).
bool forEachLine(const std::string& path, std::span<const std::string_view> markers,
                 LineSelection selection,
                 const std::function<LineSelection(const StreamedLine&)>& visit);

}  // namespace vorla
