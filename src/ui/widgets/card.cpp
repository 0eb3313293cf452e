#include "ui/widgets/card.h"

#include <QPainter>
#include <QVBoxLayout>

namespace vorla::ui {

Card::Card(QColor fill, int padding, QWidget* parent)
    : QFrame(parent), fill_(fill), content_(new QVBoxLayout(this)) {
    content_->setContentsMargins(padding, padding, padding, padding);
    content_->setSpacing(8);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill_);
    painter.drawRoundedRect(QRectF(rect()), 10, 10);
}

}  // namespace vorla::ui
