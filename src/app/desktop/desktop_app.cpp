#include "app/desktop/desktop_app.h"

#include <QApplication>
#include <cstdlib>

#include "app/outputs.h"
#include "core/paths.h"
#include "engine/installer/bridge_location.h"
#include "engine/look/desktop_env.h"
#include "engine/support/log.h"
#include "ui/desktop/file_reveal.h"
#include "ui/desktop/login_item.h"
#include "ui/desktop/single_instance.h"
#include "ui/desktop/tray_icon_image.h"

namespace vorla::app {

namespace {

ui::SettingsContext settingsContext(AppCore& core, Installer& installer, const Clock& clock) {
    LoginItems* loginItems = core.loginItems();
    const auto* xdgItems = dynamic_cast<const ui::XdgLoginItems*>(loginItems);
    return ui::SettingsContext{
        .store = core.store(),
        .installer = installer,
        .prefs = core.prefs(),
        .rules = core.rules(),
        .auditLog = core.auditLog(),
        .remote = core.remote(),
        .game = core.game(),
        .clock = clock,
        .openFolder = [](const std::string& folder) { ui::openFolder(folder); },
        .revealFile = [](const std::string& file) { ui::revealFile(file); },
        .loginItemRegistered =
            [loginItems] {
                const auto* xdg = dynamic_cast<const ui::XdgLoginItems*>(loginItems);
                return xdg != nullptr && xdg->registered();
            },
        .autostartLine = xdgItems != nullptr
                             ? autostartLine(DesktopEnv::fromEnvironment(), xdgItems->executable())
                             : std::nullopt,
    };
}

// The outputs, noting where their notification client is.
AppCore::Outputs outputsKeeping(ui::DesktopNotifications*& notifications) {
    AppCore::Outputs outputs = desktopOutputs();
    notifications = dynamic_cast<ui::DesktopNotifications*>(outputs.notifications.get());
    return outputs;
}

}  // namespace

DesktopApp::DesktopApp(MainQueue& queue, const Clock& clock)
    : core_(queue, clock, outputsKeeping(notifications_)),
      installer_(homeDirectory(), installer::bridgeCandidates(VORLA_LIBEXEC_DIR), clock),
      settings_(settingsContext(core_, installer_, clock)) {}

DesktopApp::~DesktopApp() {
    terminate();
}

void DesktopApp::setUp() {
    if (didSetUp_) {
        island_->show();
        return;
    }
    didSetUp_ = true;

    // Linux screens have no camera housing.
    const NotchGeometry geo = NotchGeometry::noNotch();
    // The island and the tray capture `this`: both are members and go first.
    ui::IslandActions actions{
        .onSettings = [this] { openSettings(); },
        .onQuit = [this] { quit(); },
        .onTeachRule = [this](const Gate& gate) { teachRule(gate); },
    };
    island_ = std::make_unique<ui::Island>(core_.store(), geo, std::move(actions));
    island_->show();
    watchForTray();
    answerFromNotifications();

    core_.setUp({.hasNotch = geo.hasNotch,
                 .notchWidth = static_cast<int>(geo.notchWidth),
                 .notchHeight = static_cast<int>(geo.notchHeight),
                 .screenWidth = ui::NotchWindow::screenFrame().width()});

    // First run: no agent wired yet, or asked for by VORLA_SETTINGS.
    if (ui::opensAtStart(installer_.agents(), std::getenv("VORLA_SETTINGS"))) {
        openSettings();
    }
}

void DesktopApp::watchForTray() {
    trayWatch_ = std::make_unique<ui::TrayHostWatch>(
        [this] {
            tray_ = std::make_unique<ui::Tray>(ui::trayIcon());
            tray_->onSettings = [this] { openSettings(); };
            tray_->onQuit = [this] { quit(); };
        },
        [] { logLine(noTrayNote(DesktopEnv::fromEnvironment())); });
}

void DesktopApp::answerFromNotifications() {
    if (notifications_ == nullptr) {
        return;
    }
    notifications_->answerGatesWith({
        .answer = [this](const std::string& gateId,
                         Behavior behavior) { core_.store().resolveOnIsland(gateId, behavior); },
        .open = [this] { island_->window().bringForward(); },
    });
    gatesSubscription_ = core_.store().subscribe([this] {
        notifications_->withdrawClosed(
            [this](const std::string& gateId) { return core_.store().gate(gateId) != nullptr; });
    });
}

void DesktopApp::openSettings() {
    settings_.open();
}

void DesktopApp::quit() {
    QCoreApplication::quit();
}

void DesktopApp::terminate() {
    core_.terminate();
}

void DesktopApp::handleRequest(const QByteArray& request) {
    if (request == ui::SingleInstance::kSettings) {
        openSettings();
    } else if (island_) {
        island_->show();
    }
}

void DesktopApp::teachRule(const Gate& gate) {
    core_.rules().add(gate.toolName, gate.detail, Behavior::allow);
}

}  // namespace vorla::app
