#include "ui/widgets/pixel_bar.h"

#include <algorithm>
#include <cmath>

#include "engine/look/context_reading.h"
#include "ui/style/palette.h"

namespace vorla::ui {
namespace {

constexpr double kGap = 3;
constexpr double kRadius = 2;
constexpr double kContextHeight = 6;

double clampFraction(double fraction) {
    return std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
}

// Bars sit vertically centred in the widget, `height` tall.
QRectF barArea(const QWidget& widget, double height) {
    const double h = std::min(height, static_cast<double>(widget.height()));
    return QRectF(0, (widget.height() - h) / 2, widget.width(), h);
}

}  // namespace

void paintSegments(QPainter& painter, const QRectF& rect, int segments, int filled,
                   const QColor& tint) {
    if (segments < 1 || rect.width() <= 0) {
        return;
    }
    const double width = std::max(0.0, (rect.width() - kGap * (segments - 1)) / segments);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor unlit = QColor::fromRgbF(1, 1, 1, 0.10f);
    for (int i = 0; i < segments; ++i) {
        painter.setBrush(i < filled ? tint : unlit);
        const QRectF bar(rect.x() + i * (width + kGap), rect.y(), width, rect.height());
        painter.drawRoundedRect(bar, kRadius, kRadius);
    }
    painter.restore();
}

PixelBar::PixelBar(QWidget* parent) : QWidget(parent), tint_(Palette::pink()) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PixelBar::setFraction(double fraction) {
    fraction = clampFraction(fraction);
    if (fraction != fraction_) {
        fraction_ = fraction;
        update();
    }
}

void PixelBar::setTint(const QColor& tint) {
    if (tint != tint_) {
        tint_ = tint;
        update();
    }
}

void PixelBar::setBarHeight(double height) {
    if (height != barHeight_) {
        barHeight_ = std::max(1.0, height);
        updateGeometry();
        update();
    }
}

void PixelBar::setSegments(int segments) {
    segments = std::max(1, segments);
    if (segments != segments_) {
        segments_ = segments;
        update();
    }
}

int PixelBar::filled() const {
    return SegmentBar::filled(fraction_, segments_);
}

QSize PixelBar::sizeHint() const {
    return {segments_ * 10, static_cast<int>(std::ceil(barHeight_))};
}

void PixelBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintSegments(painter, barArea(*this, barHeight_), segments_, filled(), tint_);
}

ContextBar::ContextBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ContextBar::setFraction(double fraction) {
    fraction = clampFraction(fraction);
    if (fraction != fraction_) {
        fraction_ = fraction;
        update();
    }
}

int ContextBar::filled() const {
    return SegmentBar::filled(fraction_, kSegments);
}

QColor ContextBar::tint() const {
    return SegmentBar::warns(fraction_) ? Palette::yellow() : Palette::pink();
}

QSize ContextBar::sizeHint() const {
    return {kSegments * 10, static_cast<int>(kContextHeight)};
}

void ContextBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintSegments(painter, barArea(*this, kContextHeight), kSegments, filled(), tint());
}

}  // namespace vorla::ui
