#include "ui/island/lap_view.h"

#include <QPainter>
#include <chrono>

#include "ui/island/sprite_view.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

constexpr int kFrameMs = 33;
constexpr double kFrameWidth = 500;
constexpr double kNoNotchStrip = 8;

QColor sparkColour(VictoryLap::SparkColour colour) {
    switch (colour) {
        case VictoryLap::SparkColour::green:
            return Palette::green();
        case VictoryLap::SparkColour::yellow:
            return Palette::yellow();
        case VictoryLap::SparkColour::pink:
            break;
    }
    return Palette::pink();
}

}  // namespace

LapView::LapView(NotchGeometry geo, QWidget* parent)
    : QWidget(parent),
      geo_(geo),
      creature_(new SpriteView(SpriteKind::done, Source::claude, VictoryLap{}.creature, this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    frames_.setInterval(kFrameMs);
    connect(&frames_, &QTimer::timeout, this, &LapView::tick);
}

void LapView::start(Source agent) {
    agent_ = agent;
    creature_->setAgent(agent);
    startedAt_ = now();
    frames_.start();
    tick();
}

void LapView::setTimeSource(TimeSource source) {
    timeSource_ = source;
    creature_->setTimeSource(std::move(source));
}

double LapView::now() const {
    if (timeSource_) {
        return timeSource_();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QRectF LapView::strip() const {
    const double height = geo_.hasNotch ? geo_.notchHeight : kNoNotchStrip;
    const double frameLeft = (width() - kFrameWidth) / 2;
    const double top = geo_.hasNotch ? 0 : geo_.notchHeight;
    return {frameLeft + (kFrameWidth - lap_.width) / 2, top, lap_.width, height};
}

double LapView::progress() const {
    return startedAt_ ? lap_.progress(now() - *startedAt_) : 1;
}

void LapView::tick() {
    const double p = progress();
    const VictoryLap::Point at = lap_.spritePosition(p);
    const QRectF track = strip();
    creature_->move(static_cast<int>(track.left() + at.x),
                    static_cast<int>(track.bottom() - lap_.creature + at.y));
    update();
    if (p >= 1) {
        frames_.stop();
    }
}

void LapView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    frames_.stop();
}

void LapView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    const QRectF track = strip();
    for (const auto& spark : lap_.visibleSparks(progress(), track.height())) {
        painter.setBrush(Palette::withOpacity(sparkColour(spark.colour), spark.opacity));
        painter.drawRect(QRectF(track.left() + spark.origin.x, track.top() + spark.origin.y, 3, 3));
    }
}

}  // namespace vorla::ui
