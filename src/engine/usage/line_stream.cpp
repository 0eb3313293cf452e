#include "engine/usage/line_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace vorla {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// simdjson reads up to this far past the end of a document.
constexpr std::size_t kPadding = 64;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int get() const { return fd_; }

  private:
    int fd_;
};

// A growable byte window: [begin, end) holds unprocessed bytes, with room for
// padding after the capacity.
class Window {
  public:
    Window() { allocate(2 * kBlockSize); }

    [[nodiscard]] char* data() { return bytes_.get(); }
    [[nodiscard]] std::size_t capacity() const { return capacity_; }

    // Makes room for at least one more block after `end` by moving the
    // unprocessed bytes to the front, or growing when one line fills it all.
    void makeRoom(std::size_t& begin, std::size_t& end) {
        if (capacity_ - end >= kBlockSize) {
            return;
        }
        std::size_t pending = end - begin;
        if (pending + kBlockSize > capacity_) {
            std::size_t size = capacity_;
            while (pending + kBlockSize > size) {
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

    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
};

const char* findMarker(const char* from, const char* to, std::string_view marker) {
    if (static_cast<std::size_t>(to - from) < marker.size()) {
        return nullptr;
    }
    return static_cast<const char*>(
        memmem(from, static_cast<std::size_t>(to - from), marker.data(), marker.size()));
}

const char* lineStartBefore(const char* hit, const char* floor) {
    const void* newline = memrchr(floor, '\n', static_cast<std::size_t>(hit - floor));
    return newline ? static_cast<const char*>(newline) + 1 : floor;
}

}  // namespace

bool forEachLine(const std::string& path, std::string_view marker,
                 const std::function<void(const StreamedLine&)>& visit) {
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return false;
    }
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Window window;
    std::size_t begin = 0;     // first byte of the current, unfinished line
    std::size_t end = 0;       // end of the bytes read
    std::size_t searched = 0;  // the current line holds no marker before this

    // Visits the lines with a marker among complete lines [from, to).
    auto visitComplete = [&](const char* base, std::size_t from, std::size_t searchFrom,
                             std::size_t to) {
        const char* floor = base + from;
        const char* limit = base + to;
        const char* cursor = base + searchFrom;
        while (cursor < limit) {
            const char* start;
            if (marker.empty()) {
                start = cursor;
            } else {
                const char* hit = findMarker(cursor, limit, marker);
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
                visit(StreamedLine{start, size, capacity});
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
            if (!marker.empty() && length >= marker.size()) {
                searched = length - (marker.size() - 1);
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
