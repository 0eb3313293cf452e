#include "engine/policy/prefs.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>

#include "core/paths.h"
#include "engine/support/log.h"

namespace vorla {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kSoundEnabled = "soundEnabled";
constexpr std::string_view kLaunchAtLogin = "launchAtLogin";
constexpr std::string_view kAutoApproveLevel = "autoApproveLevel";
constexpr std::string_view kNotifyEnabled = "notifyEnabled";

bool readBool(const PreferencesStore& store, std::string_view key, bool fallback) {
    auto value = store.object(key);
    const bool* flag = value ? std::get_if<bool>(&*value) : nullptr;
    return flag != nullptr ? *flag : fallback;
}

std::int64_t readInteger(const PreferencesStore& store, std::string_view key,
                         std::int64_t fallback) {
    auto value = store.object(key);
    const std::int64_t* number = value ? std::get_if<std::int64_t>(&*value) : nullptr;
    return number != nullptr ? *number : fallback;
}

PrefValue fromJson(const Json& json) {
    if (json.is_boolean()) {
        return json.get<bool>();
    }
    if (json.is_number_integer()) {
        return json.get<std::int64_t>();
    }
    if (json.is_string()) {
        return json.get<std::string>();
    }
    return json.dump();
}

// The interface offers -1, 0 and 1; anything else (a hand edit, or an agent
// writing the file) reads as the nearest of them, so 99 cannot let
// destructive calls through.
std::int64_t clampedLevel(std::int64_t value) {
    const std::int64_t level = std::clamp<std::int64_t>(value, -1, 1);
    if (level != value) {
        logLine("autoApproveLevel " + std::to_string(value) + " is outside -1...1; using " +
                std::to_string(level));
    }
    return level;
}

Json toJson(const PrefValue& value) {
    return std::visit([](const auto& v) { return Json(v); }, value);
}

}  // namespace

// MemoryPreferencesStore

std::optional<PrefValue> MemoryPreferencesStore::object(std::string_view key) const {
    auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemoryPreferencesStore::setBool(std::string_view key, bool value) {
    put(key, value);
}

void MemoryPreferencesStore::setInteger(std::string_view key, std::int64_t value) {
    put(key, value);
}

void MemoryPreferencesStore::put(std::string_view key, PrefValue value) {
    values_.insert_or_assign(std::string(key), std::move(value));
    ++writes_;
}

// FilePreferencesStore

std::string FilePreferencesStore::defaultPath() {
    return dataDir() + "/prefs.json";
}

FilePreferencesStore::FilePreferencesStore(std::string path, const Clock& clock)
    : file_(std::move(path), clock) {
    auto contents = file_.read();
    if (!contents) {
        return;
    }
    Json json = Json::parse(*contents, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        file_.markUndecodable();
        return;
    }
    for (const auto& [key, value] : json.items()) {
        values_.emplace(key, fromJson(value));
    }
}

std::optional<PrefValue> FilePreferencesStore::object(std::string_view key) const {
    auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void FilePreferencesStore::setBool(std::string_view key, bool value) {
    values_.insert_or_assign(std::string(key), value);
    save();
}

void FilePreferencesStore::setInteger(std::string_view key, std::int64_t value) {
    values_.insert_or_assign(std::string(key), value);
    save();
}

void FilePreferencesStore::save() {
    Json object = Json::object();
    for (const auto& [key, value] : values_) {
        object[key] = toJson(value);
    }
    (void)file_.write(object.dump(-1, ' ', false, Json::error_handler_t::replace));
}

// Prefs

Prefs::Prefs(PreferencesStore& store, LoginItems* loginItems)
    : store_(store),
      loginItems_(loginItems),
      soundEnabled_(readBool(store, kSoundEnabled, true)),
      launchAtLogin_(readBool(store, kLaunchAtLogin, false)),
      autoApproveLevel_(clampedLevel(readInteger(store, kAutoApproveLevel, 0))),
      notifyEnabled_(readBool(store, kNotifyEnabled, false)) {}

void Prefs::setSoundEnabled(bool value) {
    store_.setBool(kSoundEnabled, value);
    if (assignIfChanged(soundEnabled_, value)) {
        changes_.notify();
    }
}

void Prefs::setLaunchAtLogin(bool value) {
    store_.setBool(kLaunchAtLogin, value);
    if (loginItems_ != nullptr) {
        if (auto registered = loginItems_->setRegistered(value); !registered) {
            logLine("launch-at-login toggle failed: " + registered.error().message);
        }
    }
    if (assignIfChanged(launchAtLogin_, value)) {
        changes_.notify();
    }
}

void Prefs::setAutoApproveLevel(std::int64_t value) {
    value = clampedLevel(value);
    store_.setInteger(kAutoApproveLevel, value);
    if (assignIfChanged(autoApproveLevel_, value)) {
        changes_.notify();
    }
}

void Prefs::setNotifyEnabled(bool value) {
    store_.setBool(kNotifyEnabled, value);
    if (assignIfChanged(notifyEnabled_, value)) {
        changes_.notify();
    }
}

}  // namespace vorla
