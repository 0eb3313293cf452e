// The tray item: the Linux stand-in for the menu-bar item, with the menu
// "Settings…" and "Quit Vorla Agents" (the island's right-click menu is the
// same, for desktops without a tray).
//
// Qt looks for a StatusNotifier host once per process, when the first tray
// icon is made, and remembers the answer. So the icon is made only once a
// host is there: TrayHostWatch follows org.kde.StatusNotifierWatcher on the
// session bus (KDE, swaybar, waybar, GNOME's AppIndicator extension), which
// may start after us. Without it an X11 tray (XEmbed) also serves.
//
// Main thread only.
#pragma once

#include <QDBusServiceWatcher>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

namespace vorla::ui {

// Adds the two entries to `menu`; unset callbacks do nothing.
void addAppActions(QMenu& menu, std::function<void()> onSettings, std::function<void()> onQuit);

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

// Calls onHost once, as soon as a tray is there (at once when it already
// is), and onAbsent once when the first look finds none. Without a session
// bus only an XEmbed tray counts, and nothing is watched.
class TrayHostWatch final : public QObject {
    Q_OBJECT
  public:
    TrayHostWatch(std::function<void()> onHost, std::function<void()> onAbsent,
                  QObject* parent = nullptr);

    [[nodiscard]] bool found() const { return found_; }

  private:
    void askWatcher();
    Q_SLOT void hostRegistered();

    void firstLookFoundNone();

    std::function<void()> onHost_;
    std::function<void()> onAbsent_;
    QDBusServiceWatcher services_;
    bool found_ = false;
    bool looked_ = false;
};

}  // namespace vorla::ui
