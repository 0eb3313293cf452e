// The ten tabs of the settings window, in sidebar order, with their titles
// and icons, and the tab the window opens on.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace vorla::ui {

enum class SettingsTab { agents, rules, trees, scores, improve, audit, today, usage, phone, setup };

// The small icons of the settings window, drawn as one character of the
// font (symbolGlyph), so they need no icon theme.
enum class Symbol {
    processor,
    shield,
    branch,
    trophy,
    sparkles,
    list,
    timeline,
    barChart,
    phone,
    document,
    lock,
    hidden,
    qrCode,
    chevronRight,
    chevronDown,
};

inline constexpr std::array<SettingsTab, 10> kSettingsTabs = {
    SettingsTab::agents,  SettingsTab::rules, SettingsTab::trees, SettingsTab::scores,
    SettingsTab::improve, SettingsTab::audit, SettingsTab::today, SettingsTab::usage,
    SettingsTab::phone,   SettingsTab::setup,
};

// "Agents", "Rules", "Worktrees", ... (also what VORLA_TAB names).
[[nodiscard]] std::string_view title(SettingsTab tab);
// The tab's icon in the sidebar.
[[nodiscard]] Symbol tabIcon(SettingsTab tab);

// The tab whose title is exactly `text`.
[[nodiscard]] std::optional<SettingsTab> tabWithTitle(std::string_view text);

// The tab named by the environment variable VORLA_TAB, else agents.
[[nodiscard]] SettingsTab initialTab();

}  // namespace vorla::ui
