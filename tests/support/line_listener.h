// A stand-in for the application on the socket: accepts connections on a
// thread, records each received line, and answers gating lines with a reply
// chosen by the test (or closes without answering).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vorla::test {

class LineListener {
  public:
    // Given the received line, the reply to write (nullopt: write nothing).
    using Responder = std::function<std::optional<std::string>(const std::string& line)>;

    LineListener(std::string path, Responder responder);
    ~LineListener();
    LineListener(const LineListener&) = delete;
    LineListener& operator=(const LineListener&) = delete;

    // Waits until `count` lines arrived (or the timeout); returns them all.
    std::vector<std::string> waitForLines(
        std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  private:
    void serve();

    std::string path_;
    Responder responder_;
    int fd_ = -1;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> lines_;  // protected by mutex_
};

}  // namespace vorla::test
