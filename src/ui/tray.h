// The tray item: the Linux stand-in for the menu-bar item, with the menu
// "Settings…" and "Quit Vorla Agents". Where the desktop has no tray
// (stock GNOME) it says so once in the log and stays registered, so it
// appears if a tray starts later; the island's buttons and a second start
// remain the ways in.
//
// Main thread only.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

namespace vorla::ui {

class Tray final : public QObject {
    Q_OBJECT
  public:
    explicit Tray(const QIcon& icon, QObject* parent = nullptr);

    // The menu's actions; unset ones do nothing.
    std::function<void()> onSettings;
    std::function<void()> onQuit;

    [[nodiscard]] QMenu& menu() { return menu_; }
    [[nodiscard]] QSystemTrayIcon& icon() { return icon_; }

  private:
    QMenu menu_;
    QSystemTrayIcon icon_;
};

}  // namespace vorla::ui
