#include "engine/usage/token_count.h"

#include <algorithm>
#include <cmath>

namespace vorla {

std::int64_t tokenCount(simdjson::simdjson_result<simdjson::dom::element> node) {
    std::int64_t whole = 0;
    if (node.get_int64().get(whole) == simdjson::SUCCESS) {
        return std::max<std::int64_t>(whole, 0);
    }
    double number = 0;
    if (node.get_double().get(number) == simdjson::SUCCESS && std::trunc(number) == number &&
        number >= 0 && number <= 9.2e18) {
        return static_cast<std::int64_t>(number);
    }
    return 0;
}

}  // namespace vorla
