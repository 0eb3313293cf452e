#include "ui/settings/sidebar_item.h"

#include <QPainter>

#include "ui/style/palette.h"

namespace vorla::ui {

QString symbolGlyph(Symbol symbol) {
    const char* glyph = "•";
    switch (symbol) {
        case Symbol::processor:
            glyph = "▣";
            break;
        case Symbol::shield:
            glyph = "✔";
            break;
        case Symbol::branch:
            glyph = "⎇";
            break;
        case Symbol::trophy:
            glyph = "★";
            break;
        case Symbol::sparkles:
            glyph = "✦";
            break;
        case Symbol::list:
            glyph = "☰";
            break;
        case Symbol::timeline:
            glyph = "▤";
            break;
        case Symbol::barChart:
            glyph = "▮";
            break;
        case Symbol::phone:
            glyph = "☎";
            break;
        case Symbol::document:
            glyph = "¶";
            break;
        case Symbol::lock:
            glyph = "■";
            break;
        case Symbol::hidden:
            glyph = "◌";
            break;
        case Symbol::qrCode:
            glyph = "▚";
            break;
        case Symbol::chevronRight:
            glyph = "›";
            break;
        case Symbol::chevronDown:
            glyph = "⌄";
            break;
    }
    return QString::fromUtf8(glyph);
}

SidebarItem::SidebarItem(SettingsTab tab, QWidget* parent) : QAbstractButton(parent), tab_(tab) {
    setText(QString::fromUtf8(title(tab).data(), static_cast<qsizetype>(title(tab).size())));
    setFont(Type::body());
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] { emit chosen(tab_); });
}

void SidebarItem::setSelected(bool selected) {
    if (selected_ != selected) {
        selected_ = selected;
        update();
    }
}

QSize SidebarItem::sizeHint() const {
    return {180, QFontMetrics(font()).height() + 14};
}

void SidebarItem::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (selected_ || hovered_) {
        QColor fill = QColor::fromRgbF(1, 1, 1, selected_ ? 0.10F : 0.05F);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(4, 1, -4, -1), 6, 6);
    }
    QRect iconBox(14, 0, 18, height());
    painter.setPen(selected_ ? Palette::pink() : Palette::text3());
    painter.drawText(iconBox, Qt::AlignCenter, symbolGlyph(tabIcon(tab_)));
    painter.setPen(selected_ ? Palette::text() : Palette::text2());
    painter.drawText(rect().adjusted(40, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
}

void SidebarItem::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SidebarItem::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace vorla::ui
