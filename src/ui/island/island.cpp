#include "ui/island/island.h"

#include <QCursor>

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
    connect(&hoverTimer_, &QTimer::timeout, this, [this] {
        trackHover();
        resize();
    });
    storeSubscription_ = store_.subscribe([this] { resize(); });
}

Island::~Island() = default;

void Island::show() {
    resize();
    window_->bringForward();
    hoverTimer_.start();
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

void Island::trackHover() {
    const LookRect hot = IslandLayout::hoverRect(store_.hovering(), store_.sessions().size(),
                                                 IslandLayout::rightEar(store_.sessions()), geo_,
                                                 lookRect(NotchWindow::screenFrame()));
    const QPoint pointer = QCursor::pos();
    store_.setHovering(hot.contains(pointer.x(), pointer.y()));
}

}  // namespace vorla::ui
