#include "app/desktop/desktop_app.h"

#include <QApplication>

#include "ui/single_instance.h"

namespace vorla::app {

DesktopApp::DesktopApp(MainQueue& queue, const Clock& clock) : core_(queue, clock) {}

DesktopApp::~DesktopApp() {
    terminate();
}

void DesktopApp::setUp() {
    if (didSetUp_) {
        window_->bringForward();
        return;
    }
    didSetUp_ = true;

    // The view and the window capture `this`: both are members and die first.
    ui::IslandActions actions{
        .onSettings = [this] { openSettings(); },
        .onQuit = [this] { quit(); },
        .onTeachRule = [this](const Gate& gate) { teachRule(gate); },
    };
    view_ = new ui::IslandView(core_.store(), std::move(actions));
    window_ = std::make_unique<ui::NotchWindow>(view_);
    window_->outline = [this](QSizeF size) { return view_->outline(size); };
    window_->onScreenChanged = [this] { resize(); };
    resize();
    window_->bringForward();

    hoverTimer_.setInterval(kHoverInterval);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] {
        trackHover();
        resize();
    });
    hoverTimer_.start();

    tray_ = std::make_unique<ui::Tray>(QIcon());
    tray_->onSettings = [this] { openSettings(); };
    tray_->onQuit = [this] { quit(); };

    const QRect screen = ui::NotchWindow::screenFrame();
    core_.setUp(
        {.hasNotch = false, .notchWidth = 0, .notchHeight = 32, .screenWidth = screen.width()});
}

void DesktopApp::openSettings() {
    if (onSettings) {
        onSettings();
    } else if (window_) {
        window_->bringForward();
    }
}

void DesktopApp::quit() {
    QCoreApplication::quit();
}

void DesktopApp::terminate() {
    hoverTimer_.stop();
    core_.terminate();
}

void DesktopApp::handleRequest(const QByteArray& request) {
    if (request == ui::SingleInstance::kSettings) {
        openSettings();
    } else if (window_) {
        window_->bringForward();
    }
}

void DesktopApp::teachRule(const Gate& gate) {
    core_.rules().add(gate.toolName, gate.detail, Behavior::allow);
}

void DesktopApp::trackHover() {}

void DesktopApp::resize() {
    window_->layout(QSizeF(108, 32), 0, 54);
}

}  // namespace vorla::app
