#include "ui/island/notch_window.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

#include "ui/desktop/x11_shape.h"

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
        // Centred on the whole screen, hanging from the top of its available
        // area: under a top bar (GNOME's clock), at the edge where there is
        // none. Side docks do not push the island off centre.
        QRect frame = screen->geometry();
        const int top = screen->availableGeometry().top();
        if (top > frame.top() && top < frame.center().y()) {
            frame.setTop(top);
        }
        return frame;
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
        // A top bar that appears, goes or changes height after we started.
        connect(screen_, &QScreen::availableGeometryChanged, this,
                &NotchWindow::followPrimaryScreen);
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
    if (!maskFor) {
        return;
    }
    const QRegion shape = maskFor(size());
    if (x11::available() && x11::compositing()) {
        // Translucent pixels show: keep the anti-aliased outline and only
        // let clicks beside it through.
        if (!mask().isEmpty()) {
            clearMask();
        }
        (void)x11::setInputShape(*this, shape);  // false only without the extension
        return;
    }
    // Without a compositor the see-through corners would paint black: cut
    // the window itself to the outline (this sets the input region too).
    setMask(shape);
}

}  // namespace vorla::ui
