#include "ui/settings/settings_tab.h"

#include <cstdlib>

namespace vorla::ui {

namespace {

struct TabInfo {
    std::string_view title;
    Symbol icon;
};

constexpr TabInfo info(SettingsTab tab) {
    switch (tab) {
        case SettingsTab::agents:
            return {"Agents", Symbol::processor};
        case SettingsTab::rules:
            return {"Rules", Symbol::shield};
        case SettingsTab::trees:
            return {"Worktrees", Symbol::branch};
        case SettingsTab::scores:
            return {"Scores", Symbol::trophy};
        case SettingsTab::improve:
            return {"Improve", Symbol::sparkles};
        case SettingsTab::audit:
            return {"Activity", Symbol::list};
        case SettingsTab::today:
            return {"Today", Symbol::timeline};
        case SettingsTab::usage:
            return {"Usage", Symbol::barChart};
        case SettingsTab::phone:
            return {"Phone", Symbol::phone};
        case SettingsTab::setup:
            return {"Setup", Symbol::document};
    }
    return {"Agents", Symbol::processor};
}

}  // namespace

std::string_view title(SettingsTab tab) {
    return info(tab).title;
}

Symbol tabIcon(SettingsTab tab) {
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
