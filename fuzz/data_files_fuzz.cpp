// libFuzzer target: game.json and prefs.json, the application's own data files
// that people may also edit by hand. The first byte picks the file. Loading any
// bytes gives a usable state; a save after it reads back as the same state.
#include <filesystem>

#include "engine/policy/prefs.h"
#include "engine/records/game.h"
#include "fuzz_support.h"
#include "support/manual_clock.h"

namespace {

using namespace vorla;

void game(std::string_view bytes, const std::string& dir, const Clock& clock) {
    const std::string path = dir + "/game.json";
    fuzz::writeFile(path, bytes);
    Game loaded(clock, path);
    loaded.bumpStreak();
    loaded.save();
    Game again(clock, path);
    fuzz::check(again.coins() == loaded.coins() && again.streak() == loaded.streak() &&
                again.bestStreak() == loaded.bestStreak() &&
                again.bossesBeaten() == loaded.bossesBeaten() &&
                again.achievements() == loaded.achievements());
}

void prefs(std::string_view bytes, const std::string& dir, const Clock& clock) {
    const std::string path = dir + "/prefs.json";
    fuzz::writeFile(path, bytes);
    FilePreferencesStore store(path, clock);
    Prefs loaded(store);
    loaded.setSoundEnabled(loaded.soundEnabled());
    FilePreferencesStore reread(path, clock);
    Prefs again(reread);
    fuzz::check(again.soundEnabled() == loaded.soundEnabled() &&
                again.launchAtLogin() == loaded.launchAtLogin() &&
                again.autoApproveLevel() == loaded.autoApproveLevel() &&
                again.notifyEnabled() == loaded.notifyEnabled());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const test::ManualClock clock(WallTime{} + std::chrono::hours(24 * 20000));
    const std::string dir = fuzz::scratchDir() + "/data";
    std::filesystem::remove_all(dir);  // files kept aside by earlier inputs
    std::filesystem::create_directories(dir);
    const std::string_view bytes = fuzz::text(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        game(bytes, dir, clock);
    } else {
        prefs(bytes, dir, clock);
    }
    return 0;
}
