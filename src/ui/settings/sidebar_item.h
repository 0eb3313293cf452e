// One sidebar row of the settings window: the tab's icon and title,
// highlighted when selected or hovered; a click selects the tab.
// Interface thread only.
#pragma once

#include <QAbstractButton>

#include "ui/settings/settings_tab.h"

namespace vorla::ui {

class SidebarItem final : public QAbstractButton {
    Q_OBJECT
  public:
    explicit SidebarItem(SettingsTab tab, QWidget* parent = nullptr);

    [[nodiscard]] SettingsTab tab() const { return tab_; }
    [[nodiscard]] bool selected() const { return selected_; }
    void setSelected(bool selected);
    [[nodiscard]] QSize sizeHint() const override;

  signals:
    void chosen(vorla::ui::SettingsTab tab);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    SettingsTab tab_;
    bool selected_ = false;
    bool hovered_ = false;
};

// The one character of the font that draws `symbol`.
[[nodiscard]] QString symbolGlyph(Symbol symbol);

}  // namespace vorla::ui
