#include "ui/notch_window.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace vorla::ui {

NotchWindow::NotchWindow(QWidget* content)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                           Qt::NoDropShadowWindowHint),
      animation_(this, "geometry") {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Vorla Agents"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(content);

    animation_.setDuration(kLayoutMs);
    animation_.setEasingCurve(QEasingCurve::OutCubic);

    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this,
            &NotchWindow::followPrimaryScreen);
    followPrimaryScreen();
}

QRect NotchWindow::screenFrame() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        return screen->geometry();
    }
    return {0, 0, 1280, 800};
}

void NotchWindow::followPrimaryScreen() {
    if (screen_ != nullptr) {
        disconnect(screen_, nullptr, this, nullptr);
    }
    screen_ = QGuiApplication::primaryScreen();
    if (screen_ != nullptr) {
        connect(screen_, &QScreen::geometryChanged, this, &NotchWindow::followPrimaryScreen);
    }
    if (placed_) {
        // Jump rather than glide across monitors.
        animation_.stop();
        setGeometry(targetRect());
        if (onScreenChanged) {
            onScreenChanged();
        }
    }
}

QRect NotchWindow::targetRect() const {
    const QRect screen = screenFrame();
    const LookRect rect = IslandLayout::windowRect(
        frame_, geo_,
        {static_cast<double>(screen.x()), static_cast<double>(screen.y()),
         static_cast<double>(screen.width()), static_cast<double>(screen.height())});
    return {static_cast<int>(std::lround(rect.x)), static_cast<int>(std::lround(rect.y)),
            static_cast<int>(std::ceil(rect.width)), static_cast<int>(std::ceil(rect.height))};
}

void NotchWindow::layout(const IslandLayout::Frame& frame, const NotchGeometry& geo) {
    frame_ = frame;
    geo_ = geo;
    const QRect target = targetRect();
    animation_.stop();
    if (!placed_ || !isVisible()) {
        placed_ = true;
        setGeometry(target);
        return;
    }
    animation_.setStartValue(geometry());
    animation_.setEndValue(target);
    animation_.start();
}

void NotchWindow::bringForward() {
    show();
    raise();
}

void NotchWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refreshMask();
}

void NotchWindow::refreshMask() {
    if (maskFor) {
        setMask(maskFor(size()));
    }
}

}  // namespace vorla::ui
