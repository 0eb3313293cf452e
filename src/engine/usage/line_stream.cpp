#include "engine/usage/line_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <cstring>
#include <memory>
#include <vector>

#include "core/unique_fd.h"

namespace vorla {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// Smaller files read in one block of their own size: most transcripts are a
// few kilobytes, and two megabytes per file is what dominated their scan.
constexpr std::size_t kMinimumBlock = 4096;
// simdjson reads up to this far past the end of a document.
constexpr std::size_t kPadding = 64;

// A growable byte window: [begin, end) holds unprocessed bytes, with room for
// padding after the capacity.
class Window {
  public:
    explicit Window(std::size_t block) : block_(block) { allocate(2 * block_); }

    [[nodiscard]] char* data() { return bytes_.get(); }
    [[nodiscard]] std::size_t capacity() const { return capacity_; }

    // Makes room for at least one more block after `end` by moving the
    // unprocessed bytes to the front, or growing when one line fills it all.
    void makeRoom(std::size_t& begin, std::size_t& end) {
        if (capacity_ - end >= block_) {
            return;
        }
        std::size_t pending = end - begin;
        if (pending + block_ > capacity_) {
            std::size_t size = capacity_;
            while (pending + block_ > size) {
                size *= 2;
            }
            auto bigger = std::make_unique<char[]>(size + kPadding);
            std::memcpy(bigger.get(), bytes_.get() + begin, pending);
            bytes_ = std::move(bigger);
            capacity_ = size;
        } else {
            std::memmove(bytes_.get(), bytes_.get() + begin, pending);
        }
        begin = 0;
        end = pending;
    }

  private:
    void allocate(std::size_t size) {
        // Not zeroed: only bytes that were read are ever looked at.
        bytes_.reset(new char[size + kPadding]);
        std::memset(bytes_.get() + size, 0, kPadding);
        capacity_ = size;
    }

    const std::size_t block_;
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
};

// Candidate positions are those where two bytes of the marker (its second
// and its last but one) both match, tested 16 or 32 at a time; only those are
// compared whole. Far faster than memmem on JSON, where quotes are everywhere.
#if defined(__x86_64__)
const char* scanTail(const char* p, const char* last, std::string_view marker) {
    for (; p <= last; ++p) {
        if (std::memcmp(p, marker.data(), marker.size()) == 0) {
            return p;
        }
    }
    return nullptr;
}

const char* firstMatch(const char* p, unsigned mask, std::string_view marker) {
    for (; mask != 0; mask &= mask - 1) {
        const char* at = p + __builtin_ctz(mask);
        if (std::memcmp(at, marker.data(), marker.size()) == 0) {
            return at;
        }
    }
    return nullptr;
}

__attribute__((target("avx2"))) const char* findAvx2(const char* p, const char* last,
                                                     std::string_view marker) {
    const std::size_t a = 1;
    const std::size_t b = marker.size() - 2;
    const __m256i first = _mm256_set1_epi8(marker[a]);
    const __m256i second = _mm256_set1_epi8(marker[b]);
    for (; p + 31 <= last; p += 32) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + a));
        __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + b));
        auto mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(x, first), _mm256_cmpeq_epi8(y, second))));
        if (mask != 0) {
            if (const char* hit = firstMatch(p, mask, marker)) {
                return hit;
            }
        }
    }
    return scanTail(p, last, marker);
}

const char* findSse2(const char* p, const char* last, std::string_view marker) {
    const std::size_t a = 1;
    const std::size_t b = marker.size() - 2;
    const __m128i first = _mm_set1_epi8(marker[a]);
    const __m128i second = _mm_set1_epi8(marker[b]);
    for (; p + 15 <= last; p += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + a));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + b));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, second))));
        if (mask != 0) {
            if (const char* hit = firstMatch(p, mask, marker)) {
                return hit;
            }
        }
    }
    return scanTail(p, last, marker);
}
#endif

const char* findMarker(const char* from, const char* to, std::string_view marker) {
    if (static_cast<std::size_t>(to - from) < marker.size()) {
        return nullptr;
    }
#if defined(__x86_64__)
    if (marker.size() >= 3) {
        static const bool avx2 = __builtin_cpu_supports("avx2");
        const char* last = to - marker.size();  // the last possible start
        return avx2 ? findAvx2(from, last, marker) : findSse2(from, last, marker);
    }
#endif
    return static_cast<const char*>(
        memmem(from, static_cast<std::size_t>(to - from), marker.data(), marker.size()));
}

const char* lineStartBefore(const char* hit, const char* floor) {
    const void* newline = memrchr(floor, '\n', static_cast<std::size_t>(hit - floor));
    return newline ? static_cast<const char*>(newline) + 1 : floor;
}

}  // namespace

bool forEachLine(const std::string& path, std::span<const std::string_view> markers,
                 LineSelection selection,
                 const std::function<LineSelection(const StreamedLine&)>& visit) {
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return false;
    }
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    struct stat info {};
    std::size_t block = kBlockSize;
    if (fstat(file.get(), &info) == 0 && info.st_size >= 0) {
        // One more byte than the file, so its end is seen by the first read.
        block = std::clamp(static_cast<std::size_t>(info.st_size) + 1, kMinimumBlock, kBlockSize);
    }
    Window window(block);
    std::size_t begin = 0;     // first byte of the current, unfinished line
    std::size_t end = 0;       // end of the bytes read
    std::size_t searched = 0;  // the current line holds no marker before this

    std::size_t longestMarker = 0;
    for (std::string_view marker : markers) {
        longestMarker = std::max(longestMarker, marker.size());
    }

    // Visits the wanted lines among the complete lines [from, to).
    auto visitComplete = [&](const char* base, std::size_t from, std::size_t searchFrom,
                             std::size_t to) {
        const char* floor = base + from;
        const char* limit = base + to;
        const char* cursor = base + searchFrom;
        // Next hit of each marker at or after the cursor (nullptr: none left),
        // so each marker's search passes over the bytes once.
        std::vector<const char*> hits(markers.size(), floor - 1);
        while (cursor < limit) {
            const char* start;
            if (selection == LineSelection::all) {
                start = cursor;
            } else {
                const char* hit = nullptr;
                for (std::size_t k = 0; k < markers.size(); ++k) {
                    if (hits[k] != nullptr && hits[k] < cursor) {
                        hits[k] = findMarker(cursor, limit, markers[k]);
                    }
                    if (hits[k] != nullptr && (hit == nullptr || hits[k] < hit)) {
                        hit = hits[k];
                    }
                }
                if (hit == nullptr) {
                    return;
                }
                start = lineStartBefore(hit, floor);
            }
            const void* newline = memchr(start, '\n', static_cast<std::size_t>(limit - start));
            const char* stop = newline ? static_cast<const char*>(newline) : limit;
            if (stop > start) {
                std::size_t size = static_cast<std::size_t>(stop - start);
                std::size_t capacity =
                    window.capacity() + kPadding - static_cast<std::size_t>(start - base);
                selection = visit(StreamedLine{start, size, capacity});
            }
            cursor = stop + 1;
            floor = cursor;
        }
    };

    for (;;) {
        window.makeRoom(begin, end);
        // makeRoom may have moved the bytes; searched is relative to begin.
        ssize_t n = read(file.get(), window.data() + end, window.capacity() - end);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        char* base = window.data();
        if (n == 0) {
            // The last line may lack its line feed.
            if (end > begin) {
                std::memset(base + end, 0, window.capacity() + kPadding - end);
                visitComplete(base, begin, begin + searched, end);
            }
            return true;
        }
        std::size_t previousEnd = end;
        end += static_cast<std::size_t>(n);
        const void* last = memrchr(base + previousEnd, '\n', end - previousEnd);
        if (last == nullptr) {
            // Still inside one long line: remember how far it is known to be
            // free of the marker, so it is not searched again.
            std::size_t length = end - begin;
            if (selection == LineSelection::marked && length >= longestMarker) {
                searched = length - (longestMarker - 1);
            }
            continue;
        }
        std::size_t complete = static_cast<std::size_t>(static_cast<const char*>(last) - base);
        visitComplete(base, begin, begin + searched, complete);
        begin = complete + 1;
        searched = 0;
    }
}

}  // namespace vorla
