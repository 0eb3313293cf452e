#include "ui/island/island.h"

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
      view_(new IslandView(store, viewState_, geo, std::move(actions))),
      window_(std::make_unique<NotchWindow>(view_)) {
    window_->maskFor = [this](QSize size) { return view_->mask(size); };
    window_->onScreenChanged = [this] {
        sizer_.reset();
        resize();
    };
    // Session fields (the first one's activity) change without a store
    // change; the view sees them and so must the window's size.
    view_->onRefreshed = [this] { resize(); };
    hoverTimer_.setInterval(kHoverInterval);
    connect(&hoverTimer_, &QTimer::timeout, this, &Island::hoverTick);
    storeSubscription_ = store_.subscribe([this] { resize(); });
    viewStateSubscription_ = viewState_.subscribe([this] { resize(); });
}

Island::~Island() = default;

void Island::show() {
    resize();
    window_->bringForward();
    shown_ = true;
    hoverTimer_.start();
}

void Island::hoverTick() {
    const QPoint pointer = pointer_.read();
    trackHover(pointer);
    resize();
    const IslandLayout::Inputs inputs = layoutInputs();
    LookRect near = IslandLayout::hoverRect(inputs, geo_, lookRect(NotchWindow::screenFrame()));
    near = {near.x - kNearDistance, near.y - kNearDistance, near.width + 2 * kNearDistance,
            near.height + 2 * kNearDistance};
    const bool open = IslandLayout::mode(inputs.gateOpen, inputs.hovering, inputs.celebrating) ==
                      IslandLayout::Mode::expanded;
    const auto interval =
        open || near.contains(pointer.x(), pointer.y()) ? kHoverInterval : kFarInterval;
    if (hoverTimer_.intervalAsDuration() != interval) {
        hoverTimer_.setInterval(interval);
    }
}

IslandLayout::Inputs Island::layoutInputs() const {
    return {.gateOpen = store_.activeGate().has_value(),
            .hovering = viewState_.hovering(),
            .celebrating = store_.celebration().has_value(),
            .sessions = store_.sessions().size(),
            .rightEar = IslandLayout::rightEar(store_.sessions()),
            .measuredHeight = viewState_.measuredHeight(),
            .maxHeight = static_cast<double>(NotchWindow::screenFrame().height())};
}

void Island::resize() {
    const IslandLayout::Inputs inputs = layoutInputs();
    if (auto frame = sizer_.resize(IslandLayout::frameFor(inputs, geo_))) {
        window_->layout(*frame, geo_);
    }
    raiseOnExpand(inputs);
}

void Island::raiseOnExpand(const IslandLayout::Inputs& inputs) {
    const auto gate = store_.activeGate();
    const bool expanded = IslandLayout::mode(inputs.gateOpen, inputs.hovering,
                                             inputs.celebrating) == IslandLayout::Mode::expanded;
    const bool newGate = gate && gate->second != lastGate_.lock();
    if (shown_ && ((expanded && !wasExpanded_) || newGate)) {
        window_->bringForward();
    }
    wasExpanded_ = expanded;
    lastGate_ = gate ? std::weak_ptr<const Gate>(gate->second) : std::weak_ptr<const Gate>();
}

void Island::trackHover(QPoint pointer) {
    const LookRect hot =
        IslandLayout::hoverRect(layoutInputs(), geo_, lookRect(NotchWindow::screenFrame()));
    viewState_.setHovering(hot.contains(pointer.x(), pointer.y()));
}

}  // namespace vorla::ui
