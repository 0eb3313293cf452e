// The settings window: a sidebar of ten tabs on the left and the selected
// tab's page on the right. Pages are built the first time their tab is
// chosen and live as long as the window; closing the window (also Ctrl+W)
// destroys it, and with it every page's state.
//
// Interface thread only. The stores in the context must outlive the window.
#pragma once

#include <QWidget>
#include <array>

#include "ui/settings/settings_context.h"
#include "ui/settings/settings_tab.h"

class QStackedWidget;

namespace vorla::ui {

class Page;
class SidebarItem;

class SettingsWindow final : public QWidget {
    Q_OBJECT
  public:
    // Opens on `tab` (see initialTab()).
    SettingsWindow(SettingsContext context, SettingsTab tab, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    [[nodiscard]] SettingsTab tab() const { return tab_; }
    void select(SettingsTab tab);
    // The tab's page, built now if it was not yet.
    [[nodiscard]] Page* page(SettingsTab tab);
    [[nodiscard]] SidebarItem* sidebarItem(SettingsTab tab) const;

  private:
    [[nodiscard]] QWidget* buildSidebar();
    [[nodiscard]] Page* makePage(SettingsTab tab);

    SettingsContext context_;
    SettingsTab tab_;
    QStackedWidget* stack_;
    std::array<Page*, kSettingsTabs.size()> pages_{};
    std::array<SidebarItem*, kSettingsTabs.size()> items_{};
};

// "v0.1.0": the version of this build.
[[nodiscard]] QString versionText();

}  // namespace vorla::ui
