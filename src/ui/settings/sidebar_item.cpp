#include "ui/settings/sidebar_item.h"

#include <QPainter>

#include "ui/style/palette.h"

namespace vorla::ui {

QString symbolGlyph(std::string_view name) {
    struct Pair {
        std::string_view name;
        const char* glyph;
    };
    static constexpr Pair kGlyphs[] = {
        {"cpu", "▣"},
        {"checkmark.shield", "✔"},
        {"arrow.triangle.branch", "⎇"},
        {"trophy", "★"},
        {"wand.and.stars", "✦"},
        {"list.bullet.rectangle", "☰"},
        {"calendar.day.timeline.left", "▤"},
        {"chart.bar", "▮"},
        {"iphone", "☎"},
        {"doc.text", "¶"},
        {"lock.fill", "■"},
        {"eye.slash.fill", "◌"},
        {"qrcode", "▚"},
        {"chevron.right", "›"},
        {"chevron.down", "⌄"},
    };
    for (const Pair& pair : kGlyphs) {
        if (pair.name == name) {
            return QString::fromUtf8(pair.glyph);
        }
    }
    return QStringLiteral("•");
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
    painter.drawText(iconBox, Qt::AlignCenter, symbolGlyph(iconName(tab_)));
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
