#include "ui/island/island.h"

#include <QCursor>
#include <QEvent>

namespace vorla::ui {

namespace {

LookRect lookRect(const QRect& rect) {
    return {static_cast<double>(rect.x()), static_cast<double>(rect.y()),
            static_cast<double>(rect.width()), static_cast<double>(rect.height())};
}

}  // namespace

Island::Island(SessionStore& store, NotchGeometry geo, IslandActions actions)
    : store_(store),
      geo_(geo),
      view_(new IslandView(store, geo, std::move(actions))),
      window_(std::make_unique<NotchWindow>(view_)) {
    window_->maskFor = [this](QSize size) { return view_->mask(size); };
    window_->onScreenChanged = [this] {
        sizer_.reset();
        resize();
    };
    hoverTimer_.setInterval(kHoverInterval);
    connect(&hoverTimer_, &QTimer::timeout, this, &Island::hoverTick);
    // Entering or leaving the window also counts as motion: some moves (a
    // warp, XWayland over Wayland windows) bring no raw motion.
    window_->installEventFilter(this);
    motion_ = PointerMotionWatch::open();
    if (motion_) {
        motion_->onMotion = [this] { wakeHoverTick(); };
    }
    storeSubscription_ = store_.subscribe([this] {
        resize();
        wakeHoverTick();
    });
}

Island::~Island() = default;

void Island::show() {
    resize();
    window_->bringForward();
    shown_ = true;
    wakeHoverTick();
}

bool Island::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        wakeHoverTick();
    }
    return QObject::eventFilter(watched, event);
}

void Island::wakeHoverTick() {
    stillTicks_ = 0;
    if (shown_ && !hoverTimer_.isActive()) {
        hoverTimer_.start();
    }
}

void Island::hoverTick() {
    const QPoint pointer = QCursor::pos();
    trackHover(pointer);
    resize();
    stillTicks_ = pointer == lastPointer_ ? stillTicks_ + 1 : 0;
    lastPointer_ = pointer;
    if (!motion_ || stillTicks_ < kStillTicks) {
        return;
    }
    hoverTimer_.stop();
    motion_->watch();
    // A move between the last look and the watch would go unseen.
    if (QCursor::pos() != pointer) {
        wakeHoverTick();
    }
}

IslandLayout::Inputs Island::layoutInputs() const {
    return {.gateOpen = store_.activeGate().has_value(),
            .hovering = store_.hovering(),
            .celebrating = store_.celebration().has_value(),
            .sessions = store_.sessions().size(),
            .rightEar = IslandLayout::rightEar(store_.sessions()),
            .measuredHeight = store_.measuredHeight(),
            .maxHeight = static_cast<double>(NotchWindow::screenFrame().height())};
}

void Island::resize() {
    if (auto frame = sizer_.resize(IslandLayout::frameFor(layoutInputs(), geo_))) {
        window_->layout(*frame, geo_);
    }
}

void Island::trackHover(QPoint pointer) {
    const LookRect hot = IslandLayout::hoverRect(store_.hovering(), store_.sessions().size(),
                                                 IslandLayout::rightEar(store_.sessions()), geo_,
                                                 lookRect(NotchWindow::screenFrame()));
    store_.setHovering(hot.contains(pointer.x(), pointer.y()));
}

}  // namespace vorla::ui
