// Sets (or unsets) one environment variable for the life of the object and
// restores the previous value afterwards. For TZ the C library's cached zone
// is refreshed both ways. Tests only: the environment is process-wide.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace vorla::test {

class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) {
            previous_ = old;
        }
        apply(value);
    }
    ~ScopedEnv() { apply(previous_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void apply(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
        ::tzset();
    }

    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace vorla::test
