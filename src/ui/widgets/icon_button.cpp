#include "ui/widgets/icon_button.h"

#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace vorla::ui {
namespace {

constexpr int kTeeth = 8;

// A filled gear: a disc with eight square teeth and a round hole.
QPainterPath gearPath(const QPointF& centre, double side) {
    const double body = side * 0.34;
    const double toothLength = side * 0.16;
    const double toothWidth = side * 0.18;
    QPainterPath gear;
    gear.addEllipse(centre, body, body);
    for (int i = 0; i < kTeeth; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(
            QRectF(-toothWidth / 2, -(body + toothLength), toothWidth, toothLength + body * 0.5),
            side * 0.03, side * 0.03);
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(i * 360.0 / kTeeth);
        gear = gear.united(turn.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(centre, side * 0.14, side * 0.14);
    return gear.subtracted(hole);
}

void paintPower(QPainter& painter, const QPointF& centre, double side, const QColor& colour) {
    QPen pen(colour, side * 0.12, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double radius = side * 0.36;
    const QRectF ring(centre.x() - radius, centre.y() - radius + side * 0.04, 2 * radius,
                      2 * radius);
    // Open at the top: from 60 degrees past twelve o'clock round to 60 before.
    painter.drawArc(ring, (90 + 40) * 16, (360 - 80) * 16);
    painter.drawLine(QPointF(centre.x(), centre.y() - side * 0.44),
                     QPointF(centre.x(), centre.y() - side * 0.02));
}

}  // namespace

void paintGlyph(QPainter& painter, const QRectF& rect, IconButton::Glyph glyph,
                const QColor& colour) {
    const double side = std::min(rect.width(), rect.height());
    const QPointF centre = rect.center();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
        case IconButton::Glyph::gear:
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawPath(gearPath(centre, side));
            break;
        case IconButton::Glyph::power:
            paintPower(painter, centre, side, colour);
            break;
    }
    painter.restore();
}

IconButton::IconButton(Glyph glyph, const QColor& tint, int side, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph), tint_(tint), side_(side) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFixedSize(side_, side_);
}

void IconButton::setGlyph(Glyph glyph) {
    if (glyph != glyph_) {
        glyph_ = glyph;
        update();
    }
}

void IconButton::setTint(const QColor& tint) {
    if (tint != tint_) {
        tint_ = tint;
        update();
    }
}

void IconButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void IconButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    if (hovered_ || isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(1, 1, 1, isDown() ? 0.16f : 0.08f));
        painter.drawEllipse(box);
    }
    const double glyphSide = std::min(box.width(), box.height()) * 0.6;
    const QRectF glyphBox(box.center().x() - glyphSide / 2, box.center().y() - glyphSide / 2,
                          glyphSide, glyphSide);
    paintGlyph(painter, glyphBox, glyph_, tint_);
}

}  // namespace vorla::ui
