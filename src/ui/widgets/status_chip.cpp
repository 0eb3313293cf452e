#include "ui/widgets/status_chip.h"

#include <QFontMetrics>
#include <QPainter>

#include "engine/look/pixel_sprite.h"
#include "ui/style/palette.h"

namespace vorla::ui {
namespace {

constexpr int kPadX = 6;
constexpr int kPadY = 2;

QFont chipFont() {
    return Type::mono(10, QFont::DemiBold);
}

}  // namespace

StatusChip::StatusChip(SpriteKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusChip::setKind(SpriteKind kind) {
    if (kind == kind_) {
        return;
    }
    const bool textChanged = PixelSprite::statusLabel(kind) != PixelSprite::statusLabel(kind_);
    kind_ = kind;
    if (textChanged) {
        updateGeometry();
        update();
    }
}

QString StatusChip::text() const {
    const auto label = PixelSprite::statusLabel(kind_);
    return QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
}

QColor StatusChip::colour() const {
    return Palette::fromRgb(PixelSprite::tint(kind_));
}

QSize StatusChip::sizeHint() const {
    const QFontMetrics metrics(chipFont());
    return {metrics.horizontalAdvance(text()) + 2 * kPadX, metrics.height() + 2 * kPadY};
}

void StatusChip::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    const double radius = box.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::withOpacity(colour(), 0.16));
    painter.drawRoundedRect(box, radius, radius);
    painter.setPen(colour());
    painter.setFont(chipFont());
    painter.drawText(box, Qt::AlignCenter, text());
}

}  // namespace vorla::ui
