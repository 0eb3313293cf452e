#include "ui/island/island_view.h"

#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>

#include "ui/desktop/tray.h"
#include "ui/island/collapsed_ears.h"
#include "ui/island/expanded_panel.h"
#include "ui/island/island_path.h"
#include "ui/island/lap_view.h"

namespace vorla::ui {

namespace {

// Inner padding of the island's content, each side.
constexpr int kPaddingOpen = 12;
constexpr int kPaddingCollapsed = 8;
// The expanded panel's width inside the padding.
constexpr int kOpenInnerWidth = static_cast<int>(IslandLayout::expandedWidth) - 2 * kPaddingOpen;
// Shorter than the frame's own move, so the content settles with it.
constexpr int kFadeMs = 180;

}  // namespace

IslandView::IslandView(SessionStore& store, IslandViewState& viewState, NotchGeometry geo,
                       IslandActions actions, QWidget* parent)
    : QWidget(parent),
      store_(store),
      viewState_(viewState),
      geo_(geo),
      onSettings_(actions.onSettings),
      onQuit_(actions.onQuit),
      ears_(new CollapsedEars(geo, this)),
      lap_(new LapView(geo, this)),
      panel_(new ExpandedPanel(store, geo, std::move(actions), this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    storeSubscription_ = store_.subscribe([this] { storeChanged(); });
    viewStateSubscription_ = viewState_.subscribe([this] { refresh(); });
    storeChanged();
}

// A lap runs in the collapsed outline's radii: it is a passing moment, not
// the open panel.
void IslandView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    addAppActions(*menu, onSettings_, onQuit_);
    menu->popup(event->globalPos());
    event->accept();
}

IslandShape IslandView::shape() const {
    return {.notchWidth = geo_.notchWidth,
            .notchHeight = geo_.notchHeight,
            .expanded = mode_ == IslandLayout::Mode::expanded};
}

QPainterPath IslandView::outline(QSizeF size) const {
    return islandPath(shape(), QRectF(QPointF(0, 0), size));
}

QRegion IslandView::mask(QSize size) const {
    return islandRegion(shape(), QRectF(QPointF(0, 0), QSizeF(size)));
}

void IslandView::storeChanged() {
    if (store_.sessions() != watched_) {
        watched_ = store_.sessions();
        sessionSubscriptions_.clear();
        for (const auto& session : watched_) {
            sessionSubscriptions_.push_back(session->subscribe([this] { sessionChanged(); }));
        }
    }
    refresh();
}

// A burst of field changes (one event sets several) costs one refresh.
void IslandView::sessionChanged() {
    if (refreshQueued_) {
        return;
    }
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        refresh();
    });
}

void IslandView::refresh() {
    const IslandLayout::Mode before = mode_;
    mode_ = IslandLayout::mode(store_.activeGate().has_value(), viewState_.hovering(),
                               store_.celebration().has_value());
    ears_->setVisible(mode_ == IslandLayout::Mode::collapsed);
    lap_->setVisible(mode_ == IslandLayout::Mode::lapping);
    panel_->setVisible(mode_ == IslandLayout::Mode::expanded);
    if (mode_ == IslandLayout::Mode::collapsed) {
        ears_->show(store_.sessions());
    } else if (mode_ == IslandLayout::Mode::expanded) {
        panel_->refresh();
    } else if (before != mode_ || lapAgent_ != store_.celebration()) {
        lap_->start(*store_.celebration());
    }
    lapAgent_ = store_.celebration();
    placePages();
    if (before != mode_) {
        fadeIn(mode_ == IslandLayout::Mode::collapsed ? static_cast<QWidget*>(ears_)
               : mode_ == IslandLayout::Mode::lapping ? static_cast<QWidget*>(lap_)
                                                      : static_cast<QWidget*>(panel_));
    }
    reportHeight();
    update();
    if (onRefreshed) {
        onRefreshed();
    }
}

void IslandView::fadeIn(QWidget* page) {
    if (!window()->isVisible()) {
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(page);
    page->setGraphicsEffect(effect);  // deletes an earlier fade's effect
    auto* fade = new QPropertyAnimation(effect, "opacity", page);
    fade->setDuration(kFadeMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::OutCubic);
    // Drawn directly again once faded in: an effect renders the page
    // offscreen at every paint.
    connect(fade, &QPropertyAnimation::finished, page, [page, done = QPointer(effect)] {
        if (done && page->graphicsEffect() == done) {
            page->setGraphicsEffect(nullptr);
        }
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void IslandView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placePages();
}

void IslandView::placePages() {
    const int pad = mode_ == IslandLayout::Mode::collapsed ? kPaddingCollapsed : kPaddingOpen;
    const QRect inner = rect().adjusted(pad, 0, -pad, 0);
    ears_->setGeometry(rect());
    lap_->setGeometry(inner);
    panel_->setGeometry(inner);
}

// The height is set from a posted task: the view is inside a change
// notification of the store or the view state here, and neither may change
// re-entrantly.
void IslandView::reportHeight() {
    if (heightReportQueued_) {
        return;
    }
    heightReportQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        heightReportQueued_ = false;
        if (mode_ == IslandLayout::Mode::expanded) {
            viewState_.setMeasuredHeight(panel_->contentHeight(kOpenInnerWidth));
        }
    });
}

void IslandView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(outline(QSizeF(size())), Qt::black);
}

}  // namespace vorla::ui
