#include "ui/tray.h"

#include <QCursor>

#include "engine/support/log.h"

namespace vorla::ui {

Tray::Tray(const QIcon& icon, QObject* parent) : QObject(parent), icon_(icon) {
    menu_.addAction(QStringLiteral("Settings…"), this, [this] {
        if (onSettings) {
            onSettings();
        }
    });
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Quit Vorla Agents"), this, [this] {
        if (onQuit) {
            onQuit();
        }
    });
    icon_.setToolTip(QStringLiteral("Vorla Agents"));
    icon_.setContextMenu(&menu_);
    // A left click opens the same menu: there is no main window to show.
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) {
                    menu_.popup(QCursor::pos());
                }
            });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        logLine(
            "Vorla Agents: no system tray on this desktop; use the island's buttons, or start "
            "vorla-agents again to bring the island forward");
    }
    icon_.show();
}

}  // namespace vorla::ui
