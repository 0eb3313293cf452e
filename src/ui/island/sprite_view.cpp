#include "ui/island/sprite_view.h"

#include <QPainter>
#include <cmath>

#include "engine/look/pixel_sprite.h"
#include "ui/island/sprite_painter.h"

namespace vorla::ui {

SpriteView::SpriteView(SpriteKind kind, Source agent, double size, QWidget* parent)
    : QWidget(parent), kind_(kind), agent_(agent), size_(size) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    const int side = static_cast<int>(std::ceil(size_));
    setFixedSize(side, side);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SpriteView::onFrameDue);
}

void SpriteView::setKind(SpriteKind kind) {
    if (kind == kind_) {
        return;
    }
    kind_ = kind;
    update();
    schedule();
}

void SpriteView::setAgent(Source agent) {
    if (agent == agent_) {
        return;
    }
    agent_ = agent;
    update();
}

void SpriteView::setSpriteSize(double size) {
    if (size == size_) {
        return;
    }
    size_ = size;
    const int side = static_cast<int>(std::ceil(size_));
    setFixedSize(side, side);
    update();
}

void SpriteView::setColor(std::optional<QColor> colour) {
    if (colour == colour_) {
        return;
    }
    colour_ = colour;
    update();
}

void SpriteView::setTimeSource(TimeSource source) {
    timeSource_ = std::move(source);
    update();
    schedule();
}

int SpriteView::msUntilNextFrame() const {
    return timer_.isActive() ? timer_.remainingTime() : -1;
}

QSize SpriteView::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return {side, side};
}

double SpriteView::now() const {
    return timeSource_ ? timeSource_() : PixelSprite::spriteTimeNow();
}

void SpriteView::schedule() {
    if (!isVisible()) {
        timer_.stop();
        return;
    }
    const double t = now();
    const double wait = PixelSprite::nextFrameChange(kind_, t) - t;
    // A millisecond late rather than early: an early wake-up would find the
    // old frame and have to sleep again.
    timer_.start(static_cast<int>(std::ceil(wait * 1000)) + 1);
}

// Some of it lies inside every ancestor up to the window. Cheaper than
// visibleRegion(), which also walks every sibling of every ancestor (a
// hundred rows in a long list).
bool SpriteView::inView() const {
    QRect area = rect();
    for (const QWidget* widget = this; !widget->isWindow() && widget->parentWidget() != nullptr;
         widget = widget->parentWidget()) {
        area = area.translated(widget->pos()) & widget->parentWidget()->rect();
        if (area.isEmpty()) {
            return false;
        }
    }
    return true;
}

void SpriteView::onFrameDue() {
    // Scrolled out of view (a row far down the island's list): sleep until
    // scrolling it back brings a paint, which wakes the timer again.
    if (!inView()) {
        return;
    }
    if (PixelSprite::frameIndex(kind_, now()) != shownFrame_) {
        update();
    }
    schedule();
}

void SpriteView::paintEvent(QPaintEvent* /*event*/) {
    ++paintCount_;
    const double t = now();
    shownFrame_ = PixelSprite::frameIndex(kind_, t);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSprite(painter, QRectF(0, 0, size_, size_), kind_, agent_, t,
                colour_.value_or(spriteTint(kind_)));
    if (!timer_.isActive()) {
        schedule();
    }
}

void SpriteView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    schedule();
}

void SpriteView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace vorla::ui
