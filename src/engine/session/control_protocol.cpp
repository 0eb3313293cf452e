#include "engine/session/control_protocol.h"

#include "core/paths.h"

namespace vorla {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kVerbs[] = {"status", "decide", "rules", "forget"};

std::string stringAt(const Json& json, const char* key) {
    auto it = json.find(key);
    return it != json.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::string controlSocketPath() {
    return runDir() + "/control.sock";
}

std::string encodeRequest(const ControlRequest& request) {
    Json json = {{"request", kVerbs[static_cast<int>(request.verb)]}};
    switch (request.verb) {
        case ControlVerb::decide:
            json["gate"] = request.gate;
            json["behavior"] = rawValue(request.behavior);
            json["always"] = request.always;
            break;
        case ControlVerb::forget:
            json["key"] = request.key;
            break;
        case ControlVerb::status:
        case ControlVerb::rules:
            break;
    }
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<ControlRequest> decodeRequest(std::string_view line) {
    Json json = Json::parse(line, nullptr, false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    const std::string verb = stringAt(json, "request");
    ControlRequest request;
    std::size_t index = 0;
    for (std::string_view known : kVerbs) {
        if (verb == known) {
            break;
        }
        ++index;
    }
    if (index == std::size(kVerbs)) {
        return std::nullopt;
    }
    request.verb = static_cast<ControlVerb>(index);
    if (request.verb == ControlVerb::decide) {
        auto behavior = behaviorFromRaw(stringAt(json, "behavior"));
        request.gate = stringAt(json, "gate");
        if (!behavior || request.gate.empty()) {
            return std::nullopt;
        }
        request.behavior = *behavior;
        auto always = json.find("always");
        request.always = always != json.end() && always->is_boolean() && always->get<bool>();
    }
    if (request.verb == ControlVerb::forget) {
        request.key = stringAt(json, "key");
        if (request.key.empty()) {
            return std::nullopt;
        }
    }
    return request;
}

Json controlFailure(std::string_view reason, std::string message) {
    return {{"ok", false}, {"reason", reason}, {"error", std::move(message)}};
}

}  // namespace vorla
