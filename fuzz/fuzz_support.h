// Shared pieces of the libFuzzer targets: the input as text, and a scratch
// folder (one per fuzzing process, removed at exit) for the parsers that read
// files.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace vorla::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A private folder under TMPDIR (or /tmp), created on first use and removed
// at exit. Never destroyed itself: the exit handler still needs its name.
inline const std::string& scratchDir() {
    static const std::string* dir = [] {
        const char* base = std::getenv("TMPDIR");
        auto* made =
            new std::string(std::string(base && *base ? base : "/tmp") + "/vorla-fuzz-XXXXXX");
        if (::mkdtemp(made->data()) == nullptr) {
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDir(), ignored);
        });
        return made;
    }();
    return *dir;
}

// Writes `bytes` to `path` whole (creating its folders), replacing it.
inline void writeFile(const std::string& path, std::string_view bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Stops the run with a sanitizer-style report when an invariant breaks.
inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace vorla::fuzz
