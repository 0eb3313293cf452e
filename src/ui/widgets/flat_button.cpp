#include "ui/widgets/flat_button.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/style/palette.h"

namespace vorla::ui {

FlatButton::FlatButton(const QString& title, QColor tint, Fill fill, Width width, QWidget* parent)
    : QAbstractButton(parent), tint_(tint), fill_(fill) {
    setText(title);
    setFont(Type::mono(12, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(width == Width::wide ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                  QSizePolicy::Fixed);
}

QSize FlatButton::sizeHint() const {
    QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 24, metrics.height() + 12};
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor face = tint_;
    face.setAlphaF(fill_ == Fill::filled ? (hovered_ ? 0.9F : 0.75F) : (hovered_ ? 0.16F : 0.06F));
    QColor edge = tint_;
    edge.setAlphaF(isEnabled() ? 0.7F : 0.3F);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(face);
    painter.drawRoundedRect(box, 6, 6);
    painter.setPen(fill_ == Fill::filled ? Palette::bg()
                                         : (isEnabled() ? tint_ : Palette::text3()));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void FlatButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace vorla::ui
