#include "ui/desktop/tray.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include "ui/desktop/x11_shape.h"

namespace vorla::ui {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

}  // namespace

void addAppActions(QMenu& menu, std::function<void()> onSettings, std::function<void()> onQuit) {
    menu.addAction(QStringLiteral("Settings…"), &menu, [onSettings = std::move(onSettings)] {
        if (onSettings) {
            onSettings();
        }
    });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Quit Vorla Agents"), &menu, [onQuit = std::move(onQuit)] {
        if (onQuit) {
            onQuit();
        }
    });
}

Tray::Tray(const QIcon& icon, QObject* parent) : QObject(parent), icon_(icon) {
    addAppActions(
        menu_,
        [this] {
            if (onSettings) {
                onSettings();
            }
        },
        [this] {
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
    icon_.show();
}

TrayHostWatch::TrayHostWatch(std::function<void()> onHost, std::function<void()> onAbsent,
                             QObject* parent)
    : QObject(parent), onHost_(std::move(onHost)), onAbsent_(std::move(onAbsent)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Called from the event loop, as with a bus: the caller may still be
        // setting up what the callbacks touch.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (x11::xembedTray()) {
                    hostRegistered();
                } else {
                    firstLookFoundNone();
                }
            },
            Qt::QueuedConnection);
        return;
    }
    services_.setConnection(bus);
    services_.setWatchMode(QDBusServiceWatcher::WatchForRegistration);
    services_.addWatchedService(kWatcher);
    connect(&services_, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWatch::askWatcher);
    // A host registering with a watcher that was there before it.
    bus.connect(kWatcher, kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"),
                this, SLOT(hostRegistered()));
    askWatcher();
}

// Whether the watcher has a host now; an XEmbed tray counts when there is no
// watcher at all.
void TrayHostWatch::askWatcher() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *done;
        if (reply.isValid() ? reply.value().variant().toBool() : x11::xembedTray()) {
            hostRegistered();
        } else {
            firstLookFoundNone();
        }
    });
}

void TrayHostWatch::firstLookFoundNone() {
    if (looked_ || found_) {
        return;
    }
    looked_ = true;
    if (onAbsent_) {
        onAbsent_();
    }
}

void TrayHostWatch::hostRegistered() {
    if (found_) {
        return;
    }
    found_ = true;
    services_.removeWatchedService(kWatcher);
    if (onHost_) {
        onHost_();
    }
}

}  // namespace vorla::ui
