// A small tmpfs mounted on a folder of the test's own for the life of the
// object: a disk that can be filled up or made read-only without touching
// anything else. Needs root (or CAP_SYS_ADMIN); when mounting is not
// permitted, mounted() is false and reason() says why, so the test can skip.
#pragma once

#include <cstddef>
#include <string>

namespace vorla::test {

class ScopedTmpfs {
  public:
    // Creates `dir` if needed and mounts `bytes` of tmpfs on it.
    ScopedTmpfs(std::string dir, std::size_t bytes);
    // Unmounts (lazily, should a process still hold a file there).
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::string& reason() const { return reason_; }
    [[nodiscard]] const std::string& dir() const { return dir_; }

    // Writes a filler file until the disk is full; returns its path.
    std::string fill() const;
    // Deletes the filler: the space is back.
    void drain() const;
    // Remounts read-only (true) or writable again (false); false on failure.
    bool setReadOnly(bool readOnly) const;

  private:
    std::string dir_;
    std::size_t bytes_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace vorla::test
