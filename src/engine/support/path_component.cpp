#include "engine/support/path_component.h"

namespace vorla {

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos || path == "/") {
        return std::string(path);
    }
    return std::string(path.substr(slash + 1));
}

}  // namespace vorla
