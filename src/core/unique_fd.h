// A move-only owner of one file descriptor, and the read/write loops every
// descriptor user needs. Plain system calls only: the bridge links this.
// Safe from any thread; one UniqueFd must not be used by two threads at once.
//
// Error policy: nothing throws; readAll/readFile return nullopt and writeAll
// false on failure, with errno left as the failing call set it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorla {

class UniqueFd {
  public:
    UniqueFd() = default;
    // Takes ownership of `fd`; a negative value means none.
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] explicit operator bool() const { return fd_ >= 0; }
    // Gives up ownership without closing; -1 when none was held.
    [[nodiscard]] int release();
    // Closes the held descriptor (if any) and takes `fd`.
    void reset(int fd = -1);
    // Closes now and reports close()'s own result: after a write, a failing
    // close can be the first sign that the data never reached the disk.
    [[nodiscard]] bool close();

  private:
    int fd_ = -1;
};

// Writes all of `data`, retrying short and interrupted writes. False when the
// descriptor refuses more (a full disk, a closed pipe).
[[nodiscard]] bool writeAll(int fd, std::string_view data);

// Everything up to end of file, retrying interrupted reads; nullopt on a read
// error.
[[nodiscard]] std::optional<std::string> readAll(int fd);

// The whole file; nullopt when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> readFile(const std::string& path);

// Opens a file in one of our own folders, where a symbolic link, a FIFO or a
// device can only have been planted: `path` must itself be a regular file
// (O_NOFOLLOW; a FIFO never blocks the open). `flags` are open()'s, e.g.
// O_WRONLY | O_APPEND | O_CREAT. An invalid descriptor on failure, errno set
// (ELOOP for a link, EINVAL for what is not a regular file).
[[nodiscard]] UniqueFd openOwnFile(const std::string& path, int flags, unsigned mode = 0600);

// readFile through openOwnFile.
[[nodiscard]] std::optional<std::string> readOwnFile(const std::string& path);

}  // namespace vorla
