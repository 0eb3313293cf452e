#include "app/desktop/desktop_app.h"

#include <QApplication>

#include "app/outputs.h"
#include "ui/single_instance.h"
#include "ui/tray_icon_image.h"

namespace vorla::app {

DesktopApp::DesktopApp(MainQueue& queue, const Clock& clock)
    : core_(queue, clock, desktopOutputs()) {}

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

    tray_ = std::make_unique<ui::Tray>(ui::menuBarIcon());
    tray_->onSettings = [this] { openSettings(); };
    tray_->onQuit = [this] { quit(); };

    core_.setUp({.hasNotch = geo.hasNotch,
                 .notchWidth = static_cast<int>(geo.notchWidth),
                 .notchHeight = static_cast<int>(geo.notchHeight),
                 .screenWidth = ui::NotchWindow::screenFrame().width()});
}

void DesktopApp::openSettings() {
    if (onSettings) {
        onSettings();
    } else if (island_) {
        island_->show();
    }
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
