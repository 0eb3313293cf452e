#include "ui/desktop/file_reveal.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "engine/repo/shell.h"
#include "engine/support/log.h"

namespace vorla::ui {

namespace {

constexpr int kFileManagerTimeoutMs = 4000;

}  // namespace

void openFolder(const std::string& folder) {
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(folder));
    // Platforms without desktop services (offscreen, some minimal window
    // managers) refuse; xdg-open is what the desktop one would run anyway.
    if (!QDesktopServices::openUrl(url)) {
        auto launched = Shell::launch("xdg-open", {url.toString(QUrl::FullyEncoded).toStdString()});
        if (!launched) {
            logLine("Vorla Agents: " + launched.error().message);
        }
    }
}

void revealFile(const std::string& file, const QDBusConnection& bus) {
    const QString path = QString::fromStdString(file);
    const std::string folder = QFileInfo(path).absolutePath().toStdString();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // Encoded, so that spaces and non-ASCII names survive the file manager's
    // URI parser.
    call << QStringList{QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded(QUrl::FullyEncoded))}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kFileManagerTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) {
                             openFolder(folder);
                         }
                         finished->deleteLater();
                     });
}

}  // namespace vorla::ui
