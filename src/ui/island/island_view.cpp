#include "ui/island/island_view.h"

#include <QPainter>
#include <QTimer>

#include "ui/island/collapsed_ears.h"
#include "ui/island/expanded_panel.h"
#include "ui/island/lap_view.h"
#include "ui/island_path.h"

namespace vorla::ui {

namespace {

// Inner padding of the island's content, each side.
constexpr int kPaddingOpen = 12;
constexpr int kPaddingCollapsed = 8;

}  // namespace

IslandView::IslandView(SessionStore& store, NotchGeometry geo, IslandActions actions,
                       QWidget* parent)
    : QWidget(parent),
      store_(store),
      geo_(geo),
      ears_(new CollapsedEars(geo, this)),
      lap_(new LapView(geo, this)),
      panel_(new ExpandedPanel(store, geo, std::move(actions), this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    storeSubscription_ = store_.subscribe([this] { storeChanged(); });
    storeChanged();
}

IslandShape IslandView::shape() const {
    return {.notchWidth = geo_.notchWidth,
            .notchHeight = geo_.notchHeight,
            .expanded = mode_ != IslandLayout::Mode::collapsed};
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
    mode_ = IslandLayout::mode(store_.activeGate().has_value(), store_.hovering(),
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
    reportHeight();
    update();
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

// The store is told from a posted task: the view is inside the store's own
// change notification here, and the store must not change re-entrantly.
void IslandView::reportHeight() {
    if (heightReportQueued_) {
        return;
    }
    heightReportQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        heightReportQueued_ = false;
        if (mode_ == IslandLayout::Mode::expanded) {
            store_.setMeasuredHeight(panel_->contentHeight());
        }
    });
}

void IslandView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(outline(QSizeF(size())), Qt::black);
}

}  // namespace vorla::ui
