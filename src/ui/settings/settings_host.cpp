#include "ui/settings/settings_host.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThreadPool>
#include <algorithm>

namespace vorla::ui {

SettingsHost::SettingsHost(SettingsContext context) : context_(std::move(context)) {}

SettingsHost::~SettingsHost() {
    delete window_.data();
    // Page work still running may read the stores (the audit log for Improve
    // and Export CSV), which the composition root destroys right after us.
    QThreadPool::globalInstance()->waitForDone();
}

void SettingsHost::open() {
    context_.installer.refresh();
    if (window_.isNull()) {
        window_ = new SettingsWindow(context_, initialTab());
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = window_->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window_->move(frame.topLeft());
        }
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

bool opensAtStart(const std::vector<Installer::Agent>& agents, const char* flag) {
    const bool anyInstalled =
        std::any_of(agents.begin(), agents.end(), [](const Installer::Agent& a) {
            return a.status.kind == Installer::Status::Case::installed;
        });
    return !anyInstalled || (flag != nullptr && std::string_view(flag) == "1");
}

}  // namespace vorla::ui
