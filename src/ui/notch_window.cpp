#include "ui/notch_window.h"

#include <QGuiApplication>
#include <QRegion>
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
        setGeometry(targetRect(size_));
        if (onScreenChanged) {
            onScreenChanged();
        }
    }
}

QRect NotchWindow::targetRect(QSizeF size) const {
    const QRect frame = screenFrame();
    const double midX = frame.x() + frame.width() / 2.0;
    const double x =
        notchLeading_ ? midX - notchWidth_ / 2 - *notchLeading_ : midX - size.width() / 2;
    return {static_cast<int>(std::lround(x)), frame.y(), static_cast<int>(std::ceil(size.width())),
            static_cast<int>(std::ceil(size.height()))};
}

void NotchWindow::layout(QSizeF size, double notchWidth, std::optional<double> notchLeading) {
    size_ = size;
    notchWidth_ = notchWidth;
    notchLeading_ = notchLeading;
    const QRect target = targetRect(size);
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
    updateMask();
}

void NotchWindow::updateMask() {
    if (!outline) {
        return;
    }
    QPainterPath path = outline(QSizeF(size()));
    setMask(QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill));
}

}  // namespace vorla::ui
