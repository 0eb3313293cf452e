// How operations that can fail say why. Such an operation returns
// Result<T> (Result<> when there is nothing else to return): the value, or
// an Error whose message is shown to the user or logged as it stands.
// Lookups and parsers whose failure needs no reason return std::optional;
// the Unix socket throws UnixSocket::Error, because every use of it is one
// short exchange that ends on any failure.
#pragma once

#include <string>
#include <tl/expected.hpp>

namespace vorla {

struct Error {
    std::string message;
    // The kind of failure, where a caller branches on it (each such
    // operation names its own codes); 0 elsewhere.
    int code = 0;
};

template <typename T = void>
using Result = tl::expected<T, Error>;

// `return fail("Could not ...");`
[[nodiscard]] inline tl::unexpected<Error> fail(std::string message, int code = 0) {
    return tl::unexpected<Error>(Error{std::move(message), code});
}

// "<what>: <description of errno>" (EIO when `error` is 0).
[[nodiscard]] tl::unexpected<Error> failSystem(const std::string& what, int error);

}  // namespace vorla
