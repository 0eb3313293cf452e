#include "ui/settings/settings_tab.h"

#include <cstdlib>

namespace vorla::ui {

namespace {

struct TabInfo {
    std::string_view title;
    std::string_view icon;
};

constexpr TabInfo info(SettingsTab tab) {
    switch (tab) {
        case SettingsTab::agents:
            return {"Agents", "cpu"};
        case SettingsTab::rules:
            return {"Rules", "checkmark.shield"};
        case SettingsTab::trees:
            return {"Worktrees", "arrow.triangle.branch"};
        case SettingsTab::scores:
            return {"Scores", "trophy"};
        case SettingsTab::improve:
            return {"Improve", "wand.and.stars"};
        case SettingsTab::audit:
            return {"Activity", "list.bullet.rectangle"};
        case SettingsTab::today:
            return {"Today", "calendar.day.timeline.left"};
        case SettingsTab::usage:
            return {"Usage", "chart.bar"};
        case SettingsTab::phone:
            return {"Phone", "iphone"};
        case SettingsTab::setup:
            return {"Setup", "doc.text"};
    }
    return {"Agents", "cpu"};
}

}  // namespace

std::string_view title(SettingsTab tab) {
    return info(tab).title;
}

std::string_view iconName(SettingsTab tab) {
    return info(tab).icon;
}

std::optional<SettingsTab> tabWithTitle(std::string_view text) {
    for (SettingsTab tab : kSettingsTabs) {
        if (title(tab) == text) {
            return tab;
        }
    }
    return std::nullopt;
}

SettingsTab initialTab() {
    const char* named = std::getenv("VORLA_TAB");
    return named == nullptr ? SettingsTab::agents
                            : tabWithTitle(named).value_or(SettingsTab::agents);
}

}  // namespace vorla::ui
