#include "ui/island/island_view.h"

#include <QPainter>

namespace vorla::ui {

IslandView::IslandView(SessionStore& store, IslandActions actions, QWidget* parent)
    : QWidget(parent), store_(store), actions_(std::move(actions)) {
    setAttribute(Qt::WA_TranslucentBackground);
    storeSubscription_ = store_.subscribe([this] { update(); });
}

QPainterPath IslandView::outline(QSizeF size) const {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), 11, 11);
    return path;
}

void IslandView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(outline(QSizeF(size())), Qt::black);
}

}  // namespace vorla::ui
