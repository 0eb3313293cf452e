#include "core/result.h"

#include <cerrno>
#include <cstring>

namespace vorla {

tl::unexpected<Error> failSystem(const std::string& what, int error) {
    return fail(what + ": " + std::strerror(error != 0 ? error : EIO));
}

}  // namespace vorla
