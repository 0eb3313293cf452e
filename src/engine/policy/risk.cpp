#include "engine/policy/risk.h"

namespace vorla {

std::optional<Risk> riskFromRaw(long long raw) {
    if (raw < 0 || raw > 3) {
        return std::nullopt;
    }
    return static_cast<Risk>(raw);
}

std::string_view label(Risk risk) {
    switch (risk) {
        case Risk::trivial:
            return "read-only";
        case Risk::normal:
            return "writes files";
        case Risk::elevated:
            return "elevated";
        case Risk::critical:
            return "DESTRUCTIVE";
    }
    return "";
}

}  // namespace vorla
