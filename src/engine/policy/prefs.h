// The user's four settings and where they are kept.
//
// The engine never includes Qt, so Prefs talks to a small key-value
// interface (PreferencesStore): the desktop app backs it with QSettings,
// `--headless` with a JSON file (FilePreferencesStore, since a machine
// without a desktop has no QSettings-style store we could share with the
// app), and tests with MemoryPreferencesStore.
//
// All classes here are main-thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/result.h"
#include "engine/policy/risk_engine.h"
#include "engine/support/data_file.h"
#include "engine/support/observable.h"

namespace vorla {

// What a preferences store can hold under a key. Values of any other kind
// found in a backing file (a list, a fraction, null) read as a string of
// their JSON text, which no Prefs field accepts.
using PrefValue = std::variant<bool, std::int64_t, std::string>;

class PreferencesStore {
  public:
    virtual ~PreferencesStore() = default;
    // Absent when the key was never written.
    [[nodiscard]] virtual std::optional<PrefValue> object(std::string_view key) const = 0;
    // Stores at once; failures are ignored (the caller keeps its value).
    virtual void setBool(std::string_view key, bool value) = 0;
    virtual void setInteger(std::string_view key, std::int64_t value) = 0;
};

// In memory only; counts writes so a test can see that a set stored.
class MemoryPreferencesStore final : public PreferencesStore {
  public:
    [[nodiscard]] std::optional<PrefValue> object(std::string_view key) const override;
    void setBool(std::string_view key, bool value) override;
    void setInteger(std::string_view key, std::int64_t value) override;
    // Puts any value, for tests that need a wrong type under a key.
    void put(std::string_view key, PrefValue value);

    [[nodiscard]] int writes() const { return writes_; }

  private:
    std::map<std::string, PrefValue, std::less<>> values_;
    int writes_ = 0;
};

// A JSON object in a file (default ~/.vorla-agents/data/prefs.json), read
// once at construction and rewritten whole and atomically on every set. An
// unreadable file reads as empty and is kept aside before the first write.
class FilePreferencesStore final : public PreferencesStore {
  public:
    [[nodiscard]] static std::string defaultPath();

    explicit FilePreferencesStore(std::string path = defaultPath(),
                                  const Clock& clock = SystemClock::shared());

    [[nodiscard]] std::optional<PrefValue> object(std::string_view key) const override;
    void setBool(std::string_view key, bool value) override;
    void setInteger(std::string_view key, std::int64_t value) override;

  private:
    void save();

    DataFile file_;
    std::map<std::string, PrefValue, std::less<>> values_;
};

// Registration of the application to start at login.
class LoginItems {
  public:
    virtual ~LoginItems() = default;
    [[nodiscard]] virtual Result<> setRegistered(bool registered) = 0;
};

// The single auto-approve comparison: a verdict of `level` is allowed without
// asking exactly when the setting is at least the level's number. -1 asks
// about everything, 0 ("Auto-approve read-only", the default) allows trivial
// verdicts, 1 also normal ones. Prefs keeps the level within -1...1.
[[nodiscard]] constexpr bool autoApproves(std::int64_t autoApproveLevel, Risk level) {
    return autoApproveLevel >= rawValue(level);
}

struct AutoApproveChoice {
    int value;
    std::string_view label;
};
// The three levels offered to the user, in display order.
inline constexpr AutoApproveChoice kAutoApproveChoices[] = {
    {-1, "Ask about everything"},
    {0, "Auto-approve read-only"},
    {1, "Trusted (gate only risky)"},
};

class Prefs {
  public:
    // Reads the four keys; a missing key or a value of the wrong type gives
    // the default. Nothing is written back. `loginItems` may be null (no
    // login-item service on this machine): toggling then only stores.
    explicit Prefs(PreferencesStore& store, LoginItems* loginItems = nullptr);

    [[nodiscard]] bool soundEnabled() const { return soundEnabled_; }
    [[nodiscard]] bool launchAtLogin() const { return launchAtLogin_; }
    // -1, 0 or 1: a stored value outside that reads as the nearest, with a log line.
    [[nodiscard]] std::int64_t autoApproveLevel() const { return autoApproveLevel_; }
    [[nodiscard]] bool notifyEnabled() const { return notifyEnabled_; }

    // Every set stores the value, also when it is unchanged.
    void setSoundEnabled(bool value);
    // Also registers or unregisters the login item; a failure is logged as
    // "launch-at-login toggle failed: <error>" and the value is kept.
    void setLaunchAtLogin(bool value);
    void setAutoApproveLevel(std::int64_t value);  // clamped the same way
    void setNotifyEnabled(bool value);

    // autoApproves(autoApproveLevel(), level), read now: a change applies to
    // the next gate.
    [[nodiscard]] bool shouldAutoApprove(Risk level) const {
        return autoApproves(autoApproveLevel_, level);
    }

    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changes_.subscribe(std::move(onChange));
    }

  private:
    PreferencesStore& store_;
    LoginItems* loginItems_;
    bool soundEnabled_ = true;
    bool launchAtLogin_ = false;
    std::int64_t autoApproveLevel_ = 0;
    bool notifyEnabled_ = false;
    ChangeNotifier changes_;
};

}  // namespace vorla
